#pragma once
// The rules of moving a device's configuration between the device and Tavrel; the paced sequences that
// follow them run in the device session.

#include <QList>
#include <QString>
#include <optional>

namespace tavrel {

// Pauses the device needs after each request.
constexpr int ReadPauseMs = 50;
constexpr int WritePauseMs = 150;

// Read requests go to keys 0 to 5 and to every further key the device said it has.
int readRequestCount(std::optional<int> keyCount);

// The progress bar while key `index` of `keys` is written: 100 / (keys left).
int writeProgress(int keys, int index);

struct WriteOutcome {
    QList<int> notWritten;  // key indexes (0-based) whose record did not reach the device
    // Nothing was sent: another Tavrel program was writing the device for longer than a write
    // may take.
    bool otherWriter = false;
    bool complete() const { return notWritten.isEmpty(); }
};

// Key indexes (0-based) as the user numbers them, in the user's list form: "1、2、3".
QString keyNumbersText(const QList<int>& keys);

// What the completion popup says: "设置完成！", or the failure with the keys not written,
// numbered as the user sees them.
QString completionText(const WriteOutcome& outcome);

}  // namespace tavrel
