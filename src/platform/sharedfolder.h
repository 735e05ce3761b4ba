#pragma once
// The folder where the user's Tavrel processes leave each other what they share about the
// devices (a write lock and a change notice per device, the window's address), and the advisory
// lock on a file there. Nothing runs to serve it: the kernel lets a lock go when its process
// ends, however it ends, and a file left behind stops nobody.

#include "platform/ioresult.h"

#include <QString>

namespace tavrel::platform {

// $XDG_RUNTIME_DIR/tavrel, or /tmp/tavrel-<uid> where no runtime folder is set, made on first
// use with mode 0700. A folder there that is a link, that is not this user's, or that others may
// enter is refused: whoever could write there could post notices in the user's name.
struct SharedFolder {
    IoResult outcome;  // Ok, or why the folder cannot be had (its message names the folder)
    QString path;      // empty unless Ok

    explicit operator bool() const { return outcome.ok(); }
};
SharedFolder sharedFolder();

// An exclusive advisory lock (flock) on a file, made with mode 0600 when it is missing.
class FileLock {
public:
    explicit FileLock(QString path) : m_path(std::move(path)) {}
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    enum class Attempt {
        Taken,
        Busy,    // another open file description holds it
        Failed,  // the file cannot be opened or locked; failure() says why
    };
    // Takes the lock without waiting.
    Attempt tryLock();
    void unlock();
    bool locked() const { return m_locked; }
    // Why the last attempt failed, with its errno.
    const IoResult& failure() const { return m_failure; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_locked = false;
    IoResult m_failure = IoResult::success();
};

}  // namespace tavrel::platform
