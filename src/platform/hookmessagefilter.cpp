#include "platform/hookmessagefilter.h"

#include "keys/hookinterface.h"
#include "platform/platformlog.h"

#include <QByteArray>
#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace tavrel::platform {

quint32 internHookMessageAtom(const char* displayName)
{
    // A short-lived connection of our own: atoms belong to the server, not to a connection.
    Display* display = XOpenDisplay(displayName);
    if (!display) {
        qCWarning(lcHook) << "No X display: the hook library's messages are not received";
        return 0;
    }
    const Atom atom = XInternAtom(display, HookMessageAtomName, False);
    XCloseDisplay(display);
    return quint32(atom);
}

namespace {

// A client message of the hook's type, whoever sent it.
const xcb_client_message_event_t* hookTypedMessage(const void* event, quint32 atom)
{
    if (!event || atom == 0)
        return nullptr;
    const auto* generic = static_cast<const xcb_generic_event_t*>(event);
    // The top bit only says the event came through SendEvent, which is how the library sends.
    if ((generic->response_type & 0x7F) != XCB_CLIENT_MESSAGE)
        return nullptr;
    const auto* client = static_cast<const xcb_client_message_event_t*>(event);
    if (client->format != 32 || client->type != atom)
        return nullptr;
    return client;
}

}  // namespace

std::optional<HookMessage> hookMessageFromXcbEvent(const void* event, quint32 atom, quint64 token)
{
    const xcb_client_message_event_t* client = hookTypedMessage(event, atom);
    if (!client)
        return std::nullopt;
    const quint32* data = client->data.data32;
    const quint64 carried = quint64(data[HookMessageTokenLowSlot]) | quint64(data[HookMessageTokenHighSlot]) << 32;
    if (token == 0 || carried != token)
        return std::nullopt;
    return HookMessage{data[0], data[1], data[2]};
}

bool HookMessageFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    if (!hookTypedMessage(message, m_atom))
        return false;
    const std::optional<HookMessage> hookMessage = hookMessageFromXcbEvent(message, m_atom, m_token);
    if (!hookMessage) {
        qCDebug(lcHook) << "Swallowed a message of the hook's type without this run's token";
        return true;
    }
    if (m_handler)
        m_handler(*hookMessage);
    return true;
}

}  // namespace tavrel::platform
