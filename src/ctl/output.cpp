#include "ctl/output.h"

#include "config/terminaltext.h"
#include "devices/devicecapabilities.h"
#include "platform/filefailure.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <iterator>
#include <utility>

namespace tavrel::ctl {
namespace {

// Whether a terminal gives the character two columns: the East Asian wide and fullwidth ones
// (Hangul, CJK ideographs and punctuation, kana, Yi, fullwidth forms) and the pictographs.
bool isWide(char32_t c)
{
    static constexpr std::pair<char32_t, char32_t> wide[] = {
        {0x1100, 0x115F},    // Hangul leading consonants
        {0x2329, 0x232A},    // angle brackets
        {0x2E80, 0x303E},    // CJK radicals, ideographic description, CJK punctuation
        {0x3041, 0x4DBF},    // kana, bopomofo, Hangul compatibility, CJK strokes, extension A
        {0x4E00, 0xA4CF},    // CJK ideographs, Yi
        {0xA960, 0xA97F},    // Hangul extended
        {0xAC00, 0xD7A3},    // Hangul syllables
        {0xF900, 0xFAFF},    // CJK compatibility ideographs
        {0xFE10, 0xFE19},    // vertical forms
        {0xFE30, 0xFE6F},    // CJK compatibility and small forms
        {0xFF00, 0xFF60},    // fullwidth forms (the halfwidth ones follow)
        {0xFFE0, 0xFFE6},    // fullwidth signs
        {0x1F300, 0x1F64F},  // pictographs, emoticons
        {0x1F900, 0x1F9FF},  // supplemental pictographs
        {0x20000, 0x3FFFD},  // CJK ideographs beyond the first plane
    };
    const auto* after = std::upper_bound(std::begin(wide), std::end(wide), c,
                                         [](char32_t v, const auto& range) { return v < range.first; });
    return after != std::begin(wide) && c <= std::prev(after)->second;
}

// Rows of cells as columns two spaces apart, padded by the columns the text takes on a
// terminal; the last column is not padded.
QStringList columns(const std::vector<QStringList>& rows)
{
    std::vector<int> widths;
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c + 1 < row.size(); ++c) {
            if (widths.size() <= std::size_t(c))
                widths.resize(std::size_t(c) + 1, 0);
            widths[std::size_t(c)] = std::max(widths[std::size_t(c)], displayWidth(row[c]));
        }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size())
                line += QString(widths[std::size_t(c)] - displayWidth(row[c]) + 2, u' ');
        }
        lines << line.trimmed();
    }
    return lines;
}

// Between the items of a list: ", " in English, "、" in Chinese.
QString listSeparator()
{
    return QCoreApplication::translate("tavrelctl", ", ", "between the items of a list");
}

QString kindText(bool wireless)
{
    return wireless ? QCoreApplication::translate("tavrelctl", "receiver")
                    : QCoreApplication::translate("tavrelctl", "wired");
}

}  // namespace

int displayWidth(QStringView text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        switch (QChar::category(c)) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_Enclosing:
        case QChar::Other_Format:
            break;  // joins the character before it, or takes no room
        default:
            width += isWide(c) ? 2 : 1;
        }
    }
    return width;
}

QString offersText(const DeviceCapabilities& caps)
{
    if (!caps.decoded)
        return QCoreApplication::translate("tavrelctl", "unknown serial: keyboard only");
    QStringList offers;
    if (caps.triggerChoice) {
        offers << QCoreApplication::translate("tavrelctl", "mouse buttons")
               << QCoreApplication::translate("tavrelctl", "trigger choice");
    }
    if (caps.pairing)
        offers << QCoreApplication::translate("tavrelctl", "pairing (capacity %1)").arg(caps.bindCapacity);
    if (offers.isEmpty())
        return QCoreApplication::translate("tavrelctl", "keyboard only");
    return offers.join(listSeparator());
}

QString accessFix()
{
    return QCoreApplication::translate(
        "tavrelctl", "Fix: install the udev rule 70-tavrel.rules that gives the logged-in user access to the devices "
                     "(scripts/install-udev-rule.sh in the source tree, or the package's "
                     "/usr/lib/udev/rules.d/70-tavrel.rules), then unplug and replug the device.");
}

QStringList listLines(const std::vector<ListedDevice>& devices)
{
    if (devices.empty())
        return {QCoreApplication::translate("tavrelctl", "No device found.")};
    std::vector<QStringList> open{
        {QStringLiteral("#"), QCoreApplication::translate("tavrelctl", "id"),
         QCoreApplication::translate("tavrelctl", "product"), QCoreApplication::translate("tavrelctl", "serial"),
         QCoreApplication::translate("tavrelctl", "kind"), QCoreApplication::translate("tavrelctl", "keys"),
         QCoreApplication::translate("tavrelctl", "offers")}};
    std::vector<QStringList> closed;
    for (const ListedDevice& k : devices) {
        // Escaped before the columns are measured, as an escape takes more room than what it shows.
        const QString product = terminalSafe(k.product);
        const QString serial = terminalSafe(k.serial);
        if (k.openable) {
            open.push_back(
                {QString::number(k.index), terminalSafe(k.id), product, serial, kindText(k.capabilities.wireless),
                 k.keyCount ? QString::number(*k.keyCount) : QCoreApplication::translate("tavrelctl", "?"),
                 k.keyCount ? offersText(k.capabilities)
                            : offersText(k.capabilities) + QCoreApplication::translate("tavrelctl", "; no answer")});
        } else {
            closed.push_back({QString::number(k.index), terminalSafe(k.id), product, serial,
                              kindText(k.capabilities.wireless),
                              k.accessError.isEmpty() ? QCoreApplication::translate("tavrelctl", "permission denied")
                                                      : terminalSafe(k.accessError)});
        }
    }
    QStringList lines;
    if (open.size() > 1)
        lines << columns(open);
    if (!closed.empty()) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QCoreApplication::translate("tavrelctl", "Found but not openable:") << columns(closed) << accessFix();
    }
    return lines;
}

QStringList keyLines(std::span<const KeyRecord> records)
{
    std::vector<QStringList> rows;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const QString name = assignmentText(records[i]);
        rows.push_back({QString::number(i + 1),
                        name.isEmpty() ? QCoreApplication::translate("tavrelctl", "(none)") : name,
                        triggerText(records[i].mode), recordText(records[i])});
    }
    return columns(rows);
}

namespace {

QString assignmentName(const KeyRecord& record)
{
    const QString name = assignmentText(record);
    return name.isEmpty() ? QCoreApplication::translate("tavrelctl", "(none)") : name;
}

QJsonValue recordJson(const std::optional<KeyRecord>& record)
{
    if (!record)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("assignment"), assignmentText(*record)},
                       {QStringLiteral("trigger"), triggerText(record->mode)},
                       {QStringLiteral("record"), recordText(*record)}};
}

}  // namespace

QString keyChangeText(const history::KeyWrite& change)
{
    QString before =
        change.before ? assignmentName(*change.before) : QCoreApplication::translate("tavrelctl", "(not known)");
    QString after = assignmentName(change.written);
    if (change.before && isRepeatMode(change.before->mode) != isRepeatMode(change.written.mode)) {
        before += QStringLiteral(" (%1)").arg(triggerText(change.before->mode));
        after += QStringLiteral(" (%1)").arg(triggerText(change.written.mode));
    }
    if (before == after) {
        before = recordText(*change.before);
        after = recordText(change.written);
    }
    return QCoreApplication::translate("tavrelctl", "Key %1: %2 → %3").arg(change.key + 1).arg(before, after);
}

QStringList historyLines(const history::HistoryDevice& device, const std::vector<history::HistoryEntry>& entries)
{
    QStringList lines;
    const history::HistoryEntry* newest = entries.empty() ? nullptr : &entries.back();
    const QString name = newest ? deviceName(newest->product, newest->serial) : terminalSafe(device.id);
    lines << (device.bySerial
                  ? QCoreApplication::translate("tavrelctl", "%1:").arg(name)
                  : QCoreApplication::translate("tavrelctl", "%1 in port %2:").arg(name, terminalSafe(device.id)));
    if (entries.empty())
        lines << QStringLiteral("   ") + QCoreApplication::translate("tavrelctl", "(no entries)");
    int number = 0;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        lines << QStringLiteral("%1  %2  %3 %4")
                     .arg(++number)
                     .arg(e->time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                          terminalSafe(e->program), terminalSafe(e->command));
        const std::vector<history::KeyWrite> changes = e->changes();
        if (changes.empty())
            lines << QStringLiteral("   ") + QCoreApplication::translate("tavrelctl", "(no key changed)");
        for (const history::KeyWrite& change : changes)
            lines << QStringLiteral("   ") + keyChangeText(change);
    }
    return lines;
}

QStringList historyJsonLines(const history::HistoryDevice& device, const std::vector<history::HistoryEntry>& entries)
{
    QStringList lines;
    int number = 0;
    for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
        QJsonArray keys;
        for (const history::KeyWrite& change : e->changes()) {
            keys.append(QJsonObject{{QStringLiteral("key"), change.key + 1},
                                    {QStringLiteral("before"), recordJson(change.before)},
                                    {QStringLiteral("written"), recordJson(change.written)}});
        }
        const QJsonObject o{{QStringLiteral("device"), device.id},
                            {QStringLiteral("entry"), ++number},
                            {QStringLiteral("time"), e->time.toUTC().toString(Qt::ISODateWithMs)},
                            {QStringLiteral("program"), e->program},
                            {QStringLiteral("command"), e->command},
                            {QStringLiteral("product"), e->product},
                            {QStringLiteral("serial"), e->serial},
                            {QStringLiteral("port"), e->port},
                            {QStringLiteral("keys"), keys}};
        // JSON escapes every control character, so these lines need no more care.
        lines << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    return lines;
}

QString deviceName(const QString& product, const QString& serial)
{
    return terminalSafe(deviceListText(product, serial));
}

QString keysText(const QList<int>& keys)
{
    QStringList numbers;
    for (int k : keys)
        numbers << QString::number(k + 1);
    if (numbers.size() == 1)
        return QCoreApplication::translate("tavrelctl", "key %1").arg(numbers.first());
    const QString last = numbers.takeLast();
    return QCoreApplication::translate("tavrelctl", "keys %1 and %2").arg(numbers.join(listSeparator()), last);
}

QString pairingText(const PairingResponse& response)
{
    QStringList id;
    for (quint8 b : response.id)
        id << hexByte(b);
    const int slot = response.status & 0x0F;
    return response.newlyBound()
               ? QCoreApplication::translate("tavrelctl", "Bound transmitter %1 in slot %2.")
                     .arg(id.join(u' '))
                     .arg(slot)
               : QCoreApplication::translate("tavrelctl", "Transmitter %1 was bound already, in slot %2.")
                     .arg(id.join(u' '))
                     .arg(slot);
}

QStringList fileErrorLines(const QString& file, const configfile::FileErrors& errors)
{
    QStringList lines;
    for (const configfile::FileError& e : errors)
        lines << (e.unlisted > 0
                      ? QStringLiteral("%1: %2").arg(terminalSafe(file), terminalSafe(e.reason))
                      : QStringLiteral("%1:%2: %3").arg(terminalSafe(file)).arg(e.line).arg(terminalSafe(e.reason)));
    return lines;
}

Failure fileReadFailure(const QString& file, const IoResult& result)
{
    return Failure(ExitBadFile, QCoreApplication::translate("tavrelctl", "%1 cannot be read: %2")
                                    .arg(file, fileFailureText(result)));
}

Failure fileWriteFailure(const QString& file, const IoResult& result)
{
    return Failure(ExitBadFile, QCoreApplication::translate("tavrelctl", "%1 cannot be written: %2")
                                    .arg(file, fileFailureText(result)));
}

}  // namespace tavrel::ctl
