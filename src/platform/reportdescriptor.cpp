#include "platform/reportdescriptor.h"

#include <array>
#include <map>
#include <vector>

namespace tavrel::platform {

namespace {

enum ItemType : quint8 { Main = 0, Global = 1, Local = 2 };

enum MainTag : quint8 { Input = 0x8, Output = 0x9, Collection = 0xA, Feature = 0xB, EndCollection = 0xC };

enum GlobalTag : quint8 {
    UsagePage = 0x0,
    ReportSize = 0x7,
    ReportId = 0x8,
    ReportCount = 0x9,
    Push = 0xA,
    Pop = 0xB,
};

constexpr quint8 LocalUsage = 0x0;
constexpr quint8 ApplicationCollection = 0x01;
constexpr quint8 LongItemPrefix = 0xFE;
// The longest report whose length, with its report-ID byte, still fits 16 bits.
constexpr quint64 MaxReportBits = 8 * 65534;

struct GlobalState {
    quint32 usagePage = 0;
    quint32 reportSize = 0;
    quint32 reportCount = 0;
    quint32 reportId = 0;
};

// One short item; a long item reads as one of the reserved type, which means nothing here.
struct Item {
    quint8 type = 0;
    quint8 tag = 0;
    std::size_t size = 0;
    quint32 value = 0;
};
constexpr quint8 ReservedType = 3;

// The item at `pos`, which then moves past it; nullopt when the item runs past the end.
std::optional<Item> nextItem(std::span<const quint8> descriptor, std::size_t& pos)
{
    const quint8 prefix = descriptor[pos];
    if (prefix == LongItemPrefix) {
        if (pos + 2 >= descriptor.size())
            return std::nullopt;
        pos += 3 + descriptor[pos + 1];
        if (pos > descriptor.size())
            return std::nullopt;
        return Item{ReservedType, 0, 0, 0};
    }
    Item item;
    item.size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
    item.type = (prefix >> 2) & 0x3;
    item.tag = prefix >> 4;
    if (pos + 1 + item.size > descriptor.size())
        return std::nullopt;
    for (std::size_t i = 0; i < item.size; ++i)
        item.value |= quint32(descriptor[pos + 1 + i]) << (8 * i);
    pos += 1 + item.size;
    return item;
}

// The state of the descriptor read so far. Each item function returns false when the item
// makes the descriptor malformed.
class DescriptorReader {
public:
    bool item(const Item& item)
    {
        switch (item.type) {
        case Main:
            return mainItem(item);
        case Global:
            return globalItem(item);
        case Local:
            localItem(item);
            return true;
        default:
            return true;
        }
    }

    ReportLengths lengths() const
    {
        ReportLengths result = m_result;
        result.inputLength = longest(m_bits[0]);
        result.outputLength = longest(m_bits[1]);
        result.featureLength = longest(m_bits[2]);
        return result;
    }

private:
    bool mainItem(const Item& item)
    {
        int kind = -1;
        if (item.tag == Input)
            kind = 0;
        else if (item.tag == Output)
            kind = 1;
        else if (item.tag == Feature)
            kind = 2;
        if (kind >= 0) {
            quint64& b = m_bits[kind][m_global.reportId];
            b += quint64(m_global.reportSize) * m_global.reportCount;
            if (b > MaxReportBits)
                return false;
        } else if (item.tag == Collection) {
            if (m_depth == 0 && !m_haveApplication && item.value == ApplicationCollection) {
                m_haveApplication = true;
                const quint32 usage = m_haveUsage ? m_firstUsage : m_global.usagePage << 16;
                m_result.usage = quint16(usage & 0xFFFF);
                m_result.usagePage = quint16(usage >> 16);
            }
            ++m_depth;
        } else if (item.tag == EndCollection) {
            m_depth = m_depth > 0 ? m_depth - 1 : 0;
        }
        m_haveUsage = false;
        return true;
    }

    bool globalItem(const Item& item)
    {
        switch (item.tag) {
        case UsagePage:
            m_global.usagePage = item.value;
            break;
        case ReportSize:
            m_global.reportSize = item.value;
            break;
        case ReportCount:
            m_global.reportCount = item.value;
            break;
        case ReportId:
            if (item.value == 0 || item.value > 0xFF)
                return false;
            m_global.reportId = item.value;
            m_result.usesReportIds = true;
            break;
        case Push:
            m_pushed.push_back(m_global);
            break;
        case Pop:
            if (m_pushed.empty())
                return false;
            m_global = m_pushed.back();
            m_pushed.pop_back();
            break;
        default:
            break;
        }
        return true;
    }

    void localItem(const Item& item)
    {
        if (item.tag == LocalUsage && !m_haveUsage) {
            // A four-byte usage carries its own page.
            m_firstUsage = item.size == 4 ? item.value : (m_global.usagePage << 16) | (item.value & 0xFFFF);
            m_haveUsage = true;
        }
    }

    // The longest report of one kind in bytes, plus the report-ID byte; 0 when there is none.
    static quint16 longest(const std::map<quint32, quint64>& reports)
    {
        quint64 most = 0;
        bool any = false;
        for (const auto& [id, b] : reports) {
            any = any || b > 0;
            most = std::max(most, (b + 7) / 8);
        }
        return any ? quint16(most + 1) : 0;
    }

    GlobalState m_global;
    std::vector<GlobalState> m_pushed;
    // The first usage of the local state since the last main item, with its page in the upper half.
    bool m_haveUsage = false;
    quint32 m_firstUsage = 0;
    // Bits per report ID, for input, output and feature reports.
    std::array<std::map<quint32, quint64>, 3> m_bits;
    ReportLengths m_result;
    bool m_haveApplication = false;
    int m_depth = 0;
};

}  // namespace

std::optional<ReportLengths> parseReportDescriptor(std::span<const quint8> descriptor)
{
    DescriptorReader reader;
    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::optional<Item> item = nextItem(descriptor, pos);
        if (!item || !reader.item(*item))
            return std::nullopt;
    }
    return reader.lengths();
}

}  // namespace tavrel::platform
