#pragma once
// A plain-text snapshot of the program's windows, for diagnosing a user's problem and for the
// end-to-end tests, which drive the real program from outside: every named widget with its kind,
// visibility, enabled state, geometry and what it shows, one per line.
//
// Written when the process receives SIGUSR1: to the file named by TAVREL_STATE_DUMP when that is
// set (replaced whole, so a reader never sees half a snapshot, and readable by this user only),
// else to standard error.

#include <QString>

class QWidget;

namespace tavrel {

QString stateSnapshot();

// Writes the snapshot now, as SIGUSR1 does. A file that cannot be written is reported once on
// standard error (see platform::writeUserFile for when that is).
void writeStateSnapshot();

// Installs the SIGUSR1 handler; call once the application object exists.
void installStateDump();

}  // namespace tavrel
