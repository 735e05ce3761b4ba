#pragma once
// Text for a terminal from places the program does not control: a device's product and serial
// strings, a key file's names and values, file names. A terminal acts on control characters (an
// escape sequence can retitle the window, move the cursor, or paste into the shell), so they are
// shown as escapes instead. Pure functions.

#include <QString>
#include <QStringView>

namespace tavrel {

// Whether a terminal acts on the UTF-16 unit, or it changes how the rest of the line shows: the
// C0 controls, DEL, the C1 controls (U+0080 to U+009F, which some terminals take as escape
// sequences too), the line and paragraph separators and the marks that reverse the direction of
// the text.
bool actsOnTerminal(char16_t unit);

// The text with every such character, and a lone surrogate, shown as an escape: "\t", "\n",
// "\r", "\x1b" and "\x7f" below U+0080, "\u009b" and "\u202e" above. Everything else,
// backslashes included, stays as it is.
QString terminalSafe(QStringView text);

}  // namespace tavrel
