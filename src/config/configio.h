#pragma once
// Moving the configuration between a key and the table: the read sends requests and returns
// (answers arrive later through the dispatcher); the write sends every key's record.

#include "config/protocol.h"

#include <functional>

namespace tavrel {

// Read requests for keys 0 to 5 and for every further key the selected device has reported,
// with `pause` after each (the caller sleeps and lets events run, so answers arrive meanwhile).
void readConfiguration(ReportChannel& channel, const KeyTable& table, const std::function<void()>& pause);

struct WriteSteps {
    std::function<void(int)> progress;                 // the progress bar's value
    std::function<void(const OutputReport&)> sending;  // a request about to be sent
    std::function<void()> pause;                       // after each request
};

struct WriteOutcome {
    int keys = 0;        // KeyCount when the write started
    int notWritten = 0;  // keys whose request failed, or whose record is not the selected device's
    bool complete() const { return notWritten == 0; }
};

// One write request per key, 0 to KeyCount-1. A key whose record neither came from the
// selected device nor was set by the user since is not sent: it would overwrite the key's
// own assignment with another device's.
WriteOutcome writeConfiguration(ReportChannel& channel, const KeyTable& table, const WriteSteps& steps);

// What the completion popup says.
QString completionText(const WriteOutcome& outcome);

}  // namespace tavrel
