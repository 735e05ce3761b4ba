#include "config/keyassignments.h"

#include <algorithm>

namespace tavrel {

const std::optional<StoredRecord>& KeyAssignments::at(int k) const
{
    static const std::optional<StoredRecord> none;
    return validKey(k) ? m_records[std::size_t(k)] : none;
}

bool KeyAssignments::unsent(int k) const
{
    const auto& r = at(k);
    return r && r->unsent();
}

bool KeyAssignments::anyUnsent() const
{
    return std::any_of(m_records.begin(), m_records.end(), [](const auto& r) { return r && r->unsent(); });
}

KeyAssignments::Answer KeyAssignments::takeAnswer(const KeyRecordResponse& answer, bool replaceEdits)
{
    const int k = answer.keyIndex();
    if (!validKey(k))
        return Answer::NotAKeyIndex;
    m_keyCount = std::min(answer.deviceKeyCount(), KeySlots);
    std::optional<StoredRecord>& slot = m_records[std::size_t(k)];
    if (slot && slot->unsent() && !replaceEdits)
        return Answer::KeptEdit;
    KeyRecord record = answer.record();
    if (record.mode >= FirstUnknownMode && slot)
        record.mode = slot->record.mode;
    slot = StoredRecord{record, RecordOrigin::Read, displayText(record)};
    return Answer::Stored;
}

std::vector<KeyRecord> KeyAssignments::records() const
{
    std::vector<KeyRecord> records;
    for (int k = 0; k < shownKeys(); ++k) {
        const auto& r = at(k);
        records.push_back(r ? r->record : KeyRecord{});
    }
    return records;
}

void KeyAssignments::set(int k, const KeyRecord& record, RecordOrigin origin, const QString& text)
{
    if (!validKey(k))
        return;
    m_records[std::size_t(k)] = StoredRecord{record, origin, text.isEmpty() ? displayText(record) : text};
}

void KeyAssignments::markWritten(int k)
{
    if (validKey(k) && m_records[std::size_t(k)])
        m_records[std::size_t(k)]->origin = RecordOrigin::Written;
}

}  // namespace tavrel
