#pragma once
// The rules of moving the configuration between a key and the table; the paced sequences that
// follow them run in the device session.

#include "config/keytable.h"

#include <QList>
#include <QString>

namespace tavrel {

// Pauses the device needs after each request.
constexpr int ReadPauseMs = 50;
constexpr int WritePauseMs = 150;

// Read requests go to keys 0 to 5 and to every further key the selected device has reported.
int readRequestCount(const KeyTable& table);

// The progress bar while key `index` of `keys` is written: 100 / (keys left).
int writeProgress(int keys, int index);

// Whether key `index` may be written to the selected device: its record came from that device
// or was set by the user since it was selected. Another device's record would overwrite the
// key's own assignment.
bool writableKey(const KeyTable& table, int index);

struct WriteOutcome {
    int keys = 0;            // KeyCount when the write started
    QList<int> notWritten;   // key indexes (0-based) whose record did not reach the device
    bool complete() const { return notWritten.isEmpty(); }
};

// What the completion popup says: "设置完成！", or the failure with the keys not written,
// numbered as the user sees them.
QString completionText(const WriteOutcome& outcome);

}  // namespace tavrel
