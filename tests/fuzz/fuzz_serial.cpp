// The serial decoding, from the strings a device gives to what the device list and the window
// make of them: which answer is a serial, the list's item text, and the capabilities read from
// the serial's digits.
//
// Input: a flags byte (bit 0: the serial request answered, bit 1: the language list was read),
// the product and the serial as a length byte and UTF-8 bytes each, a count byte and that many
// 16-bit language ids, then for the digit decoder a byte whose high bit asks for any first and
// count (then two 32-bit numbers follow) and whose low four bits are the count otherwise (then a
// 16-bit position follows).

#include "devices/devicecapabilities.h"
#include "fuzzcheck.h"
#include "hid/serialtext.h"

#include <vector>

using namespace tavrel;
using tavrel::fuzz::FuzzInput;

namespace {

constexpr int StringUnits = 254;

// The device-string rule: at most 254 units, cut at the first zero unit, nothing else changed.
bool isDeviceString(const QString& result, const QString& from)
{
    return result.size() <= StringUnits && !result.contains(QChar(0)) && from.startsWith(result)
           && (result.size() == std::min<qsizetype>(from.size(), StringUnits) || from[result.size()] == QChar(0));
}

QString unitsText(const std::vector<quint16>& units)
{
    return QString(reinterpret_cast<const QChar*>(units.data()), qsizetype(units.size()));
}

bool fitsInt(const QString& text, int first, int count)
{
    bool ok = false;
    text.mid(first - 1, count).toInt(&ok);
    return ok;
}

bool allDigits(const QString& text, int first, int count)
{
    if (first < 1 || count < 1 || qint64(first) + count - 1 > text.size())
        return false;
    for (QChar c : text.mid(first - 1, count))
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const quint8 flags = input.byte();
    // udev's strings are read as UTF-8 and trimmed.
    const QString product = input.utf8Text().trimmed();
    const QString rawSerial = input.utf8Text().trimmed();
    std::vector<quint16> languages(input.byte());
    for (quint16& id : languages)
        id = input.u16();

    const std::optional<QString> serial = (flags & 1) ? std::optional(rawSerial) : std::nullopt;
    const std::optional<std::vector<quint16>> languageIds = (flags & 2) ? std::optional(languages) : std::nullopt;

    const QString productText = deviceStringText(product);
    FUZZ_CHECK(isDeviceString(productText, product));
    const QString serialText = serialNumberText(serial, languageIds);
    FUZZ_CHECK(serialText.isEmpty() || (serial && isDeviceString(serialText, *serial)));
    // No language list, or a serial request answered with the language list itself: no serial.
    if (!languageIds || languageIds->empty())
        FUZZ_CHECK(serialText.isEmpty());
    else if (serial && languageIds->size() < std::size_t(StringUnits) && *serial == unitsText(*languageIds))
        FUZZ_CHECK(serialText.isEmpty());

    const QString item = deviceListText(productText, serialText);
    FUZZ_CHECK(item.startsWith(productText));
    FUZZ_CHECK(serialText.isEmpty() ? item == productText
                                    : item.endsWith(QStringLiteral(" (SN:") + serialText + QLatin1Char(')')));

    // What the window and the command line read from the item text and the serial: the code,
    // or, for anything else, the plainest key.
    const DeviceCapabilities caps = decodeCapabilities(productText, serialText);
    FUZZ_CHECK(caps.modelDigits == serialText.left(2));
    FUZZ_CHECK(caps.decoded == (allDigits(serialText, 1, 4) && allDigits(item, int(item.size()) - 10, 1)));
    if (caps.decoded) {
        FUZZ_CHECK(caps.bindCapacity >= 0 && caps.bindCapacity <= 45);
        FUZZ_CHECK(caps.pairing == (serialText[2] != u'0'));
        FUZZ_CHECK(caps.wireless == (item[item.size() - 11] != u'0'));
    } else {
        FUZZ_CHECK(!caps.wireless && !caps.triggerChoice && !caps.mousePageAtChange && !caps.pairing);
        FUZZ_CHECK(caps.bindCapacity == 0);
    }

    // The digit decoder itself, at positions before, within and past both texts, and now and
    // then at any int at all.
    while (!input.empty()) {
        const quint8 how = input.byte();
        int first, count;
        if (how & 0x80) {
            first = int(input.u32());
            count = int(input.u32());
        } else {
            first = int(input.u16()) % 600 - 8;
            count = how % 16;
        }
        for (const QString& text : {serialText, item}) {
            const auto value = decimalAt(text, first, count);
            FUZZ_CHECK(!value || *value >= 0);
            if (count > 0)
                FUZZ_CHECK(value.has_value() == (allDigits(text, first, count) && fitsInt(text, first, count)));
        }
    }
    return 0;
}
