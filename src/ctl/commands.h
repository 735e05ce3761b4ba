#pragma once
// The sub-commands of tavrelctl on a device session: each lists, reads, writes or pairs through
// the session and says what it did.

#include "ctl/commandline.h"

class QTextStream;

namespace tavrel {
class DeviceSession;
}

namespace tavrel::ctl {

// Runs a command other than help: its output goes to `out`, each line of a failure to `err`.
// Returns the exit code.
int runCommand(const Command& command, DeviceSession& session, QTextStream& out, QTextStream& err);

}  // namespace tavrel::ctl
