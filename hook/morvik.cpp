// The hook library: while on, reports every key transition on the X display to the window whose
// id stands in this user's "TestHook" (or the object HookUseSharedMemory named), as client messages
// {message, wParam, lParam, token}. It keeps no record of the keys beyond which ones are held, and
// forgets that when switched off.

#include "keys/hookinterface.h"
#include "keystroke.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#define MORVIK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The window and token that the object holds, if it can be trusted: an object that someone else
// can write could send the keys to a window of their choosing.
std::optional<tavrel::TestHookRecord> readTarget(const std::string& name)
{
    const int fd = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    unsigned char bytes[tavrel::TestHookSize];
    const bool read = fstat(fd, &st) == 0 && tavrel::testHookIsPrivate(st)
                      && pread(fd, bytes, sizeof bytes, 0) == ssize_t(sizeof bytes);
    close(fd);
    if (!read)
        return std::nullopt;
    return tavrel::decodeTestHook(bytes);
}

class Session {
public:
    ~Session()
    {
        if (m_thread.joinable()) {
            // An eventfd refuses a write only when its counter is full, which wakes the thread
            // all the same.
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
            m_thread.join();
        }
        if (m_wakeFd >= 0)
            close(m_wakeFd);
        if (m_output)
            xcb_disconnect(m_output);
        // Closing a display whose server has gone would make Xlib end the program.
        if (m_input && !m_displayLost)
            XCloseDisplay(m_input);
    }

    bool open(const tavrel::TestHookRecord& target)
    {
        m_target = target.window;
        m_token = target.token;
        m_input = XOpenDisplay(nullptr);
        if (!m_input)
            return false;
        int firstEvent = 0, firstError = 0;
        if (!XQueryExtension(m_input, "XInputExtension", &m_xiOpcode, &firstEvent, &firstError))
            return false;
        // Announcing 2.2 gets raw events even while another client holds a keyboard grab.
        int major = 2, minor = 2;
        if (XIQueryVersion(m_input, &major, &minor) != Success)
            return false;

        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
        XISelectEvents(m_input, DefaultRootWindow(m_input), &mask, 1);
        // Keys pressed once HookOn has returned must be seen.
        XSync(m_input, False);

        // Messages go out on a connection of their own: a window that has gone away comes back
        // as an error value here, where through Xlib it would end the whole program.
        m_output = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_output))
            return false;
        const char* name = tavrel::HookMessageAtomName;
        const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_output, 0, std::uint16_t(std::strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_output, cookie, nullptr);
        if (!reply)
            return false;
        m_atom = reply->atom;
        std::free(reply);

        m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_wakeFd < 0)
            return false;
        m_thread = std::thread(&Session::run, this);
        return true;
    }

private:
    void run()
    {
        const int xfd = ConnectionNumber(m_input);
        for (;;) {
            while (XPending(m_input) > 0) {
                XEvent event;
                XNextEvent(m_input, &event);
                handle(event);
            }
            pollfd fds[2] = {{xfd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents != 0)
                return;
            // A lost display stays lost; Xlib must not be asked again, as it would end the program.
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                m_displayLost = true;
                return;
            }
        }
    }

    void handle(XEvent& event)
    {
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != m_xiOpcode || !XGetEventData(m_input, &cookie))
            return;
        if (cookie.evtype == XI_RawKeyPress || cookie.evtype == XI_RawKeyRelease) {
            const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
            const bool pressed = cookie.evtype == XI_RawKeyPress;
            const bool repeat = raw->flags & XIKeyRepeat;
            if (raw->detail >= 0) {
                if (const auto message = m_keys.transition(unsigned(raw->detail), pressed, repeat))
                    send(*message);
            }
        }
        XFreeEventData(m_input, &cookie);
    }

    void send(const morvik::Message& message)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = m_target;
        event.type = m_atom;
        event.data.data32[0] = message.message;
        event.data.data32[1] = message.wParam;
        event.data.data32[2] = message.lParam;
        event.data.data32[tavrel::HookMessageTokenLowSlot] = std::uint32_t(m_token);
        event.data.data32[tavrel::HookMessageTokenHighSlot] = std::uint32_t(m_token >> 32);
        const xcb_void_cookie_t cookie = xcb_send_event_checked(m_output, 0, m_target, XCB_EVENT_MASK_NO_EVENT,
                                                                reinterpret_cast<const char*>(&event));
        std::free(xcb_request_check(m_output, cookie));
    }

    Display* m_input = nullptr;
    bool m_displayLost = false;
    int m_xiOpcode = 0;
    xcb_connection_t* m_output = nullptr;
    xcb_window_t m_target = 0;
    std::uint64_t m_token = 0;
    xcb_atom_t m_atom = 0;
    int m_wakeFd = -1;
    std::thread m_thread;
    morvik::KeyTracker m_keys;
};

struct HookState {
    std::mutex mutex;
    std::unique_ptr<Session> session;
    // The object HookUseSharedMemory named; empty for this user's "TestHook".
    std::string sharedMemoryName;
};

// Made at the first call, not when the library is loaded into the program.
HookState& hookState()
{
    static HookState state;
    return state;
}

}  // namespace

MORVIK_EXPORT void HookUseSharedMemory(const char* name)
{
    HookState& state = hookState();
    const std::lock_guard lock(state.mutex);
    state.sharedMemoryName = name ? name : "";
}

MORVIK_EXPORT void HookOn()
{
    HookState& state = hookState();
    const std::lock_guard lock(state.mutex);
    if (state.session)
        return;
    const std::optional<tavrel::TestHookRecord> target =
        readTarget(state.sharedMemoryName.empty() ? tavrel::testHookName() : state.sharedMemoryName);
    if (!target || target->window == 0)
        return;
    auto session = std::make_unique<Session>();
    if (session->open(*target))
        state.session = std::move(session);
}

MORVIK_EXPORT void HookOff()
{
    HookState& state = hookState();
    std::unique_ptr<Session> session;
    {
        const std::lock_guard lock(state.mutex);
        session = std::move(state.session);
    }
    // Destroying the session stops its thread and drops the held-keys state.
    session.reset();
}
