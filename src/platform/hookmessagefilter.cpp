#include "platform/hookmessagefilter.h"

#include "platform/hookchannel.h"

#include <QByteArray>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace tavrel::platform {

quint32 internHookMessageAtom(const char* displayName)
{
    // A short-lived connection of our own: atoms belong to the server, not to a connection.
    Display* display = XOpenDisplay(displayName);
    if (!display)
        return 0;
    const Atom atom = XInternAtom(display, HookMessageAtomName, False);
    XCloseDisplay(display);
    return quint32(atom);
}

std::optional<HookMessage> hookMessageFromXcbEvent(const void* event, quint32 atom)
{
    if (!event || atom == 0)
        return std::nullopt;
    const auto* generic = static_cast<const xcb_generic_event_t*>(event);
    // The top bit only says the event came through SendEvent, which is how the library sends.
    if ((generic->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
        return std::nullopt;
    const auto* client = static_cast<const xcb_client_message_event_t*>(event);
    if (client->format != 32 || client->type != atom)
        return std::nullopt;
    return HookMessage{client->data.data32[0], client->data.data32[1], client->data.data32[2]};
}

bool HookMessageFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const std::optional<HookMessage> hookMessage = hookMessageFromXcbEvent(message, m_atom);
    if (!hookMessage)
        return false;
    try {
        if (m_handler)
            m_handler(*hookMessage);
    } catch (...) {
    }
    return true;
}

}  // namespace tavrel::platform
