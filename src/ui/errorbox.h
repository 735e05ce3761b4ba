#pragma once
// The window's one place for failures: a failure of the system in the user's words, and the box
// titled "Tavrel" that shows it while the program goes on.

#include "platform/ioresult.h"

#include <QString>

namespace tavrel {

// The text with a full stop appended when its last character sorts after the full stop and
// does not end a Chinese sentence already.
QString withFullStop(const QString& text);

// A failure in the user's words: the whole sentence for the keyboard hook's, and for a file's the
// reason, which the caller puts after the file's name ("无法保存%1：%2").
QString failureText(const IoResult& result);

// Shows the error box now; it stays until the user closes it, while the program goes on.
void showErrorBox(const QString& text);
// Shows it once the event loop runs, so that the handler that failed can return first.
void postErrorBox(const QString& text);

}  // namespace tavrel
