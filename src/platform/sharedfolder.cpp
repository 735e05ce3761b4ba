#include "platform/sharedfolder.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::platform {

namespace {

IoResult systemFault(int error, const QByteArray& path)
{
    return IoResult::fromErrno(error, QStringLiteral("%1: %2").arg(QFile::decodeName(path),
                                                                   QString::fromLocal8Bit(std::strerror(error))));
}

// The folder is this user's alone and really a folder.
IoResult privateFolder(const QByteArray& path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return systemFault(errno, path);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 0077) != 0) {
        return IoResult::failure(
            IoResult::Status::NotPermitted, 0,
            QStringLiteral("%1 is not a folder of this user's alone").arg(QFile::decodeName(path)));
    }
    return IoResult::success();
}

}  // namespace

SharedFolder sharedFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    // Without a runtime folder (a session started without a login manager, su), one in /tmp of
    // this user's; its checks refuse one that somebody else made first.
    const QByteArray folder =
        runtime.startsWith('/') ? runtime + "/tavrel" : "/tmp/tavrel-" + QByteArray::number(::geteuid());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return {systemFault(errno, folder), {}};
    if (IoResult checked = privateFolder(folder); !checked.ok())
        return {std::move(checked), {}};
    return {IoResult::success(), QFile::decodeName(folder)};
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileLock::Attempt FileLock::tryLock()
{
    if (m_locked)
        return Attempt::Taken;
    if (m_fd < 0) {
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd < 0) {
            m_failure = systemFault(errno, QFile::encodeName(m_path));
            return Attempt::Failed;
        }
    }
    int result = 0;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_locked = true;
        return Attempt::Taken;
    }
    if (errno == EWOULDBLOCK)
        return Attempt::Busy;
    m_failure = systemFault(errno, QFile::encodeName(m_path));
    return Attempt::Failed;
}

void FileLock::unlock()
{
    if (!m_locked)
        return;
    ::flock(m_fd, LOCK_UN);
    m_locked = false;
}

}  // namespace tavrel::platform
