#include "devices/capabilities.h"

#include <stdexcept>

namespace tavrel {

int decimalAt(const QString& text, int first, int count)
{
    // Only the characters that exist are quoted; a missing one makes the text invalid.
    const int from = std::max(first, 1);
    const int to = std::min(first + count, int(text.size()) + 1);
    const QString part = to > from ? text.mid(from - 1, to - from) : QString();
    bool valid = first >= 1 && first + count - 1 <= text.size();
    int value = 0;
    for (QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            valid = false;
        value = value * 10 + (c.unicode() - u'0');
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
