#pragma once
// A plain-text snapshot of the program's windows and of the main window's session, for diagnosing
// a user's problem and for the end-to-end tests, which drive the real program from outside.
//
// Written when the process receives SIGUSR1: to the file named by TAVREL_STATE_DUMP when that is
// set (replaced whole, so a reader never sees half a snapshot, and readable by this user only),
// else to standard error.
//
// The format, one item per line, values as key=value pairs separated by single spaces. A quoted
// value ends at the quote followed by the end of the line or by " key="; inside it a backslash is
// written as \\, and every character a terminal acts on as the command line shows it: \t, \n and
// \r, \xHH for the other C0 controls and DEL, \uHHHH for the C1 controls, the line and paragraph
// separators, the marks that turn the text's direction and a lone surrogate (hexadecimal digits
// in lower case). Nothing else is escaped.
//
//
//   WINDOW.NAME CLASS visible=0|1 shown=0|1 enabled=0|1 geometry=X,Y,WxH [content]
//       Every object with a name in each window (mainWindow, pairingWindow), parents before
//       their children. `visible` is against the parent, `shown` on the screen; geometry is
//       relative to the parent. A window adds title="..." active=0|1, a timer active=0|1
//       interval=MS. What a widget shows, by kind:
//         text="..."                                   texts, memos (lines joined by \n), line edits, labels
//         text="..." checked=0|1                       buttons
//         text="..." picture=NAME                      picture buttons (the device buttons)
//         text="..." selected=0|1                      tabs
//         picture=NAME                                 pictures
//         picture=NAME selected=0|1 received=0|1       key picker items
//         index=I count=N received=I                   the key picker
//         index=I                                      the key pages (0 keyboard, 1 mouse)
//         open=0|1 text="..."                          the completion popup
//         value=V                                      the write's progress bar
//   session devices=N selected=I key=K keys=N busy=0|1 capturing=0|1 repolling=0|1 binding=0|1
//           countdown=S logdropped=N
//       The main window's session and editor: the devices found, the selected one (-1 for
//       none), the key being edited and how many the device has, a read or write running,
//       capture on, the re-poll running, a receiver's bind counting down and its seconds left,
//       and how many of the report log's oldest lines made room for newer ones (the log keeps
//       the latest few thousand).
//   device index=I selected=0|1 text="..."     one per device found, in the tool bar's order
//   record key=K bytes="MM CC CC CC CC" text="..."   one per key of the selected device, as
//                                                  the session holds it (bytes=none: no record)
//   capture codes="224-4" trace="01-04-00-00"   the last combination the capture took: its key
//                                               usages, and the record bytes it was encoded into
//   log text="..."                              the report log's lines kept, oldest first ("W ..."
//                                               sent, "R ..." received, "! ..." a request the
//                                               device did not take whole)
//   messagebox title="..." text="..."           each open message box
//   end                                         the last line: the snapshot is whole

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
