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

}  // namespace

std::optional<ReportLengths> parseReportDescriptor(std::span<const quint8> descriptor)
{
    GlobalState global;
    std::vector<GlobalState> pushed;
    // The first usage of the local state since the last main item, with its page in the upper half.
    bool haveUsage = false;
    quint32 firstUsage = 0;
    // Bits per report ID, for input, output and feature reports.
    std::array<std::map<quint32, quint64>, 3> bits;
    ReportLengths result;
    bool haveApplication = false;
    int depth = 0;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const quint8 prefix = descriptor[pos];
        if (prefix == LongItemPrefix) {
            if (pos + 2 >= descriptor.size())
                return std::nullopt;
            pos += 3 + descriptor[pos + 1];
            if (pos > descriptor.size())
                return std::nullopt;
            continue;
        }
        const std::size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        const quint8 type = (prefix >> 2) & 0x3;
        const quint8 tag = prefix >> 4;
        if (pos + 1 + size > descriptor.size())
            return std::nullopt;
        quint32 value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= quint32(descriptor[pos + 1 + i]) << (8 * i);
        pos += 1 + size;

        switch (type) {
        case Main: {
            int kind = -1;
            if (tag == Input)
                kind = 0;
            else if (tag == Output)
                kind = 1;
            else if (tag == Feature)
                kind = 2;
            if (kind >= 0) {
                quint64& b = bits[kind][global.reportId];
                b += quint64(global.reportSize) * global.reportCount;
                if (b > MaxReportBits)
                    return std::nullopt;
            } else if (tag == Collection) {
                if (depth == 0 && !haveApplication && value == ApplicationCollection) {
                    haveApplication = true;
                    const quint32 usage = haveUsage ? firstUsage : global.usagePage << 16;
                    result.usage = quint16(usage & 0xFFFF);
                    result.usagePage = quint16(usage >> 16);
                }
                ++depth;
            } else if (tag == EndCollection) {
                depth = depth > 0 ? depth - 1 : 0;
            }
            haveUsage = false;
            break;
        }
        case Global:
            switch (tag) {
            case UsagePage: global.usagePage = value; break;
            case ReportSize: global.reportSize = value; break;
            case ReportCount: global.reportCount = value; break;
            case ReportId:
                if (value == 0 || value > 0xFF)
                    return std::nullopt;
                global.reportId = value;
                result.usesReportIds = true;
                break;
            case Push: pushed.push_back(global); break;
            case Pop:
                if (pushed.empty())
                    return std::nullopt;
                global = pushed.back();
                pushed.pop_back();
                break;
            default: break;
            }
            break;
        case Local:
            if (tag == LocalUsage && !haveUsage) {
                // A four-byte usage carries its own page.
                firstUsage = size == 4 ? value : (global.usagePage << 16) | (value & 0xFFFF);
                haveUsage = true;
            }
            break;
        default: break;
        }
    }

    const auto longest = [](const std::map<quint32, quint64>& reports) -> quint16 {
        quint64 most = 0;
        bool any = false;
        for (const auto& [id, b] : reports) {
            any = any || b > 0;
            most = std::max(most, (b + 7) / 8);
        }
        return any ? quint16(most + 1) : 0;
    };
    result.inputLength = longest(bits[0]);
    result.outputLength = longest(bits[1]);
    result.featureLength = longest(bits[2]);
    return result;
}

}  // namespace tavrel::platform
