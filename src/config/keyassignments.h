#pragma once
// What Tavrel holds of one attached device's assignments: for each of its keys a record, if it
// has one, with where it came from and the text shown for it, and the number of keys the device
// said it has. One of these belongs to each attached device and to nothing else.

#include "config/devicenotice.h"
#include "config/keyrecord.h"

#include <QList>
#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace tavrel {

enum class RecordOrigin {
    Read,     // the device answered with it
    Written,  // written to the device, which took it
    Edited,   // the user changed it and has not written it yet
    Loaded,   // taken from a key file and not written yet
};

struct StoredRecord {
    KeyRecord record;
    RecordOrigin origin = RecordOrigin::Read;
    // What the capture box shows: a captured combination in the order it was pressed
    // ("Alt+Ctrl+A"), otherwise the record's display text.
    QString text;

    // The key does not hold it yet.
    bool unsent() const { return origin == RecordOrigin::Edited || origin == RecordOrigin::Loaded; }
};

class KeyAssignments {
public:
    // The keys the device said it has, at most KeySlots; none before its first answer.
    std::optional<int> keyCount() const { return m_keyCount; }
    // The keys a view offers: none before the first answer.
    int shownKeys() const { return m_keyCount.value_or(0); }

    // The record of key index k; none for a key never read or set, or an index outside the slots.
    const std::optional<StoredRecord>& at(int k) const;
    // The records of the keys a view offers, an empty record where none is known.
    std::vector<KeyRecord> records() const;
    bool unsent(int k) const;
    bool anyUnsent() const;

    enum class Answer {
        Stored,
        KeptEdit,      // the key holds an edit the user has not written: the answer changes nothing
        NotAKeyIndex,  // an index beyond the slots
    };
    // An answer to this device's own read. The key count is taken in any case but the last; the
    // record only where it replaces no unsent edit, unless `replaceEdits` (the user asked for the
    // device's records). A Mode byte from FirstUnknownMode up keeps the Mode stored before; a key
    // with no record before keeps the byte the device sent, so a write gives the key back its own.
    Answer takeAnswer(const KeyRecordResponse& answer, bool replaceEdits);

    // Key index k holds `record` from `origin`; `text` empty shows the record's display text.
    // Outside the slots nothing changes.
    void set(int k, const KeyRecord& record, RecordOrigin origin, const QString& text = {});
    // The device took key k's record.
    void markWritten(int k);

    // What the device holds in key k as far as this process knows (what it answered, what was
    // written to it here or by another Tavrel process), apart from an edit not written yet.
    const std::optional<KeyRecord>& held(int k) const;

    struct NoticeTaken {
        QList<int> replaced;   // keys whose record is now the one the notice gives
        QList<int> editsKept;  // keys that hold an edit not written, while the device changed
    };
    // Another process wrote the device: a record held as the device held it is replaced, an edit
    // not written stays and counts as changed elsewhere.
    NoticeTaken takeNotice(const DeviceNotice& notice);
    // The keys (0-based, ascending) whose edit stayed while another process wrote them, until
    // the user writes or reads the device.
    QList<int> changedElsewhere() const;
    void clearChangedElsewhere() { m_changedElsewhere.fill(false); }

private:
    std::array<std::optional<StoredRecord>, KeySlots> m_records;
    std::array<std::optional<KeyRecord>, KeySlots> m_held;
    std::array<bool, KeySlots> m_changedElsewhere{};
    std::optional<int> m_keyCount;
};

}  // namespace tavrel
