#pragma once
// Receives the hook library's messages: X11 client messages of the program's own type, taken out
// of Qt's xcb event stream before any window sees them.

#include <QAbstractNativeEventFilter>
#include <functional>
#include <optional>

namespace tavrel::platform {

struct HookMessage {
    quint32 message = 0;
    quint32 wParam = 0;
    quint32 lParam = 0;

    bool operator==(const HookMessage&) const = default;
};

// The type atom of hook messages on the X display of that name (nullptr: $DISPLAY), or 0 when
// no display can be opened.
quint32 internHookMessageAtom(const char* displayName = nullptr);

// The hook message an xcb event carries, if it is one: a client message of the given type with
// 32-bit data that carries the run's token. Any X client can send a window a client message; only
// the hook library knows the token.
std::optional<HookMessage> hookMessageFromXcbEvent(const void* event, quint32 atom, quint64 token);

// Install with QCoreApplication::installNativeEventFilter on a program that runs on Qt's xcb
// platform; the window that receives the messages is the one whose id goes into "TestHook", and
// the token is the one stored there beside it.
class HookMessageFilter : public QAbstractNativeEventFilter {
public:
    using Handler = std::function<void(const HookMessage&)>;

    // An atom of 0 recognises nothing, so a program without an X display runs on without capture.
    HookMessageFilter(quint32 atom, quint64 token, Handler handler)
        : m_atom(atom), m_token(token), m_handler(std::move(handler))
    {
    }
    HookMessageFilter(quint64 token, Handler handler)
        : HookMessageFilter(internHookMessageAtom(), token, std::move(handler))
    {
    }

    quint32 atom() const { return m_atom; }

    // Hands each hook message to the handler and swallows it: a malformed message must not reach
    // any window. A message of the hook's type without the token is swallowed unseen.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    quint32 m_atom;
    quint64 m_token;
    Handler m_handler;
};

}  // namespace tavrel::platform
