#pragma once
// The "TestHook" shared memory object through which the hook library finds the main window.

#include "platform/hookchannel.h"

#include <QtGlobal>
#include <memory>
#include <string>

namespace tavrel::platform {

class TestHookMapping {
public:
    // Creates the object with mode 0600 and a size of 4 bytes, or takes over one that this user
    // left behind. Returns nullptr when it cannot be had; an object of that name owned by another
    // user is never reused.
    static std::unique_ptr<TestHookMapping> create(const char* name = TestHookName);

    // Removes the name, unless it has come to stand for another window meanwhile (a second
    // instance of the program took the object over), so no stale object outlives the program.
    ~TestHookMapping();

    TestHookMapping(const TestHookMapping&) = delete;
    TestHookMapping& operator=(const TestHookMapping&) = delete;

    // Stores the window id, 32 bits little-endian; false when it could not be written.
    bool store(quint32 windowId);

    // Makes the name stand for the stored window again when a second instance of the program has
    // taken it over or removed it on its way out; false when that is not possible. Call it before
    // HookOn, so that the capture box focused last gets the keys.
    bool reclaim();

    const std::string& name() const { return m_name; }

private:
    TestHookMapping(int fd, std::string name) : m_fd(fd), m_name(std::move(name)) {}
    // Whether the name still stands for this object and it holds the stored window id.
    bool nameIsOurs() const;

    int m_fd = -1;
    std::string m_name;
    quint32 m_windowId = 0;
};

}  // namespace tavrel::platform
