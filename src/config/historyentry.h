#pragma once
// One entry of a device's write history, and the history file's text: one JSON object per line,
// appended before a write sends anything. An entry holds when it was made, what made it (the
// program and its command), who the device is, and for each key written the record the device
// held before (when known) and the record written. A line that is not a whole entry (the end of
// a write a crash or a full disk cut short, anything edited by hand) is passed over and counted,
// so one bad line never hides the entries around it.

#include "config/keyrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace tavrel::history {

// The entries a history keeps per device; older ones go.
constexpr int KeptEntries = 200;
// A line longer than this is no entry of ours: eight keys take well under 2 KiB.
constexpr int MaxLineBytes = 16 * 1024;

struct KeyWrite {
    int key = 0;                      // 0-based
    std::optional<KeyRecord> before;  // none when the device's record was not known
    KeyRecord written;

    bool changed() const { return !before || *before != written; }
    friend bool operator==(const KeyWrite&, const KeyWrite&) = default;
};

struct HistoryEntry {
    QDateTime time;   // UTC, to the millisecond
    QString program;  // "tavrel", "tavrelctl"
    QString command;  // what the program was asked: "write", "set 3 ctrl+b --device 0"
    QString device;   // the history's device id (HistoryDevice::id)
    QString product;
    QString serial;
    QString port;                // the USB interface the device was plugged into
    std::vector<KeyWrite> keys;  // in ascending key order

    // The keys whose record the write changed, or may have: unchanged ones are left out.
    std::vector<KeyWrite> changes() const;
    friend bool operator==(const HistoryEntry&, const HistoryEntry&) = default;
};

// The entry as one line of the history file, with its newline.
QByteArray entryLine(const HistoryEntry& entry);

struct HistoryText {
    std::vector<HistoryEntry> entries;  // oldest first, as the lines stand
    QList<int> damagedLines;            // numbered from 1; empty lines are not counted as damaged
};

// The entries of a history file's text; a line that is not a whole entry is passed over.
HistoryText readHistoryText(QByteArrayView text);

// Who a device's history belongs to: its serial when the serial follows the device family's code
// and no other attached device shares it, else the USB interface it is plugged into (so a device
// with an undecodable serial moved to another port starts a new history).
struct HistoryDevice {
    QString id;
    bool bySerial = false;

    // The history file's name: "serial-" or "port-", then the id with every byte outside
    // [A-Za-z0-9._:-] as %XX, then ".jsonl".
    QString fileName() const;
};
HistoryDevice historyDevice(const QString& serial, bool serialDecoded, bool serialShared, const QString& port);

// What undoing an entry writes, checked against what the device holds now.
struct UndoPlan {
    std::vector<KeyWrite> restore;  // the keys to write: `written` is the record to give back
    QList<int> differing;           // keys that no longer hold what the entry wrote
    QList<int> unknown;             // keys whose record before the entry is not known
};
// `held` holds, per key index, the record the device holds as far as this process knows.
UndoPlan planUndo(const HistoryEntry& entry, const std::vector<std::optional<KeyRecord>>& held);

}  // namespace tavrel::history
