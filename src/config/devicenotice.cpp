#include "config/devicenotice.h"

#include <QList>

namespace tavrel {

namespace {

constexpr char Magic[] = "tavrel-device-notice 1";
// A notice holds a header and eight keys: anything much longer is not one.
constexpr qsizetype MaxNoticeBytes = 16 * 1024;

// Printable text without spaces: the device's sysfs path and the write's name are such.
bool isWord(const QByteArray& word)
{
    if (word.isEmpty())
        return false;
    for (char c : word)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

std::optional<quint8> hexByteOf(const QByteArray& text)
{
    if (text.size() != 2)
        return std::nullopt;
    quint8 value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = quint8(value * 16 + digit);
    }
    return value;
}

}  // namespace

QByteArray encodeNotice(const DeviceNotice& notice)
{
    QByteArray out = QByteArray(Magic) + '\n';
    out += "device " + notice.device.toUtf8() + '\n';
    out += "from " + notice.from.toUtf8() + '\n';
    for (int k = 0; k < KeySlots; ++k) {
        const auto& key = notice.keys[std::size_t(k)];
        if (!key)
            continue;
        out += "key " + QByteArray::number(k) + ' ' + recordText(key->record).toLatin1();
        if (key->written)
            out += " written";
        out += '\n';
    }
    return out;
}

std::optional<DeviceNotice> decodeNotice(const QByteArray& bytes)
{
    if (bytes.size() > MaxNoticeBytes || !bytes.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = bytes.chopped(1).split('\n');
    if (lines.size() < 3 || lines[0] != Magic)
        return std::nullopt;
    DeviceNotice notice;
    const QList<QByteArray> device = lines[1].split(' ');
    const QList<QByteArray> from = lines[2].split(' ');
    if (device.size() != 2 || device[0] != "device" || !isWord(device[1]) || from.size() != 2 || from[0] != "from"
        || !isWord(from[1]))
        return std::nullopt;
    notice.device = QString::fromLatin1(device[1]);
    notice.from = QString::fromLatin1(from[1]);
    for (qsizetype i = 3; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        if ((f.size() != 7 && f.size() != 8) || f[0] != "key" || f[1].size() != 1)
            return std::nullopt;
        const int k = f[1][0] - '0';
        if (!validKey(k) || notice.keys[std::size_t(k)])
            return std::nullopt;
        std::array<quint8, 5> record{};
        for (std::size_t b = 0; b < record.size(); ++b) {
            const auto value = hexByteOf(f[qsizetype(b) + 2]);
            if (!value)
                return std::nullopt;
            record[b] = *value;
        }
        if (f.size() == 8 && f[7] != "written")
            return std::nullopt;
        notice.keys[std::size_t(k)] = DeviceNotice::Key{KeyRecord::fromBytes(record), f.size() == 8};
    }
    return notice;
}

}  // namespace tavrel
