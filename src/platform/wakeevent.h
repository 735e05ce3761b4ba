#pragma once
// A descriptor that one thread makes readable to ring another, whose event loop watches it.

namespace tavrel::platform {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool isValid() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    // Safe from any thread; wakes the waiter until it drains.
    void signal();
    void drain();

private:
    int m_fd = -1;
};

}  // namespace tavrel::platform
