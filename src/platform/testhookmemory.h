#pragma once
// The "TestHook" shared memory object through which the hook library finds the main window, and
// the run's token, which tells the library's messages from those of any other X client.

#include "keys/hookinterface.h"

#include <QtGlobal>
#include <memory>
#include <string>

namespace tavrel::platform {

class TestHookMemory {
public:
    // Creates the object with mode 0600 and TestHookSize bytes, or takes over one of this user
    // that nobody else can read or write, and draws a new token for this run. Returns nullptr
    // when the object or the token cannot be had. Another user's object is never reused; one of
    // this user that others could open is replaced, as someone may still hold it open.
    static std::unique_ptr<TestHookMemory> create(const std::string& name = testHookName());

    // Creates an object of its own under the name followed by a random suffix, which only this
    // process knows and nobody can have taken first: for when the name itself is held by someone
    // else. The hook library reads it only when told the name (HookLibrary::useSharedMemoryName).
    static std::unique_ptr<TestHookMemory> createPrivate(const std::string& name = testHookName());

    // Removes the name, unless it has come to stand for another window meanwhile (a second
    // instance of the program took the object over), so no stale object outlives the program.
    ~TestHookMemory();

    TestHookMemory(const TestHookMemory&) = delete;
    TestHookMemory& operator=(const TestHookMemory&) = delete;

    // Stores the window id and the token; false when they could not be written.
    bool store(quint32 windowId);

    // Makes the name stand for the stored window again when a second instance of the program has
    // taken it over or removed it on its way out; false when that is not possible. Call it before
    // HookOn, so that the capture box focused last gets the keys.
    bool reclaim();

    // Moves the window and token to an object under a name of its own, as createPrivate() makes,
    // for when reclaim() fails because someone else has taken the name since; false when that
    // cannot be had either.
    bool moveToPrivateName();

    // The token every message of the hook library carries in this run.
    quint64 token() const { return m_token; }
    const std::string& name() const { return m_name; }

private:
    TestHookMemory(int fd, std::string name, quint64 token, std::string sharedName)
        : m_fd(fd), m_name(std::move(name)), m_sharedName(std::move(sharedName)), m_token(token)
    {
    }
    // Whether the name still stands for this object and it holds the stored window and token.
    bool nameIsOurs() const;

    int m_fd = -1;
    std::string m_name;
    std::string m_sharedName;  // the name a private one is made from
    quint64 m_token = 0;
    quint32 m_windowId = 0;
};

}  // namespace tavrel::platform
