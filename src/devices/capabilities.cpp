#include "devices/capabilities.h"

#include <limits>
#include <stdexcept>

namespace tavrel {

int decimalAt(const QString& text, int first, int count)
{
    // Only the characters that exist are quoted; a missing one makes the text invalid. The end
    // is worked out in 64 bits, as first + count may pass the range of int.
    const qint64 end = qint64(first) + count;
    const qsizetype from = std::max(first, 1);
    const qsizetype to = std::min<qint64>(end, text.size() + 1);
    const QString part = to > from ? text.mid(from - 1, to - from) : QString();
    bool valid = first >= 1 && end - 1 <= text.size();
    int value = 0;
    for (QChar c : part) {
        const int digit = c.unicode() - u'0';
        // A number past the range of int is as invalid as a letter.
        if (digit < 0 || digit > 9 || value > (std::numeric_limits<int>::max() - digit) / 10) {
            valid = false;
            break;
        }
        value = value * 10 + digit;
    }
    if (!valid)
        throw std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(part).toStdString());
    return value;
}

QString DeviceListText(const QString& product, const QString& serial)
{
    QString text = product;
    if (!serial.isEmpty())
        text += QStringLiteral(" (SN:%1)").arg(serial);
    return text;
}

bool isWirelessItem(const QString& itemText)
{
    return decimalAt(itemText, int(itemText.size()) - 10, 1) > 0;
}

int bindCapacity(const QString& serial)
{
    return decimalAt(serial, 3, 1) < 2 ? decimalAt(serial, 4, 1) : 5 * decimalAt(serial, 4, 1);
}

bool mousePageAfterChange(const QString& serial) { return decimalAt(serial, 2, 2) >= 2; }

bool triggerGroupsAfterSelection(const QString& serial) { return decimalAt(serial, 1, 2) >= 3; }

bool hasPairing(const QString& serial) { return decimalAt(serial, 3, 1) != 0; }

QString modelDigits(const QString& serial) { return serial.left(2); }

}  // namespace tavrel
