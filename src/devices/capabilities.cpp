#include "devices/capabilities.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace tavrel {

int decimalAt(const QString& text, int first, int count)
{
    // The range is checked before anything is added: first and count may be anything an int
    // holds, and first + count may not fit one.
    const qsizetype size = text.size();
    const bool inRange = first >= 1 && count >= 1 && first <= size && count <= size - first + 1;

    // Only the characters that exist are quoted; a missing one makes the text invalid.
    const qint64 from = std::max<qint64>(first, 1);
    const qint64 to = std::min<qint64>(qint64(first) + qint64(count), qint64(size) + 1);
    const QString part = to > from ? text.mid(qsizetype(from - 1), qsizetype(to - from)) : QString();
    bool valid = inRange;
    int value = 0;
    for (QChar c : part) {
        if (!valid)
            break;
        const int digit = c.unicode() - u'0';
        // A number that does not fit an int is no more valid than a letter.
        if (digit < 0 || digit > 9 || value > (std::numeric_limits<int>::max() - digit) / 10)
            valid = false;
        else
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
