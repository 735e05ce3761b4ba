#pragma once
// tavrelctl watch: what a device sends through its keyboard and mouse interfaces, one line per press
// and release, until the command is interrupted or the device goes. Names are the layout-independent
// ones of records and key files.

#include "config/sentinput.h"
#include "ctl/commandline.h"

#include <QString>
#include <optional>

class QTextStream;

namespace tavrel {
class AttachedDevice;
}

namespace tavrel::ctl {

class SessionDriver;

// What was sent: "Ctrl+Shift+B", "mouse:left", and a key without a name by its input code,
// "code:183".
QString sentName(const SentInput& input);

// One line of output for a press or release; `key` is the key (0-based) whose assignment sends
// it, or -1. As text: "Pressed: Ctrl+Shift+B (key 3)"; with `json`, one JSON object.
QString watchLine(const InputChange& change, int key, bool json);

// Reads the device's assignments, then prints a line to `out` for every press and release until
// interrupted (no failure) or the device is unplugged (exit status 3). Says on `err` what it does.
std::optional<Failure> watchDevice(AttachedDevice* device, SessionDriver& driver, bool json, QTextStream& out,
                                   QTextStream& err);

}  // namespace tavrel::ctl
