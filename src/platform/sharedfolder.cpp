#include "platform/sharedfolder.h"

#include "config/filefault.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::platform {

namespace {

// The folder is this user's alone and really a folder.
bool privateFolder(const QByteArray& path, QString* why)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) {
        if (why)
            *why = systemErrorText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 0077) != 0) {
        if (why)
            *why = QStringLiteral("%1 is not a folder of this user's alone").arg(QFile::decodeName(path));
        return false;
    }
    return true;
}

}  // namespace

std::optional<QString> sharedFolder(QString* why)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    // Without a runtime folder (a session started without a login manager, su), one in /tmp of
    // this user's; its checks refuse one that somebody else made first.
    const QByteArray folder =
        runtime.startsWith('/') ? runtime + "/tavrel" : "/tmp/tavrel-" + QByteArray::number(::geteuid());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        if (why)
            *why = QStringLiteral("%1: %2").arg(QFile::decodeName(folder), systemErrorText(errno));
        return std::nullopt;
    }
    if (!privateFolder(folder, why))
        return std::nullopt;
    return QFile::decodeName(folder);
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
            m_error = errno;
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
    m_error = errno;
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
