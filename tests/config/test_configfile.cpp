#include "config/configfile.h"
#include "config/terminaltext.h"

#include <gtest/gtest.h>

using namespace tavrel;
using namespace tavrel::configfile;

namespace {

// Entries start at line 7 of a file made by fileWith: one entry per line.
constexpr int FirstEntryLine = 7;

QByteArray fileWith(const std::vector<const char*>& entries)
{
    QByteArray text = "{\n"
                      "  \"format\": \"tavrel-keys\",\n"
                      "  \"version\": 1,\n"
                      "  \"serial\": \"310000000001\",\n"
                      "  \"product\": \"Programmable Key\",\n"
                      "  \"keys\": [\n";
    for (std::size_t i = 0; i < entries.size(); ++i)
        text += QByteArray("    ") + entries[i] + (i + 1 < entries.size() ? ",\n" : "\n");
    return text + "  ]\n}\n";
}

QString describe(const FileErrors& errors)
{
    QStringList lines;
    for (const FileError& e : errors)
        lines << QStringLiteral("line %1: %2").arg(e.line).arg(e.reason);
    return lines.join(QLatin1Char('\n'));
}

ConfigFile parsedOk(const QByteArray& text)
{
    auto result = parse(text);
    if (const auto* errors = std::get_if<FileErrors>(&result)) {
        ADD_FAILURE() << "refused:\n" << qPrintable(describe(*errors)) << "\nfile:\n" << text.constData();
        return {};
    }
    return std::get<ConfigFile>(result);
}

FileErrors refusals(const QByteArray& text)
{
    auto result = parse(text);
    if (const auto* errors = std::get_if<FileErrors>(&result))
        return *errors;
    return {};
}

std::vector<KeyRecord> recordsOf(const std::vector<KeyEntry>& entries)
{
    std::vector<KeyRecord> records;
    for (const KeyEntry& e : entries)
        records.push_back(e.record);
    return records;
}

}  // namespace

TEST(ConfigFile, WritesOneKeyPerLineWithNameTriggerAndRecord)
{
    const std::vector<KeyRecord> records{
        {0x05, 0x04, 0x00, 0x00, 0x00},
        {0x01, 0x00, 0x00, 0x00, 0x03},
        {0x00, 0x31, 0x00, 0x00, 0x02},
        {0x00, 0x00, 0x00, 0x00, 0x00},
    };
    EXPECT_EQ(
        serialize(records, QStringLiteral("310000000001"), QStringLiteral("Programmable \"Key\"")),
        QByteArray(
            "{\n"
            "  \"format\": \"tavrel-keys\",\n"
            "  \"version\": 1,\n"
            "  \"serial\": \"310000000001\",\n"
            "  \"product\": \"Programmable \\\"Key\\\"\",\n"
            "  \"keys\": [\n"
            "    {\"key\": 1, \"assignment\": \"Ctrl+Alt+A\", \"trigger\": \"single\", \"record\": \"05 04 00 00 00\"},\n"
            "    {\"key\": 2, \"assignment\": \"mouse:left\", \"trigger\": \"repeat\", \"record\": \"01 00 00 00 03\"},\n"
            "    {\"key\": 3, \"assignment\": \"\\\\\", \"trigger\": \"repeat\", \"record\": \"00 31 00 00 02\"},\n"
            "    {\"key\": 4, \"assignment\": \"\", \"trigger\": \"single\", \"record\": \"00 00 00 00 00\"}\n"
            "  ]\n"
            "}\n"));
    EXPECT_EQ(serialize({}, QString(), QString()).count("\"keys\": []"), 1);
}

TEST(ConfigFile, RoundTripKeepsEveryByte)
{
    // Every Code1 under several modifier masks, with second and third codes that no name can
    // say, usages without a name and 0xFF; mouse keys with each button and stray codes.
    std::vector<KeyRecord> all;
    for (int code = 0; code < 256; ++code) {
        const quint8 c = quint8(code);
        all.push_back({0x00, c, 0x00, 0x00, ModeKeyboardSingle});
        all.push_back({0x05, c, 0x00, 0x00, ModeKeyboardRepeat});
        all.push_back({quint8(255 - code), c, quint8(code * 7), quint8(code * 13), quint8(code % 2 ? 0 : 2)});
        all.push_back({0xFF, 0xFF, c, 0x00, ModeKeyboardSingle});
        all.push_back({quint8(1u << (code % 3)), c, quint8(code / 2), 0xFF, quint8(code % 4 < 2 ? 1 : 3)});
    }
    // Quotes, controls, other scripts, and a lone surrogate that only an escape can carry.
    const QString serial = QStringLiteral("3114\"\\\n\t\x01 ünï 😀") + QChar(0xD83D) + QStringLiteral("1");
    // What a terminal would act on reaches the file as escapes, so `show --json` prints none.
    const QString product =
        QStringLiteral("Key / Receiver \\u0041 \x1b]0;title\x07 \x7f") + QChar(0x9B) + QChar(0x202E);
    for (std::size_t start = 0; start < all.size(); start += MaxKeys) {
        const std::vector<KeyRecord> records(all.begin() + start, all.begin() + std::min(all.size(), start + MaxKeys));
        const QByteArray text = serialize(records, serial, product);
        const ConfigFile file = parsedOk(text);
        ASSERT_EQ(recordsOf(file.keys), records) << text.constData();
        for (std::size_t i = 0; i < file.keys.size(); ++i) {
            EXPECT_EQ(file.keys[i].key, int(i) + 1);
            EXPECT_EQ(file.keys[i].line, FirstEntryLine + int(i));
        }
        EXPECT_EQ(file.serial, serial);
        EXPECT_EQ(file.product, product);
        const QString written = QString::fromUtf8(text);
        for (const QChar c : written)
            EXPECT_TRUE(c == u'\n' || !actsOnTerminal(c.unicode())) << "U+" << std::hex << int(c.unicode());
    }
}

TEST(ConfigFile, ReadsAFileWrittenByHand)
{
    // Names in any case, a record alone, a name alone (single unless it says repeat), keys in
    // any order, Windows line ends and a byte order mark.
    const QByteArray text =
        "\xEF\xBB\xBF{\r\n"
        "  \"version\": 1, \"format\": \"tavrel-keys\",\r\n"
        "  \"keys\": [\r\n"
        "    {\"key\": 3, \"assignment\": \"ctrl+shift+b\"},\r\n"
        "    {\"key\": 1, \"assignment\": \"Mouse:Middle\", \"trigger\": \"REPEAT\"},\r\n"
        "    {\"key\": 2, \"record\": \"01 04 05 00 00\"},\r\n"
        "    {\"key\": 4, \"assignment\": \"F5\", \"trigger\": \"repeat\", \"record\": \"00 3e 00 00 02\"},\r\n"
        "    {\"key\": 8,\r\n"
        "     \"assignment\": \"Num +\"}\r\n"
        "  ]\r\n"
        "}";
    const ConfigFile file = parsedOk(text);
    EXPECT_TRUE(file.serial.isEmpty());
    const std::vector<KeyRecord> expected{
        {0x03, 0x05, 0, 0, 0x00}, {0x04, 0, 0, 0, 0x03},    {0x01, 0x04, 0x05, 0, 0x00},
        {0x00, 0x3E, 0, 0, 0x02}, {0x00, 0x57, 0, 0, 0x00},
    };
    EXPECT_EQ(recordsOf(file.keys), expected);
    std::vector<std::pair<int, int>> keysAndLines;
    for (const KeyEntry& e : file.keys)
        keysAndLines.emplace_back(e.key, e.line);
    EXPECT_EQ(keysAndLines, (std::vector<std::pair<int, int>>{{3, 4}, {1, 5}, {2, 6}, {4, 7}, {8, 8}}));
    EXPECT_EQ(file.keys[2].assignment, QStringLiteral("Ctrl+A+B"));  // a record alone is named for it
}

TEST(ConfigFile, NameAndRecordMustAgree)
{
    struct Case {
        const char* assignment;
        const char* record;
        bool agrees;
    } cases[] = {
        {"Ctrl+A", "01 04 00 00 00", true},
        {"a+CTRL", "01 04 00 00 00", true},
        {"Ctrl+B", "01 04 00 00 00", false},
        {"Ctrl+A", "01 04 00 00 02", true},  // the trigger comes from the record
        {"F5", "01 3E 00 00 01", false},     // a mouse record is no keyboard key
        // Records no name can say exactly agree with the name they format to, and only with it.
        {"Ctrl+A+B", "01 04 05 00 00", true},
        {"ctrl+a+b", "01 04 05 00 00", true},
        {"Ctrl+A", "01 04 05 00 00", false},
        {"Ctrl+", "01 66 00 00 00", true},  // a usage without a name
        {"", "00 FF 00 00 00", true},
        {"Shift", "00 E1 00 00 00", true},       // a modifier's usage as the code
        {"mouse:left", "01 09 00 00 03", true},  // a mouse key read with stray codes
        {"mouse:left", "01 00 00 00 00", false},
        {"Ctrl", "01 00 00 00 01", false},
        {"mouse:right", "01 00 00 00 01", false},
    };
    for (const Case& c : cases) {
        const QByteArray entry =
            QByteArray("{\"key\": 1, \"assignment\": \"") + c.assignment + "\", \"record\": \"" + c.record + "\"}";
        const auto result = parse(fileWith({entry.constData()}));
        if (c.agrees) {
            const auto* file = std::get_if<ConfigFile>(&result);
            ASSERT_NE(file, nullptr) << entry.constData() << "\n" << qPrintable(describe(std::get<FileErrors>(result)));
            // Every byte of the record is kept, whatever the name could say.
            EXPECT_EQ(recordText(file->keys.at(0).record), QLatin1String(c.record)) << entry.constData();
        } else {
            const auto* errors = std::get_if<FileErrors>(&result);
            ASSERT_NE(errors, nullptr) << entry.constData();
            ASSERT_EQ(errors->size(), 1u) << qPrintable(describe(*errors));
            EXPECT_EQ(errors->front().line, FirstEntryLine);
            EXPECT_TRUE(
                errors->front().reason.contains(QStringLiteral("the record %1 is").arg(QLatin1String(c.record))))
                << qPrintable(errors->front().reason);
        }
    }
}

TEST(ConfigFile, RefusesWithTheLineAndTheReason)
{
    const QByteArray good = "{\"key\": 1, \"assignment\": \"F5\"}";
    struct Case {
        const char* what;
        QByteArray text;
        int line;
        const char* reasonHas;
    } cases[] = {
        {"empty", "  \n", 1, "the file is empty"},
        {"JSON fault", "{\n  \"format\": \"tavrel-keys\",\n  \"version\": 1\n  \"keys\": []\n}", 4, "not valid JSON"},
        {"unfinished", "{\n  \"format\": \"tavrel-keys\",\n  \"keys\": [\n\n", 3, "not valid JSON"},
        {"not an object", "[1, 2]", 1, "not a Tavrel key file"},
        {"other JSON", "{\n\"name\": \"x\"\n}", 1, "not a Tavrel key file"},
        {"other format", "{\n\"version\": 1,\n\"format\": \"other\"\n}", 3, "not a Tavrel key file"},
        {"newer version", "{\n\"format\": \"tavrel-keys\",\n\"version\": 2,\n\"keys\": [], \"new\": 1\n}", 3,
         "format version 2 is unknown (this program reads version 1)"},
        {"no version", "{\n\"format\": \"tavrel-keys\",\n\"keys\": []\n}", 1, "the file has no \"version\""},
        {"version as text", "{\"format\": \"tavrel-keys\", \"version\": \"1\", \"keys\": []}", 1,
         "\"version\" must be a number"},
        {"no keys", "{\n\"format\": \"tavrel-keys\",\n\"version\": 1\n}", 1, "\"keys\" must be a list"},
        {"keys not a list", "{\n\"format\": \"tavrel-keys\",\n\"version\": 1,\n\"keys\": {}\n}", 4,
         "\"keys\" must be a list"},
        {"serial not text", "{\n\"format\": \"tavrel-keys\",\n\"version\": 1,\n\"serial\": 31,\n\"keys\": []\n}", 4,
         "\"serial\" must be a text"},
        {"unknown top field", "{\n\"format\": \"tavrel-keys\",\n\"version\": 1,\n\"kyes\": [],\n\"keys\": []\n}", 4,
         "unknown field \"kyes\""},
        {"top field twice", "{\n\"format\": \"tavrel-keys\",\n\"version\": 1,\n\"keys\": [],\n\"keys\": []\n}", 5,
         "field \"keys\" is given twice (first at line 4)"},
        {"entry not an object", fileWith({good, "\"F5\""}), FirstEntryLine + 1, "each key is an object"},
        {"key beyond 8", fileWith({"{\"key\": 9, \"assignment\": \"F5\"}"}), FirstEntryLine, "from 1 to 8"},
        {"key 0", fileWith({"{\"key\": 0, \"assignment\": \"F5\"}"}), FirstEntryLine, "from 1 to 8"},
        {"key not whole", fileWith({"{\"key\": 1.5, \"assignment\": \"F5\"}"}), FirstEntryLine, "from 1 to 8"},
        {"key as text", fileWith({"{\"key\": \"1\", \"assignment\": \"F5\"}"}), FirstEntryLine, "from 1 to 8"},
        {"no key number", fileWith({"{\"assignment\": \"F5\"}"}), FirstEntryLine, "has no \"key\" number"},
        {"key twice", fileWith({good, "{\"key\": 2, \"assignment\": \"F6\"}", "{\"key\": 1, \"assignment\": \"F7\"}"}),
         FirstEntryLine + 2, "key 1 is given twice (first at line 7)"},
        {"unknown name", fileWith({"{\"key\": 1, \"assignment\": \"Ctlr+A\"}"}), FirstEntryLine,
         "unknown key name \"Ctlr\" (did you mean \"Ctrl\"?)"},
        {"two ordinary keys", fileWith({"{\"key\": 1, \"assignment\": \"A+B\"}"}), FirstEntryLine,
         "both ordinary keys"},
        {"name and record disagree",
         fileWith({"{\"key\": 1, \"assignment\": \"Ctrl+B\", \"record\": \"01 04 00 00 00\"}"}), FirstEntryLine,
         "\"Ctrl+B\" gives 01 05 00 00 00, but the record 01 04 00 00 00 is \"Ctrl+A\""},
        {"mode 04", fileWith({"{\"key\": 1, \"record\": \"01 00 00 00 04\"}"}), FirstEntryLine,
         "mode 04 is not one a key can hold"},
        {"mode FF", fileWith({"{\"key\": 1, \"assignment\": \"F5\", \"record\": \"00 3E 00 00 FF\"}"}), FirstEntryLine,
         "mode FF is not one a key can hold"},
        {"mouse button 08", fileWith({"{\"key\": 1, \"record\": \"08 00 00 00 01\"}"}), FirstEntryLine,
         "mouse button 08 is not one a key can hold"},
        {"mouse button 03", fileWith({"{\"key\": 1, \"assignment\": \"mouse:03\", \"record\": \"03 00 00 00 03\"}"}),
         FirstEntryLine, "mouse button 03 is not one a key can hold"},
        {"four bytes", fileWith({"{\"key\": 1, \"record\": \"05 04 00 00\"}"}), FirstEntryLine, "five bytes in hex"},
        {"not hex", fileWith({"{\"key\": 1, \"record\": \"05 04 00 00 0G\"}"}), FirstEntryLine, "five bytes in hex"},
        {"three digits", fileWith({"{\"key\": 1, \"record\": \"05 04 00 00 000\"}"}), FirstEntryLine,
         "five bytes in hex"},
        {"signed byte", fileWith({"{\"key\": 1, \"record\": \"05 04 00 00 +2\"}"}), FirstEntryLine,
         "five bytes in hex"},
        {"record as bytes", fileWith({"{\"key\": 1, \"record\": [5, 4, 0, 0, 0]}"}), FirstEntryLine,
         "five bytes in hex"},
        {"trigger disagrees", fileWith({"{\"key\": 1, \"trigger\": \"repeat\", \"record\": \"00 3E 00 00 00\"}"}),
         FirstEntryLine, "trigger \"repeat\" disagrees with the record's mode 00 (single)"},
        {"unknown trigger", fileWith({"{\"key\": 1, \"assignment\": \"F5\", \"trigger\": \"hold\"}"}), FirstEntryLine,
         "\"trigger\" must be \"single\" or \"repeat\""},
        {"neither name nor record", fileWith({"{\"key\": 1, \"trigger\": \"single\"}"}), FirstEntryLine,
         "needs an \"assignment\", a \"record\" or both"},
        {"name not text", fileWith({"{\"key\": 1, \"assignment\": 5}"}), FirstEntryLine,
         "\"assignment\" must be a text"},
        {"unknown entry field", fileWith({"{\"key\": 1, \"asignment\": \"F5\", \"record\": \"00 3E 00 00 00\"}"}),
         FirstEntryLine, "unknown field \"asignment\""},
        {"entry field twice", fileWith({"{\"key\": 1, \"assignment\": \"F5\",\n     \"assignment\": \"F6\"}"}),
         FirstEntryLine + 1, "field \"assignment\" is given twice (first at line 7)"},
    };
    for (const Case& c : cases) {
        const FileErrors errors = refusals(c.text);
        ASSERT_EQ(errors.size(), 1u) << c.what << ":\n" << qPrintable(describe(errors));
        EXPECT_EQ(errors[0].line, c.line) << c.what << ": " << qPrintable(errors[0].reason);
        EXPECT_TRUE(errors[0].reason.contains(QLatin1String(c.reasonHas)))
            << c.what << ": " << qPrintable(errors[0].reason);
    }
}

TEST(ConfigFile, ReportsEveryFaultAtOnceInLineOrder)
{
    const FileErrors errors = refusals(fileWith({
        "{\"key\": 1, \"assignment\": \"F5\"}", "{\"key\": 12, \"assignment\": \"Ctrl+Q\"}",
        "{\"key\": 3,\n     \"record\": \"01 00 00 00 07\"}", "{\"key\": 4, \"assignment\": \"Esc\"}",
        "{\"key\": 5, \"assignment\": \"Escape\", \"trigger\": \"often\"}",
        "{\"key\": 5, \"assignment\": \"F5\"}",  // twice, though the first has faults
    }));
    std::vector<int> lines;
    for (const FileError& e : errors)
        lines.push_back(e.line);
    EXPECT_EQ(lines, (std::vector<int>{FirstEntryLine + 1, FirstEntryLine + 3, FirstEntryLine + 5, FirstEntryLine + 5,
                                       FirstEntryLine + 6}))
        << qPrintable(describe(errors));
}

// A key file with `fields` unknown fields in its top object, one to a line from line 4, and
// `entries` entries for key 1, one to a line after the "keys" line: all but the first are faults.
QByteArray fileWithFaults(int fields, int entries = 0)
{
    QByteArray text = "{\n  \"format\": \"tavrel-keys\",\n  \"version\": 1,\n";
    for (int i = 0; i < fields; ++i)
        text += "  \"u" + QByteArray::number(i, 36) + "\": 0,\n";
    text += "  \"keys\": [";
    for (int i = 0; i < entries; ++i)
        text += (i ? ",\n" : "\n") + QByteArray("    {\"key\": 1, \"assignment\": \"F5\"}");
    return text + "]\n}\n";
}

TEST(ConfigFile, ListsTheFirstFaultsByLineAndCountsTheRest)
{
    const int faults = int(MaxFaults) + 50;
    // The top object's fields from line 4; the entries from the line after "keys", the first
    // without a fault.
    const std::pair<const char*, QByteArray> cases[] = {{"fields", fileWithFaults(faults)},
                                                        {"entries", fileWithFaults(0, faults + 1)}};
    for (const auto& [what, text] : cases) {
        SCOPED_TRACE(what);
        const FileErrors errors = refusals(text);
        ASSERT_EQ(errors.size(), MaxFaults + 1);
        for (std::size_t i = 0; i < MaxFaults; ++i) {
            ASSERT_EQ(errors[i].line, int(i) + (what == cases[0].first ? 4 : 6)) << i;
            EXPECT_EQ(errors[i].unlisted, 0);
        }
        EXPECT_EQ(errors.back().line, 0);
        EXPECT_EQ(errors.back().unlisted, 50);
        EXPECT_EQ(errors.back().reason, QStringLiteral("… and 50 more"));
        EXPECT_EQ(faultCount(errors), std::size_t(faults));
    }
    const FileErrors all = refusals(fileWithFaults(int(MaxFaults)));
    EXPECT_EQ(all.size(), MaxFaults);
    EXPECT_EQ(all.back().line, int(MaxFaults) + 3);
    EXPECT_EQ(faultCount(all), MaxFaults);
}

TEST(ConfigFile, CheckingTakesWorkInProportionToTheFile)
{
    // Each file four times the one before, by fields in one object and by entries: the work may
    // grow four times (and a little), not sixteen.
    for (const bool entries : {false, true}) {
        SCOPED_TRACE(entries ? "entries" : "fields");
        std::vector<double> perByte;
        for (const int n : {4000, 16000, 64000}) {
            const QByteArray text = entries ? fileWithFaults(0, n) : fileWithFaults(n);
            std::size_t steps = 0;
            ASSERT_TRUE(std::holds_alternative<FileErrors>(parse(text, &steps)));
            perByte.push_back(double(steps) / double(text.size()));
        }
        EXPECT_LT(perByte[1], perByte[0] * 1.2) << perByte[0] << " " << perByte[1];
        EXPECT_LT(perByte[2], perByte[0] * 1.2) << perByte[0] << " " << perByte[2];
    }
}

TEST(ConfigFile, ParseFaultsPointAtTheirLine)
{
    // The parser's offset counts bytes: text in other scripts before the fault must not shift it.
    const std::pair<QByteArray, int> cases[] = {
        {"{\n\"product\": \"按键 😀\",\n\"version\": 1,,\n}", 3},
        {"{\n\"product\": \"按键\"\n\"version\": 1\n}", 3},
        {"{\"format\": \"tavrel-keys\"}\n\n}", 3},
        {"{\n\"keys\": [\n{\"key\": 1 \"assignment\": \"F5\"}\n]\n}", 3},
        {"{\n\"keys\": [\n{\"key\": 1}\n\n\n", 3},
        {"{\n\"product\": \"\xC3\x28\"\n}", 2},
    };
    for (const auto& [text, line] : cases) {
        const FileErrors errors = refusals(text);
        ASSERT_EQ(errors.size(), 1u) << text.constData();
        EXPECT_EQ(errors[0].line, line) << text.constData() << "\n" << qPrintable(errors[0].reason);
    }
}

TEST(ConfigFile, RestoreFitsTheDeviceOrWritesTheKeysThatFitWhenAsked)
{
    const ConfigFile file = parsedOk(fileWith({
        "{\"key\": 8, \"assignment\": \"F8\"}",
        "{\"key\": 2, \"assignment\": \"F2\"}",
        "{\"key\": 7, \"assignment\": \"F7\"}",
        "{\"key\": 1, \"assignment\": \"F1\"}",
    }));
    const auto keysOf = [](const std::vector<KeyEntry>& entries) {
        std::vector<int> keys;
        for (const KeyEntry& e : entries)
            keys.push_back(e.key);
        return keys;
    };

    const auto fits = validateFor(file, 8, false);
    ASSERT_TRUE(std::holds_alternative<RestorePlan>(fits));
    EXPECT_EQ(keysOf(std::get<RestorePlan>(fits).write), (std::vector<int>{1, 2, 7, 8}));  // in key order
    EXPECT_TRUE(std::get<RestorePlan>(fits).skipped.empty());
    // A device reporting more keys than a key file can hold takes the file as it is.
    EXPECT_TRUE(std::holds_alternative<RestorePlan>(validateFor(file, 15, false)));

    const auto refused = validateFor(file, 6, false);
    ASSERT_TRUE(std::holds_alternative<FileErrors>(refused));
    const FileErrors& errors = std::get<FileErrors>(refused);
    ASSERT_EQ(errors.size(), 2u) << qPrintable(describe(errors));
    EXPECT_EQ(errors[0], (FileError{FirstEntryLine, QStringLiteral("key 8 is beyond the device, which has 6 keys")}));
    EXPECT_EQ(errors[1].line, FirstEntryLine + 2);

    const auto truncated = validateFor(file, 6, true);
    ASSERT_TRUE(std::holds_alternative<RestorePlan>(truncated));
    EXPECT_EQ(keysOf(std::get<RestorePlan>(truncated).write), (std::vector<int>{1, 2}));
    EXPECT_EQ(keysOf(std::get<RestorePlan>(truncated).skipped), (std::vector<int>{7, 8}));

    const auto none = validateFor(file, 0, false);
    ASSERT_TRUE(std::holds_alternative<FileErrors>(none));
    EXPECT_EQ(std::get<FileErrors>(none).size(), 4u);
}

TEST(ConfigFile, RestoreRefusesAFileItWasNotGivenByTheParser)
{
    // A caller may build the file itself; nothing a key cannot hold gets through.
    ConfigFile file;
    file.keys = {
        {1, {0x00, 0x3E, 0, 0, 0x00}, QStringLiteral("F5"), 3},
        {1, {0x00, 0x3F, 0, 0, 0x00}, QStringLiteral("F6"), 4},
        {2, {0x09, 0x00, 0, 0, 0x01}, QString(), 5},
        {3, {0x00, 0x00, 0, 0, 0x05}, QString(), 6},
        {0, {}, QString(), 7},
    };
    const auto result = validateFor(file, 8, true);
    ASSERT_TRUE(std::holds_alternative<FileErrors>(result));
    std::vector<int> lines;
    for (const FileError& e : std::get<FileErrors>(result))
        lines.push_back(e.line);
    EXPECT_EQ(lines, (std::vector<int>{4, 5, 6, 7}));
}
