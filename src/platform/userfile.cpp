#include "platform/userfile.h"

#include "platform/platformlog.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::platform {
namespace {

IoResult systemFault(int error)
{
    return IoResult::fromErrno(error);
}

IoResult refused(IoResult::Status status)
{
    return IoResult::failure(status);
}

// What stands at a path when it is no regular file.
IoResult notRegular(mode_t mode)
{
    if (S_ISLNK(mode))
        return refused(IoResult::Status::IsLink);
    if (S_ISDIR(mode))
        return refused(IoResult::Status::IsFolder);
    if (S_ISFIFO(mode) || S_ISSOCK(mode))
        return refused(IoResult::Status::IsPipe);
    return refused(IoResult::Status::IsDevice);
}

std::string folderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// A name beside the path that nobody else is likely to have taken.
std::string temporaryName(const std::string& path)
{
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != ssize_t(sizeof random))
        random = std::uint64_t(getpid()) << 32 ^ std::uint64_t(time(nullptr)) ^ std::uint64_t(clock());
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random));
    return path + suffix;
}

bool writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t n = ::write(fd, bytes.data(), std::size_t(bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        bytes = bytes.sliced(n);
    }
    return true;
}

int closeKeepingErrno(int fd)
{
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

// Opens what the path names for reading once it is known to be a regular file: the path is
// first opened without access (O_PATH), which opens no device and waits for no FIFO writer, and
// that very file is then opened through /proc. Where /proc is missing, the path is opened again
// and must still be the same file.
int openRegularFile(const std::string& path, struct stat& st, IoResult& outcome)
{
    const int located = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (located < 0) {
        outcome = systemFault(errno);
        return -1;
    }
    if (::fstat(located, &st) != 0) {
        outcome = systemFault(errno);
        return closeKeepingErrno(located);
    }
    if (!S_ISREG(st.st_mode)) {
        outcome = notRegular(st.st_mode);
        return closeKeepingErrno(located);
    }
    constexpr int ReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    const std::string same = "/proc/self/fd/" + std::to_string(located);
    int fd = ::open(same.c_str(), ReadFlags);
    if (fd < 0 && errno == ENOENT)
        fd = ::open(path.c_str(), ReadFlags);
    if (fd < 0) {
        outcome = systemFault(errno);
        return closeKeepingErrno(located);
    }
    ::close(located);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0) {
        outcome = systemFault(errno);
        return closeKeepingErrno(fd);
    }
    if (!S_ISREG(opened.st_mode)) {
        outcome = notRegular(opened.st_mode);
        return closeKeepingErrno(fd);
    }
    if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        outcome = systemFault(ESTALE);  // swapped for another file on the way
        return closeKeepingErrno(fd);
    }
    st = opened;
    return fd;
}

}  // namespace

IoResult writeUserFile(const std::string& path, QByteArrayView bytes, FileAccess access)
{
    if (path.empty() || path.back() == '/')
        return refused(IoResult::Status::NotAFileName);
    const std::string folder = folderOf(path);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return systemFault(errno);
    if (!S_ISDIR(st.st_mode))
        return refused(IoResult::Status::NotAFolder);
    if ((st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX))
        return refused(IoResult::Status::FolderOpenToAll);

    // A file that is replaced keeps its permissions, as an editor's save does: a key file the
    // user has made private stays private.
    mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0666;
    bool keepMode = false;
    struct stat target {};
    if (::lstat(path.c_str(), &target) == 0) {
        if (!S_ISREG(target.st_mode))
            return notRegular(target.st_mode);
        if (access == FileAccess::AsUmaskAllows) {
            mode = target.st_mode & 0777;
            keepMode = true;
        }
    } else if (errno != ENOENT) {
        return systemFault(errno);
    }

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryName(path);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return systemFault(errno);
    // The creation mode loses the umask's bits: a kept mode, and the owner-only one (which a
    // umask could take the owner's bits from), are set as they are.
    const bool setMode = keepMode || access == FileAccess::OwnerOnly;
    const bool written = (!setMode || ::fchmod(fd, mode) == 0) && writeAll(fd, bytes) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        ::unlink(temporary.c_str());
        return systemFault(error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return systemFault(error);
    }
    // The new name lasts a crash once the folder is on disk too; a folder that cannot be synced
    // still holds the whole file.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0 || ::fsync(folderFd) != 0)
        qCDebug(lcPlatform) << "The folder of" << QString::fromStdString(path)
                            << "was not synced:" << std::strerror(errno);
    if (folderFd >= 0)
        ::close(folderFd);
    return IoResult::success(int(bytes.size()));
}

FileRead readUserFile(const std::string& path, qint64 maxBytes)
{
    FileRead result;
    struct stat st {};
    const int fd = openRegularFile(path, st, result.outcome);
    if (fd < 0)
        return result;
    // The size may be wrong (files under /proc say 0) or change while the file is read, so the
    // read itself stops one byte beyond the limit.
    if (st.st_size > maxBytes) {
        ::close(fd);
        result.outcome = refused(IoResult::Status::TooLarge);
        return result;
    }
    QByteArray bytes(qsizetype(std::max<qint64>(st.st_size, 4096)) + 1, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        if (total == bytes.size())
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, qsizetype(maxBytes) + 1));
        const qint64 room = std::min<qint64>(bytes.size(), maxBytes + 1) - total;
        if (room <= 0)
            break;
        const ssize_t n = ::read(fd, bytes.data() + total, std::size_t(room));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.outcome = systemFault(errno);
            ::close(fd);
            return result;
        }
        if (n == 0)
            break;
        total += n;
    }
    ::close(fd);
    if (total > maxBytes) {
        result.outcome = refused(IoResult::Status::TooLarge);
        return result;
    }
    bytes.truncate(qsizetype(total));
    result.outcome = IoResult::success(int(total));
    result.bytes = std::move(bytes);
    return result;
}

}  // namespace tavrel::platform
