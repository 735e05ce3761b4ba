#include "config/keyassignments.h"

#include <algorithm>

namespace tavrel {

namespace {

// A Mode byte from FirstUnknownMode up keeps the Mode shown before; a key with no record before
// keeps the byte the device holds, so a write gives the device back its own.
KeyRecord shownRecord(KeyRecord held, const std::optional<StoredRecord>& before)
{
    if (held.mode >= FirstUnknownMode && before)
        held.mode = before->record.mode;
    return held;
}

}  // namespace

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
    m_held[std::size_t(k)] = answer.record();
    std::optional<StoredRecord>& slot = m_records[std::size_t(k)];
    if (slot && slot->unsent() && !replaceEdits)
        return Answer::KeptEdit;
    const KeyRecord record = shownRecord(answer.record(), slot);
    slot = StoredRecord{record, RecordOrigin::Read, displayText(record)};
    return Answer::Stored;
}

const std::optional<KeyRecord>& KeyAssignments::held(int k) const
{
    static const std::optional<KeyRecord> none;
    return validKey(k) ? m_held[std::size_t(k)] : none;
}

KeyAssignments::NoticeTaken KeyAssignments::takeNotice(const DeviceNotice& notice)
{
    NoticeTaken taken;
    for (int k = 0; k < KeySlots; ++k) {
        const auto& key = notice.keys[std::size_t(k)];
        if (!key)
            continue;
        const bool deviceChanged = m_held[std::size_t(k)] != key->record;
        m_held[std::size_t(k)] = key->record;
        std::optional<StoredRecord>& slot = m_records[std::size_t(k)];
        if (slot && slot->unsent()) {
            if (deviceChanged) {
                m_changedElsewhere[std::size_t(k)] = true;
                taken.editsKept << k;
            }
            continue;
        }
        const KeyRecord record = shownRecord(key->record, slot);
        if (slot && slot->record == record)
            continue;
        slot = StoredRecord{record, RecordOrigin::Read, displayText(record)};
        taken.replaced << k;
    }
    return taken;
}

QList<int> KeyAssignments::changedElsewhere() const
{
    QList<int> keys;
    for (int k = 0; k < KeySlots; ++k)
        if (m_changedElsewhere[std::size_t(k)])
            keys << k;
    return keys;
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
    if (validKey(k) && m_records[std::size_t(k)]) {
        m_records[std::size_t(k)]->origin = RecordOrigin::Written;
        m_held[std::size_t(k)] = m_records[std::size_t(k)]->record;
    }
}

}  // namespace tavrel
