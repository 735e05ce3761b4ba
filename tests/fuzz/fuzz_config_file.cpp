// Fuzzes the key file reader and the assignment reader with the same bytes. Neither may crash,
// and whatever either accepts must come back unchanged through its writer.

#include "config/configfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace tavrel;

void checkFile(const QByteArray& bytes)
{
    const auto parsed = configfile::parse(bytes);
    const auto* file = std::get_if<configfile::ConfigFile>(&parsed);
    if (!file)
        return;
    // The writer numbers keys by position: compare records in the file's order.
    std::vector<KeyRecord> records;
    for (const configfile::KeyEntry& e : file->keys)
        records.push_back(e.record);
    const auto reparsed = configfile::parse(configfile::serialize(records, file->serial, file->product));
    const auto* back = std::get_if<configfile::ConfigFile>(&reparsed);
    if (!back || back->keys.size() != records.size() || back->serial != file->serial || back->product != file->product)
        std::abort();
    for (std::size_t i = 0; i < records.size(); ++i)
        if (!(back->keys[i].record == records[i]))
            std::abort();
    for (int count : {0, 3, 8})
        for (bool truncate : {false, true})
            if (const auto plan = configfile::validateFor(*file, count, truncate);
                std::holds_alternative<configfile::RestorePlan>(plan)
                && std::get<configfile::RestorePlan>(plan).write.size() > std::size_t(count))
                std::abort();
}

void checkAssignment(const QString& text)
{
    for (bool repeat : {false, true}) {
        const AssignmentResult result = parseAssignment(text, repeat);
        const auto* record = std::get_if<KeyRecord>(&result);
        if (!record)
            continue;
        const AssignmentResult again = parseAssignment(assignmentText(*record), repeat);
        const auto* back = std::get_if<KeyRecord>(&again);
        if (!back || !(*back == *record))
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkFile(bytes);
    checkAssignment(QString::fromUtf8(bytes));
    return 0;
}
