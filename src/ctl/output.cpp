#include "ctl/output.h"

#include "devices/capabilities.h"

#include <QCoreApplication>
#include <algorithm>
#include <exception>

namespace tavrel::ctl {
namespace {

// Rows of cells as columns two spaces apart; the last column is not padded.
QStringList columns(const std::vector<QStringList>& rows)
{
    std::vector<qsizetype> widths;
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c + 1 < row.size(); ++c) {
            if (widths.size() <= std::size_t(c))
                widths.resize(std::size_t(c) + 1, 0);
            widths[std::size_t(c)] = std::max(widths[std::size_t(c)], row[c].size());
        }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? row[c].leftJustified(widths[std::size_t(c)] + 2) : row[c];
        lines << line.trimmed();
    }
    return lines;
}

QString kindText(bool wireless)
{
    return wireless ? QCoreApplication::translate("tavrelctl", "receiver")
                    : QCoreApplication::translate("tavrelctl", "wired");
}

}  // namespace

QString offersText(const QString& serial)
{
    try {
        QStringList offers;
        if (triggerGroupsAfterSelection(serial)) {
            offers << QCoreApplication::translate("tavrelctl", "mouse buttons")
                   << QCoreApplication::translate("tavrelctl", "trigger choice");
        }
        if (hasPairing(serial))
            offers << QCoreApplication::translate("tavrelctl", "pairing (capacity %1)").arg(bindCapacity(serial));
        if (offers.isEmpty())
            return QCoreApplication::translate("tavrelctl", "keyboard only");
        return offers.join(QStringLiteral(", "));
    } catch (const std::exception& e) {
        return QCoreApplication::translate("tavrelctl", "serial not understood: %1").arg(QString::fromUtf8(e.what()));
    }
}

QString accessFix()
{
    return QCoreApplication::translate(
        "tavrelctl",
        "Fix: install the udev rule 70-tavrel.rules that gives the logged-in user access to the keys "
        "(scripts/install-udev-rule.sh in the source tree, or the package's "
        "/usr/lib/udev/rules.d/70-tavrel.rules), then unplug and replug the key.");
}

QStringList listLines(const std::vector<ListedKey>& keys)
{
    if (keys.empty())
        return {QCoreApplication::translate("tavrelctl", "No key found.")};
    std::vector<QStringList> open{{QStringLiteral("#"), QCoreApplication::translate("tavrelctl", "product"),
                                   QCoreApplication::translate("tavrelctl", "serial"),
                                   QCoreApplication::translate("tavrelctl", "kind"),
                                   QCoreApplication::translate("tavrelctl", "keys"),
                                   QCoreApplication::translate("tavrelctl", "offers")}};
    std::vector<QStringList> closed;
    for (const ListedKey& k : keys) {
        if (k.openable) {
            open.push_back({QString::number(k.index), k.product, k.serial, kindText(k.wireless),
                            k.keyCount ? QString::number(*k.keyCount)
                                       : QCoreApplication::translate("tavrelctl", "?"),
                            k.keyCount ? offersText(k.serial)
                                       : offersText(k.serial) + QCoreApplication::translate("tavrelctl", "; no answer")});
        } else {
            closed.push_back({QString::number(k.index), k.product, k.serial, kindText(k.wireless),
                              k.accessError.isEmpty() ? QCoreApplication::translate("tavrelctl", "permission denied")
                                                      : k.accessError});
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
                        triggerText(records[i].mode), configfile::recordText(records[i])});
    }
    return columns(rows);
}

QString deviceName(const QString& product, const QString& serial)
{
    return DeviceListText(product, serial);
}

QString keysText(const QList<int>& keys)
{
    QStringList numbers;
    for (int k : keys)
        numbers << QString::number(k + 1);
    if (numbers.size() == 1)
        return QCoreApplication::translate("tavrelctl", "key %1").arg(numbers.first());
    const QString last = numbers.takeLast();
    return QCoreApplication::translate("tavrelctl", "keys %1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

QString pairingText(const PairingResponse& response)
{
    QStringList id;
    for (quint8 b : response.id)
        id << hexByte(b);
    const int slot = response.status & 0x0F;
    return response.newlyBound()
               ? QCoreApplication::translate("tavrelctl", "Bound transmitter %1 in slot %2.").arg(id.join(u' ')).arg(slot)
               : QCoreApplication::translate("tavrelctl", "Transmitter %1 was bound already, in slot %2.")
                     .arg(id.join(u' '))
                     .arg(slot);
}

QStringList fileErrorLines(const QString& file, const configfile::FileErrors& errors)
{
    QStringList lines;
    for (const configfile::FileError& e : errors)
        lines << QStringLiteral("%1:%2: %3").arg(file).arg(e.line).arg(e.reason);
    return lines;
}

}  // namespace tavrel::ctl
