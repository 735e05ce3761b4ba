// tavrelctl's pure parts: the command line, the choice of key, and what it prints.
#include "ctl/commandline.h"
#include "ctl/output.h"

#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace tavrel;
using namespace tavrel::ctl;

namespace {

QStringList argv(std::initializer_list<const char*> args)
{
    QStringList list{QStringLiteral("tavrelctl")};
    for (const char* a : args)
        list << QString::fromUtf8(a);
    return list;
}

// What a failed parse or pick said.
QString reasonOf(const Failure& f)
{
    return f.lines.join(u'\n');
}

}  // namespace

TEST(CtlCommandLine, ReadsEachCommandWithItsArgumentsAndOptions)
{
    struct Case {
        std::initializer_list<const char*> args;
        Verb verb;
        QString device;
        int key;
        QString assignment;
        std::optional<bool> repeat;
        QString file;
        bool json, all, fit;
    };
    const Case cases[] = {
        {{"list"}, Verb::List, {}, 0, {}, {}, {}, false, false, false},
        {{"show", "--device", "310000000001", "--json"}, Verb::Show, "310000000001", 0, {}, {}, {}, true, false, false},
        {{"show", "--device=2"}, Verb::Show, "2", 0, {}, {}, {}, false, false, false},
        {{"set", "3", "Ctrl+Shift+B"}, Verb::Set, {}, 3, "Ctrl+Shift+B", {}, {}, false, false, false},
        {{"set", "--repeat", "1", "mouse:left", "--device", "0"},
         Verb::Set,
         "0",
         1,
         "mouse:left",
         true,
         {},
         false,
         false,
         false},
        {{"set", "8", "", "--single"}, Verb::Set, {}, 8, "", false, {}, false, false, false},
        {{"backup", "keys.json"}, Verb::Backup, {}, 0, {}, {}, "keys.json", false, false, false},
        {{"restore", "keys.json", "--all", "--fit"}, Verb::Restore, {}, 0, {}, {}, "keys.json", false, true, true},
        {{"bind", "--device", "311400000002"}, Verb::Bind, "311400000002", 0, {}, {}, {}, false, false, false},
        {{"unbind"}, Verb::Unbind, {}, 0, {}, {}, {}, false, false, false},
    };
    for (const Case& c : cases) {
        const auto parsed = parseCommandLine(argv(c.args));
        ASSERT_TRUE(std::holds_alternative<Command>(parsed)) << reasonOf(std::get<Failure>(parsed)).toStdString();
        const Command& got = std::get<Command>(parsed);
        SCOPED_TRACE(argv(c.args).join(u' ').toStdString());
        EXPECT_EQ(got.verb, c.verb);
        EXPECT_EQ(got.device, c.device);
        EXPECT_EQ(got.key, c.key);
        EXPECT_EQ(got.assignment, c.assignment);
        EXPECT_EQ(got.repeat, c.repeat);
        EXPECT_EQ(got.file, c.file);
        EXPECT_EQ(got.json, c.json);
        EXPECT_EQ(got.all, c.all);
        EXPECT_EQ(got.fit, c.fit);
    }
}

TEST(CtlCommandLine, RefusesWhatIsNotACommandInOneLineWithExitCode2)
{
    struct Case {
        std::initializer_list<const char*> args;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "No command given"},
        {{"frobnicate"}, "Unknown command \"frobnicate\""},
        {{"list", "--json"}, "Unknown option 'json'"},
        {{"show", "extra"}, "Unexpected argument \"extra\""},
        {{"set", "3"}, "Missing arguments"},
        {{"set", "0", "a"}, "KEY is a key number from 1 to 8, not \"0\""},
        {{"set", "nine", "a"}, "not \"nine\""},
        {{"set", "2", "a", "--repeat", "--single"}, "--repeat and --single exclude each other"},
        {{"restore", "f", "--all", "--device", "1"}, "--device and --all exclude each other"},
        {{"show", "--device", " "}, "--device needs an id, a serial or an index"},
        {{"backup"}, "Missing arguments"},
        {{"help", "frob"}, "No help on \"frob\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(argv(c.args).join(u' ').toStdString());
        const auto parsed = parseCommandLine(argv(c.args));
        ASSERT_TRUE(std::holds_alternative<Failure>(parsed));
        const Failure& f = std::get<Failure>(parsed);
        EXPECT_EQ(f.code, ExitUsage);
        ASSERT_EQ(f.lines.size(), 1);
        EXPECT_TRUE(f.lines[0].contains(QLatin1String(c.reason))) << f.lines[0].toStdString();
        EXPECT_TRUE(f.lines[0].contains(QLatin1String("--help"))) << f.lines[0].toStdString();
    }
}

TEST(CtlCommandLine, HelpIsAskedForInThreeWaysAndCoversEveryCommandAndExitCode)
{
    for (const auto& args : {argv({"--help"}), argv({"-h"}), argv({"help"}), argv({"set", "--help"}),
                             argv({"help", "set"}), argv({"restore", "f", "-h"})}) {
        const auto parsed = parseCommandLine(args);
        ASSERT_TRUE(std::holds_alternative<Command>(parsed)) << args.join(u' ').toStdString();
        EXPECT_EQ(std::get<Command>(parsed).verb, Verb::Help);
    }
    EXPECT_EQ(std::get<Command>(parseCommandLine(argv({"help", "set"}))).helpTopic, QStringLiteral("set"));

    const QString overview = helpText();
    for (const char* verb : {"list", "show", "set", "backup", "restore", "bind", "unbind", "watch"}) {
        SCOPED_TRACE(verb);
        EXPECT_TRUE(overview.contains(QStringLiteral("\n  %1 ").arg(QLatin1String(verb))));
        EXPECT_TRUE(
            helpText(QLatin1String(verb)).startsWith(QStringLiteral("Usage: tavrelctl %1").arg(QLatin1String(verb))));
    }
    for (int code : {ExitOk, ExitOther, ExitUsage, ExitNoDevice, ExitPermissionDenied, ExitDeviceFailed, ExitBadFile,
                     ExitNoAnswer})
        EXPECT_TRUE(overview.contains(QStringLiteral("\n  %1  ").arg(code))) << code;
}

namespace {

ListedDevice listed(int index, const char* id, const char* product, const char* serial, bool openable,
                    const char* error, std::optional<int> keys)
{
    const QString p = QString::fromUtf8(product), s = QString::fromLatin1(serial);
    return {index, QString::fromLatin1(id), p, s, decodeCapabilities(p, s), openable, QString::fromUtf8(error), keys};
}

}  // namespace

TEST(CtlPickDevice, AnIdComesBeforeASerialAndASerialBeforeAnIndex)
{
    const auto candidate = [](const char* id, const char* serial, bool receiver = false) {
        return Candidate{QString::fromLatin1(id), QString::fromLatin1(serial), receiver};
    };
    const std::vector<Candidate> two{candidate("1-1:1.0", "310000000001"), candidate("1-2:1.0", "1", true)};
    const std::vector<Candidate> twins{candidate("1-3:1.0", "310000000007"), candidate("1-4:1.0", "310000000007")};
    struct Case {
        std::vector<Candidate> listed;
        const char* wanted;
        bool receiver;
        int index;  // -1: a failure with `code`
        ExitCode code;
    };
    const Case cases[] = {
        {two, "310000000001", false, 0, ExitOk},
        {two, "1-2:1.0", false, 1, ExitOk},
        {two, "1", false, 1, ExitOk},  // the serial "1" before index 1 (itself here)
        {two, "0", false, 0, ExitOk},
        {{candidate("a", "0"), candidate("b", "x")}, "0", false, 0, ExitOk},
        {{candidate("a", "x"), candidate("b", "0")}, "0", false, 1, ExitOk},
        {{candidate("0", "x"), candidate("b", "y")}, "0", false, 0, ExitOk},  // an id before an index
        {two, "2", false, -1, ExitNoDevice},
        {two, "-1", false, -1, ExitNoDevice},
        {two, "", false, -1, ExitUsage},
        {two, "", true, 1, ExitOk},
        // Two devices with one serial: the serial names neither; each id, or index, names one.
        {twins, "310000000007", false, -1, ExitUsage},
        {twins, "1-4:1.0", false, 1, ExitOk},
        {twins, "1", false, 1, ExitOk},
        {{candidate("a", "a")}, "", false, 0, ExitOk},
        {{candidate("a", "a")}, "", true, -1, ExitNoDevice},
        {{}, "", false, -1, ExitNoDevice},
        {{}, "0", false, -1, ExitNoDevice},
        {{candidate("a", "a", true), candidate("b", "b", true)}, "", true, -1, ExitUsage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.wanted) + (c.receiver ? " receiver" : ""));
        const auto picked = pickDevice(c.listed, QString::fromUtf8(c.wanted), c.receiver);
        if (c.index >= 0) {
            ASSERT_TRUE(std::holds_alternative<int>(picked)) << reasonOf(std::get<Failure>(picked)).toStdString();
            EXPECT_EQ(std::get<int>(picked), c.index);
        } else {
            ASSERT_TRUE(std::holds_alternative<Failure>(picked));
            EXPECT_EQ(std::get<Failure>(picked).code, c.code);
        }
    }
    // The candidates of a shared serial are named, so that the user can choose.
    const auto shared = pickDevice(twins, QStringLiteral("310000000007"));
    ASSERT_TRUE(std::holds_alternative<Failure>(shared));
    EXPECT_TRUE(reasonOf(std::get<Failure>(shared)).contains(QLatin1String("1-3:1.0, 1-4:1.0")));
}

TEST(CtlOutput, TheSerialTellsWhatADeviceOffers)
{
    const std::pair<const char*, const char*> cases[] = {
        {"310000000001", "mouse buttons, trigger choice"},
        {"311400000002", "mouse buttons, trigger choice, pairing (capacity 4)"},
        {"312300000002", "mouse buttons, trigger choice, pairing (capacity 15)"},
        {"020000000001", "keyboard only"},
        {"021000000001", "pairing (capacity 0)"},
        {"3", "unknown serial: keyboard only"},
        {"AB", "unknown serial: keyboard only"},
    };
    for (const auto& [serial, offers] : cases) {
        EXPECT_EQ(offersText(decodeCapabilities(QStringLiteral("Key"), QLatin1String(serial))), QLatin1String(offers))
            << serial;
    }
}

TEST(CtlOutput, TheListAlignsTheOpenDevicesAndSetsApartThoseThatMayNotBeOpened)
{
    const std::vector<ListedDevice> devices{
        listed(0, "1-1:1.0", "Programmable Key", "310000000001", true, {}, 6),
        listed(1, "1-2:1.0", "Programmable Key Receiver", "311400000002", true, {}, std::nullopt),
        listed(2, "1-10:1.0", "Pedal", "320000000003", false, "open /dev/hidraw2: Permission denied", std::nullopt),
    };
    const QStringList lines = listLines(devices);
    ASSERT_EQ(lines.size(), 7) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("#  id       product                    serial        kind      keys  offers"));
    EXPECT_EQ(lines[1],
              QStringLiteral("0  1-1:1.0  Programmable Key           310000000001  wired     6     mouse buttons, "
                             "trigger choice"));
    EXPECT_EQ(lines[2],
              QStringLiteral("1  1-2:1.0  Programmable Key Receiver  311400000002  receiver  ?     mouse buttons, "
                             "trigger choice, pairing (capacity 4); no answer"));
    EXPECT_EQ(lines[3], QString());
    EXPECT_EQ(lines[4], QStringLiteral("Found but not openable:"));
    EXPECT_EQ(lines[5],
              QStringLiteral("2  1-10:1.0  Pedal  320000000003  wired  open /dev/hidraw2: Permission denied"));
    EXPECT_EQ(lines[6], accessFix());
    EXPECT_TRUE(accessFix().contains(QLatin1String("70-tavrel.rules")));
    EXPECT_TRUE(accessFix().contains(QLatin1String("scripts/install-udev-rule.sh")));

    EXPECT_EQ(listLines({}), QStringList{QStringLiteral("No device found.")});
    // Only devices that may not be opened: no empty table above them.
    EXPECT_EQ(listLines({devices[2]}).first(), QStringLiteral("Found but not openable:"));
}

// A terminal gives East Asian wide characters two columns: the columns of the list are padded by
// what they take there, so that a Chinese head or product name keeps them aligned.
TEST(CtlOutput, ColumnsArePaddedByTheWidthTheTextTakesOnATerminal)
{
    const std::pair<QString, int> widths[] = {
        {QString(), 0},
        {QStringLiteral("Programmable Key"), 16},
        {QStringLiteral("按键数"), 6},
        {QStringLiteral("接收器：A"), 9},  // a fullwidth colon
        {QStringLiteral("ＡＢ"), 4},       // fullwidth Latin
        {QStringLiteral("ｱｲ"), 2},         // halfwidth katakana
        {QStringLiteral("한글"), 4},
        {QStringLiteral("e\u0301"), 1},                // a combining accent
        {QStringLiteral("a\u200Bb"), 2},               // a zero width space
        {QStringLiteral("\U0001F600 \U00020000"), 5},  // beyond the first plane
    };
    for (const auto& [text, width] : widths)
        EXPECT_EQ(displayWidth(text), width) << text.toStdString();

    const std::vector<ListedDevice> devices{
        listed(0, "1-1:1.0", "可编程按键", "310000000001", true, {}, 6),
        listed(1, "1-1:1.0", "Programmable Key Receiver", "311400000002", true, {}, 6),
        listed(2, "1-1:1.0", "按键 Pro", "320000000003", true, {}, 8),
    };
    const QStringList lines = listLines(devices);
    ASSERT_EQ(lines.size(), 4) << lines.join(u'\n').toStdString();
    // Every row's serial, and the heading of its column, start at the same terminal column.
    const int column = displayWidth(QStringView(lines[0]).left(lines[0].indexOf(QLatin1String("serial"))));
    EXPECT_EQ(column, 39);
    for (qsizetype row = 1; row < lines.size(); ++row) {
        const qsizetype at = lines[row].indexOf(devices[std::size_t(row - 1)].serial);
        ASSERT_GT(at, 0) << lines[row].toStdString();
        EXPECT_EQ(displayWidth(QStringView(lines[row]).left(at)), column) << lines[row].toStdString();
    }
}

// A product string, a serial or a key file may hold what a terminal acts on: it is shown escaped,
// and the escape is what the columns are measured by.
TEST(CtlOutput, WhatComesFromADeviceOrAFileReachesTheTerminalEscaped)
{
    const QString retitle = QStringLiteral("\x1b]0;owned\x07");
    const auto device = [](int index, const QString& product, const QString& serial, bool openable,
                           std::optional<int> keys) {
        return ListedDevice{
            index, QStringLiteral("1-1:1.0"), product, serial, decodeCapabilities(product, serial), openable, {}, keys};
    };
    const std::vector<ListedDevice> devices{
        device(0, retitle + QStringLiteral("Key"), QStringLiteral("31") + QChar(0x9B) + QStringLiteral("2J"), true, 6),
        device(1, QStringLiteral("Programmable Key"), QStringLiteral("310000000001"), true, 6),
        device(2, QStringLiteral("Pedal\r"), QStringLiteral("320000000003"), false, std::nullopt),
    };
    const QStringList lines = listLines(devices);
    ASSERT_EQ(lines.size(), 7) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("0  1-1:1.0  \\x1b]0;owned\\x07Key  31\\u009b2J  ")))
        << lines[1].toStdString();
    EXPECT_EQ(lines[2].indexOf(QLatin1String("310000000001")), lines[1].indexOf(QLatin1String("31\\u009b2J")));
    EXPECT_TRUE(lines[5].startsWith(QStringLiteral("2  1-1:1.0  Pedal\\r  320000000003"))) << lines[5].toStdString();
    EXPECT_EQ(deviceName(retitle, QStringLiteral("3")), QStringLiteral("\\x1b]0;owned\\x07 (SN:3)"));
    EXPECT_EQ(fileErrorLines(QStringLiteral("k\x1b[2J.json"), {{3, QStringLiteral("unknown field \"\x1b[31m\"")}}),
              QStringList{QStringLiteral("k\\x1b[2J.json:3: unknown field \"\\x1b[31m\"")});
}

TEST(CtlOutput, EachKeyIsShownByNumberNameTriggerAndRecord)
{
    const std::vector<KeyRecord> records{
        {0x05, 0x04, 0, 0, ModeKeyboardSingle},
        {MouseRight, 0, 0, 0, ModeMouseRepeat},
        {0, 0, 0, 0, ModeKeyboardSingle},
        {0x03, 0x05, 0, 0, ModeKeyboardRepeat},
    };
    EXPECT_EQ(keyLines(records), (QStringList{
                                     QStringLiteral("1  Ctrl+Alt+A    single  05 04 00 00 00"),
                                     QStringLiteral("2  mouse:right   repeat  02 00 00 00 03"),
                                     QStringLiteral("3  (none)        single  00 00 00 00 00"),
                                     QStringLiteral("4  Ctrl+Shift+B  repeat  03 05 00 00 02"),
                                 }));
}

TEST(CtlOutput, KeysWritesAndBindAnswersInTheUsersWords)
{
    EXPECT_EQ(keysText({2}), QStringLiteral("key 3"));
    EXPECT_EQ(keysText({0, 1, 4}), QStringLiteral("keys 1, 2 and 5"));
    EXPECT_EQ(deviceName(QStringLiteral("Programmable Key"), QStringLiteral("310000000001")),
              QStringLiteral("Programmable Key (SN:310000000001)"));

    PairingResponse fresh;
    fresh.status = 0x02;
    fresh.id = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    EXPECT_EQ(pairingText(fresh), QStringLiteral("Bound transmitter 1A 2B 3C 4D 5E in slot 2."));
    PairingResponse again = fresh;
    again.status = 0x13;
    EXPECT_EQ(pairingText(again), QStringLiteral("Transmitter 1A 2B 3C 4D 5E was bound already, in slot 3."));

    EXPECT_EQ(fileErrorLines(QStringLiteral("k.json"), {{3, QStringLiteral("bad")}, {7, QStringLiteral("worse")}}),
              (QStringList{QStringLiteral("k.json:3: bad"), QStringLiteral("k.json:7: worse")}));
}
