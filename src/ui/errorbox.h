#pragma once
// The application's top-level error handling: an error that ends a handler is shown in a box
// titled "Tavrel", and the program goes on.

#include <QString>
#include <exception>

namespace tavrel {

// The text with a full stop appended when its last character sorts after the full stop and
// does not end a Chinese sentence already.
QString withFullStop(const QString& text);

// Shows the error box now; it stays until the user closes it, while the program goes on.
void showErrorBox(const QString& text);
// Shows it once the event loop runs, so that the handler that failed can return first.
void postErrorBox(const QString& text);

// Runs a handler; what it throws ends it and is shown, as for every handler of the windows.
template <class F>
void guarded(F&& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        postErrorBox(QString::fromUtf8(e.what()));
    }
}

}  // namespace tavrel
