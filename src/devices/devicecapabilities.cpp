#include "devices/devicecapabilities.h"

#include <limits>

namespace tavrel {

std::optional<int> decimalAt(const QString& text, int first, int count)
{
    // The range is checked before anything is added: first and count may be anything an int
    // holds, and first + count may not fit one.
    const qsizetype size = text.size();
    if (first < 1 || count < 1 || first > size || count > size - first + 1)
        return std::nullopt;
    int value = 0;
    for (QChar c : QStringView(text).mid(first - 1, count)) {
        const int digit = c.unicode() - u'0';
        if (digit < 0 || digit > 9 || value > (std::numeric_limits<int>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

QString deviceListText(const QString& product, const QString& serial)
{
    QString text = product;
    if (!serial.isEmpty())
        text += QStringLiteral(" (SN:%1)").arg(serial);
    return text;
}

DeviceCapabilities decodeCapabilities(const QString& product, const QString& serial)
{
    DeviceCapabilities caps;
    caps.modelDigits = serial.left(2);
    const QString item = deviceListText(product, serial);
    const auto kind = decimalAt(item, int(item.size()) - 10, 1);
    const auto first2 = decimalAt(serial, 1, 2);
    const auto middle2 = decimalAt(serial, 2, 2);
    const auto third = decimalAt(serial, 3, 1);
    const auto fourth = decimalAt(serial, 4, 1);
    if (!kind || !first2 || !middle2 || !third || !fourth)
        return caps;
    caps.decoded = true;
    caps.wireless = *kind > 0;
    caps.triggerChoice = *first2 >= 3;
    caps.mousePageAtChange = *middle2 >= 2;
    caps.pairing = *third != 0;
    caps.bindCapacity = *third < 2 ? *fourth : 5 * *fourth;
    return caps;
}

}  // namespace tavrel
