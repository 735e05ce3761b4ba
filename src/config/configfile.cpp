#include "config/configfile.h"

#include "config/jsonreader.h"
#include "config/terminaltext.h"

#include <QCoreApplication>
#include <QJsonParseError>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <queue>
#include <unordered_map>

namespace tavrel::configfile {
namespace {

// The fault reasons are for people: they are written in English and translated in the context
// "tavrel::configfile". What a file holds (field names, "single", "repeat", key names, records)
// and what serialize() writes stay as they are in every language.

// ---- Writing ----------------------------------------------------------------------------------

// A JSON string that reads back to exactly `text`: a lone surrogate, which UTF-8 cannot carry,
// is written as its escape.
QByteArray jsonString(const QString& text)
{
    QByteArray out = "\"";
    const auto escape = [&](char16_t unit) {
        out += "\\u" + QByteArray::number(uint(unit), 16).rightJustified(4, '0');
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += QStringView(text).mid(i, 2).toUtf8();
            ++i;
        } else if (c.isSurrogate()) {
            escape(c.unicode());
        } else if (c == u'"') {
            out += "\\\"";
        } else if (c == u'\\') {
            out += "\\\\";
        } else if (c == u'\n') {
            out += "\\n";
        } else if (c == u'\r') {
            out += "\\r";
        } else if (c == u'\t') {
            out += "\\t";
        } else if (actsOnTerminal(c.unicode())) {
            // Escaped as well beyond what JSON requires, so that `show --json` is safe on a terminal.
            escape(c.unicode());
        } else {
            out += QString(c).toUtf8();
        }
    }
    return out + '"';
}

// ---- Where things are -------------------------------------------------------------------------

// An object of the file and the parse's count of its steps, where its work grows with the file.
struct ObjectAt {
    const JsonValue& object;
    std::size_t& steps;

    int line() const { return object.line; }
    // The line of the member that counts: the last one of that name; the object's own line when
    // there is none.
    int lineOf(const QString& name) const
    {
        ++steps;
        const JsonMember* member = object.member(name);
        return member ? member->line : object.line;
    }
};

// The line of a byte offset where the reader found a fault. Its offset can lie at or just past
// the fault, and at the end of the text for an unfinished file: then the last line with text.
int lineAt(const QByteArray& text, qsizetype offset)
{
    qsizetype end = std::clamp<qsizetype>(offset, 0, text.size());
    if (end == text.size())
        while (end > 0 && QByteArrayView(" \t\r\n").contains(text[end - 1]))
            --end;
    return 1 + int(std::count(text.cbegin(), text.cbegin() + end, '\n'));
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Why a device cannot hold the record, or "" when it can.
QString recordFault(const KeyRecord& r)
{
    if (r.mode > ModeMouseRepeat)
        return QCoreApplication::translate("tavrel::configfile",
                                           "mode %1 is not one a key can hold (00 keyboard single, 02 keyboard "
                                           "repeat, 01 mouse single, 03 mouse repeat)")
            .arg(hexByte(r.mode));
    if (isMouseMode(r.mode) && r.modifiers != MouseLeft && r.modifiers != MouseRight && r.modifiers != MouseMiddle)
        return QCoreApplication::translate("tavrel::configfile",
                                           "mouse button %1 is not one a key can hold (01 left, 02 right, 04 middle)")
            .arg(hexByte(r.modifiers));
    return {};
}

QString beyondTheDevice(int key, int deviceKeys)
{
    return deviceKeys == 1
               ? QCoreApplication::translate("tavrel::configfile", "key %1 is beyond the device, which has 1 key")
                     .arg(key)
               : QCoreApplication::translate("tavrel::configfile", "key %1 is beyond the device, which has %2 keys")
                     .arg(key)
                     .arg(deviceKeys);
}

QString givenTwice(int key, int firstLine)
{
    return QCoreApplication::translate("tavrel::configfile", "key %1 is given twice (first at line %2)")
        .arg(key)
        .arg(firstLine);
}

// Faults a file holds by the hundred thousand (unknown fields, fields given twice) are only
// counted once MaxFaults are known on earlier lines: their reasons would cost more than the rest
// of the check, and are not listed.
class FaultCap {
public:
    // Whether a fault at `line` may still be among the first MaxFaults by line. Faults of the
    // same line keep the order they were found in, so a later one at the last listed line is not.
    bool listed(int line) const { return m_lines.size() < MaxFaults || line < m_lines.top(); }
    // A fault at `line` that is listed for now; it may still fall beyond the first MaxFaults.
    void note(int line)
    {
        m_lines.push(line);
        if (m_lines.size() > MaxFaults)
            m_lines.pop();
    }
    // Faults counted without their reasons.
    std::size_t unlisted = 0;

private:
    // The lines of the first MaxFaults noted, the last on top.
    std::priority_queue<int> m_lines;
};

// The first MaxFaults faults by line, and one entry that counts the rest with those not listed.
FileErrors inLineOrder(FileErrors errors, std::size_t unlisted = 0)
{
    std::stable_sort(errors.begin(), errors.end(),
                     [](const FileError& a, const FileError& b) { return a.line < b.line; });
    if (errors.size() > MaxFaults || unlisted > 0) {
        const int more = int(errors.size() - std::min(errors.size(), MaxFaults) + unlisted);
        errors.resize(MaxFaults);
        errors.push_back({0, QCoreApplication::translate("tavrel::configfile", "… and %n more", nullptr, more), more});
    }
    return errors;
}

const QStringList& topMembers()
{
    static const QStringList names{QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("serial"),
                                   QStringLiteral("product"), QStringLiteral("keys")};
    return names;
}

const QStringList& entryMembers()
{
    static const QStringList names{QStringLiteral("key"), QStringLiteral("assignment"), QStringLiteral("trigger"),
                                   QStringLiteral("record")};
    return names;
}

// A member that is not one of `known`, and a member given twice (the parser would silently keep
// the last one), are both faults: they are usually typing slips.
void checkMembers(const ObjectAt& at, const QStringList& known, FileErrors& errors, FaultCap& cap)
{
    const auto listed = [&cap](int line) {
        if (!cap.listed(line)) {
            ++cap.unlisted;
            return false;
        }
        cap.note(line);
        return true;
    };
    const QString knownList = known.join(QStringLiteral(", "));
    for (const QString& name : at.object.names()) {
        if (known.contains(name))
            continue;
        if (const int line = at.lineOf(name); listed(line))
            errors.push_back(
                {line, QCoreApplication::translate("tavrel::configfile", "unknown field %1 (the fields are %2)")
                           .arg(quoted(name), knownList)});
    }
    std::unordered_map<QString, int> first;
    for (const JsonMember& m : at.object.members) {
        ++at.steps;
        const auto [it, inserted] = first.emplace(m.name, m.line);
        if (!inserted && listed(m.line))
            errors.push_back(
                {m.line, QCoreApplication::translate("tavrel::configfile", "field %1 is given twice (first at line %2)")
                             .arg(quoted(m.name), QString::number(it->second))});
    }
}

std::optional<int> wholeNumber(const JsonValue* value)
{
    if (!value || !value->isNumber())
        return std::nullopt;
    const double d = value->number;
    if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 1e9)
        return std::nullopt;
    return int(d);
}

struct ParsedEntry {
    KeyEntry entry;  // key 0 when the number is missing or out of range
    bool ok = false;
};

// The entry's "key": its number, or 0 when it is missing or out of range.
int readKeyNumber(const ObjectAt& at, FileErrors& errors)
{
    const QString keyName = QStringLiteral("key");
    if (!at.object.contains(keyName)) {
        errors.push_back(
            {at.line(), QCoreApplication::translate("tavrel::configfile", "the entry has no \"key\" number")});
        return 0;
    }
    const std::optional<int> n = wholeNumber(at.object.value(keyName));
    if (!n || *n < 1 || *n > MaxKeys) {
        errors.push_back({at.lineOf(keyName),
                          QCoreApplication::translate("tavrel::configfile",
                                                      "\"key\" must be a number from 1 to %1 (the first key is 1)")
                              .arg(MaxKeys)});
        return 0;
    }
    return *n;
}

// The entry's "trigger": true for repeat, false for single; none when it is not given or wrong.
std::optional<bool> readTrigger(const ObjectAt& at, FileErrors& errors)
{
    const QString triggerName = QStringLiteral("trigger");
    const JsonValue* given = at.object.value(triggerName);
    if (!given)
        return std::nullopt;
    const QString trigger = given->toString();
    if (trigger.compare(QLatin1String("single"), Qt::CaseInsensitive) == 0)
        return false;
    if (trigger.compare(QLatin1String("repeat"), Qt::CaseInsensitive) == 0)
        return true;
    errors.push_back(
        {at.lineOf(triggerName),
         QCoreApplication::translate("tavrel::configfile", "\"trigger\" must be \"single\" or \"repeat\"")});
    return std::nullopt;
}

// The entry's "record" when it is given and one the key can hold. A record whose mode disagrees
// with the trigger is a fault but is still returned.
std::optional<KeyRecord> readRecord(const ObjectAt& at, std::optional<bool> repeat, FileErrors& errors)
{
    const QString recordName = QStringLiteral("record");
    const JsonValue* given = at.object.value(recordName);
    if (!given)
        return std::nullopt;
    const std::optional<KeyRecord> raw = given->isString() ? parseRecordText(given->string) : std::nullopt;
    if (!raw) {
        errors.push_back({at.lineOf(recordName),
                          QCoreApplication::translate("tavrel::configfile",
                                                      "\"record\" must be five bytes in hex: Modifiers, Code1, Code2, "
                                                      "Code3, Mode, such as \"05 04 00 00 00\"")});
        return std::nullopt;
    }
    if (const QString why = recordFault(*raw); !why.isEmpty()) {
        errors.push_back({at.lineOf(recordName), why});
        return std::nullopt;
    }
    if (repeat && *repeat != isRepeatMode(raw->mode)) {
        errors.push_back(
            {at.lineOf(QStringLiteral("trigger")),
             QCoreApplication::translate("tavrel::configfile", "trigger %1 disagrees with the record's mode %2 (%3)")
                 .arg(quoted(triggerText(modeFor(false, *repeat))), hexByte(raw->mode), triggerText(raw->mode))});
    }
    return raw;
}

// An entry with both an assignment and a usable record: the record, when the two agree. A record
// may hold what no name can say (a second or third code, a usage without a name): the name the
// record formats to then stands for it.
std::optional<KeyRecord> agreeingRecord(const QString& name, const KeyRecord& raw, int line, FileErrors& errors)
{
    const AssignmentResult parsed = parseAssignment(name, isRepeatMode(raw.mode));
    const KeyRecord* byName = std::get_if<KeyRecord>(&parsed);
    const QString formatted = assignmentText(raw);
    if ((byName && *byName == raw) || name.trimmed().compare(formatted, Qt::CaseInsensitive) == 0)
        return raw;
    if (byName)
        errors.push_back({line, QCoreApplication::translate("tavrel::configfile",
                                                            "%1 gives %2, but the record %3 is %4; change one of them "
                                                            "or leave one out")
                                    .arg(quoted(name), recordText(*byName), recordText(raw), quoted(formatted))});
    else
        errors.push_back(
            {line, QCoreApplication::translate("tavrel::configfile", "%1; the record %2 is %3")
                       .arg(std::get<AssignmentError>(parsed).reason, recordText(raw), quoted(formatted))});
    return std::nullopt;
}

// The entry's "assignment" and record into `entry`, from the assignment, the record or both.
void readAssignment(const ObjectAt& at, std::optional<bool> repeat, const std::optional<KeyRecord>& raw,
                    KeyEntry& entry, FileErrors& errors)
{
    const QString assignmentName = QStringLiteral("assignment");
    const bool hasRecord = at.object.contains(QStringLiteral("record"));
    const JsonValue* given = at.object.value(assignmentName);
    if (!given && !hasRecord)
        errors.push_back(
            {at.line(), QCoreApplication::translate("tavrel::configfile",
                                                    "the entry needs an \"assignment\", a \"record\" or both")});
    if (given && !given->isString())
        errors.push_back({at.lineOf(assignmentName),
                          QCoreApplication::translate("tavrel::configfile",
                                                      "\"assignment\" must be a text such as \"Ctrl+Alt+A\"")});

    if (!given || !given->isString()) {
        if (raw) {
            entry.record = *raw;
            entry.assignment = assignmentText(*raw);
        }
        return;
    }
    const QString name = given->string;
    const int line = at.lineOf(assignmentName);
    entry.assignment = name;
    if (hasRecord) {
        const std::optional<KeyRecord> agreed = raw ? agreeingRecord(name, *raw, line, errors) : std::nullopt;
        if (agreed)
            entry.record = *agreed;
        return;
    }
    const AssignmentResult parsed = parseAssignment(name, repeat.value_or(false));
    if (const auto* error = std::get_if<AssignmentError>(&parsed))
        errors.push_back({line, error->reason});
    else
        entry.record = std::get<KeyRecord>(parsed);
}

// One entry of "keys"; its faults go to `errors`.
ParsedEntry parseEntry(const ObjectAt& at, FileErrors& errors, FaultCap& cap)
{
    const std::size_t faultsBefore = errors.size() + cap.unlisted;
    if (!at.object.isObject()) {
        errors.push_back(
            {at.line(),
             QCoreApplication::translate("tavrel::configfile",
                                         "each key is an object such as {\"key\": 1, \"assignment\": \"F5\"}")});
        return {};
    }
    checkMembers(at, entryMembers(), errors, cap);

    KeyEntry entry;
    entry.line = at.line();
    entry.key = readKeyNumber(at, errors);
    const std::optional<bool> repeat = readTrigger(at, errors);
    const std::optional<KeyRecord> raw = readRecord(at, repeat, errors);
    readAssignment(at, repeat, raw, entry, errors);
    return {entry, errors.size() + cap.unlisted == faultsBefore};
}

}  // namespace

QByteArray serialize(std::span<const KeyRecord> records, const QString& serial, const QString& product)
{
    QByteArray out = "{\n";
    out += "  \"format\": " + jsonString(FormatName) + ",\n";
    out += "  \"version\": " + QByteArray::number(FormatVersion) + ",\n";
    out += "  \"serial\": " + jsonString(serial) + ",\n";
    out += "  \"product\": " + jsonString(product) + ",\n";
    // One key per line, so that a fault found later points at its key.
    const std::size_t count = std::min<std::size_t>(records.size(), MaxKeys);
    out += "  \"keys\": [";
    for (std::size_t i = 0; i < count; ++i) {
        const KeyRecord& r = records[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"key\": " + QByteArray::number(qulonglong(i + 1)) + ", \"assignment\": "
               + jsonString(assignmentText(r)) + ", \"trigger\": " + jsonString(triggerText(r.mode))
               + ", \"record\": " + jsonString(recordText(r)) + "}";
    }
    out += count == 0 ? "]\n" : "\n  ]\n";
    out += "}\n";
    return out;
}

std::size_t faultCount(const FileErrors& errors)
{
    if (!errors.empty() && errors.back().unlisted > 0)
        return errors.size() - 1 + std::size_t(errors.back().unlisted);
    return errors.size();
}

namespace {

std::variant<ConfigFile, FileErrors> parseCounting(const QByteArray& text, std::size_t& steps)
{
    if (QByteArrayView(text).trimmed().isEmpty())
        return FileErrors{{1, QCoreApplication::translate("tavrel::configfile", "the file is empty")}};
    QJsonParseError jsonError;
    JsonReader reader(text);
    const JsonValue document = reader.read(&jsonError);
    steps += reader.steps();
    if (jsonError.error != QJsonParseError::NoError)
        return FileErrors{{lineAt(text, jsonError.offset),
                           QCoreApplication::translate("tavrel::configfile", "this is not valid JSON: %1")
                               .arg(jsonError.errorString())}};
    const QString notAKeyFile =
        QCoreApplication::translate("tavrel::configfile", "this is not a Tavrel key file: it has no \"format\": \"%1\"")
            .arg(FormatName);
    if (!document.isObject())
        return FileErrors{{1, notAKeyFile}};

    const ObjectAt top{document, steps};
    const auto topValue = [&](const char* name) { return document.value(QLatin1String(name)); };
    if (const JsonValue* format = topValue("format"); !format || format->toString() != FormatName)
        return FileErrors{{top.lineOf(QStringLiteral("format")), notAKeyFile}};
    // A newer file may hold what this program does not know: one fault says it all.
    const JsonValue* version = topValue("version");
    const int versionLine = top.lineOf(QStringLiteral("version"));
    if (!version) {
        return FileErrors{
            {versionLine, QCoreApplication::translate("tavrel::configfile", "the file has no \"version\" (this program "
                                                                            "reads version %1)")
                              .arg(FormatVersion)}};
    }
    const std::optional<int> v = wholeNumber(version);
    if (!v) {
        return FileErrors{{versionLine, QCoreApplication::translate("tavrel::configfile",
                                                                    "\"version\" must be a number (this program "
                                                                    "reads version %1)")
                                            .arg(FormatVersion)}};
    }
    if (*v != FormatVersion) {
        return FileErrors{{versionLine, QCoreApplication::translate("tavrel::configfile",
                                                                    "format version %1 is unknown (this program "
                                                                    "reads version %2)")
                                            .arg(*v)
                                            .arg(FormatVersion)}};
    }

    FileErrors errors;
    FaultCap cap;
    checkMembers(top, topMembers(), errors, cap);
    ConfigFile file;
    for (const char* name : {"serial", "product"}) {
        const JsonValue* value = topValue(name);
        if (value && !value->isString())
            errors.push_back(
                {top.lineOf(QLatin1String(name)),
                 QCoreApplication::translate("tavrel::configfile", "\"%1\" must be a text").arg(QLatin1String(name))});
    }
    if (const JsonValue* serial = topValue("serial"))
        file.serial = serial->toString();
    if (const JsonValue* product = topValue("product"))
        file.product = product->toString();

    const JsonValue* keys = topValue("keys");
    if (!keys || !keys->isArray()) {
        errors.push_back({top.lineOf(QStringLiteral("keys")),
                          QCoreApplication::translate("tavrel::configfile", "\"keys\" must be a list of keys, such as "
                                                                            "[{\"key\": 1, \"assignment\": \"F5\"}]")});
    } else {
        std::map<int, int> lineOfKey;
        for (const JsonValue& element : keys->elements) {
            // An entry with faults still claims its key number, so that a second entry for the
            // same key is reported in the same pass.
            ParsedEntry parsed = parseEntry(ObjectAt{element, steps}, errors, cap);
            if (parsed.entry.key == 0)
                continue;
            const auto [it, inserted] = lineOfKey.emplace(parsed.entry.key, parsed.entry.line);
            if (!inserted)
                errors.push_back({parsed.entry.line, givenTwice(parsed.entry.key, it->second)});
            else if (parsed.ok)
                file.keys.push_back(std::move(parsed.entry));
        }
    }
    if (!errors.empty() || cap.unlisted > 0)
        return inLineOrder(std::move(errors), cap.unlisted);
    return file;
}

}  // namespace

std::variant<ConfigFile, FileErrors> parse(const QByteArray& text, std::size_t* steps)
{
    std::size_t counted = 0;
    auto parsed = parseCounting(text, counted);
    if (steps)
        *steps = counted;
    return parsed;
}

std::variant<RestorePlan, FileErrors> validateFor(const ConfigFile& file, int deviceKeyCount, bool allowTruncate)
{
    const int count = std::clamp(deviceKeyCount, 0, MaxKeys);
    RestorePlan plan;
    FileErrors errors;
    std::map<int, int> lineOfKey;
    // The file may not come from parse: its records are checked again before they can reach a key.
    for (const KeyEntry& e : file.keys) {
        if (e.key < 1 || e.key > MaxKeys) {
            errors.push_back(
                {e.line, QCoreApplication::translate("tavrel::configfile", "key %1 is not one of the keys 1 to %2")
                             .arg(e.key)
                             .arg(MaxKeys)});
            continue;
        }
        if (const auto [it, inserted] = lineOfKey.emplace(e.key, e.line); !inserted) {
            errors.push_back({e.line, givenTwice(e.key, it->second)});
            continue;
        }
        if (const QString why = recordFault(e.record); !why.isEmpty()) {
            errors.push_back({e.line, why});
            continue;
        }
        if (e.key <= count)
            plan.write.push_back(e);
        else if (allowTruncate)
            plan.skipped.push_back(e);
        else
            errors.push_back({e.line, beyondTheDevice(e.key, count)});
    }
    if (!errors.empty())
        return inLineOrder(std::move(errors));
    const auto byKey = [](const KeyEntry& a, const KeyEntry& b) { return a.key < b.key; };
    std::sort(plan.write.begin(), plan.write.end(), byKey);
    std::sort(plan.skipped.begin(), plan.skipped.end(), byKey);
    return plan;
}

}  // namespace tavrel::configfile
