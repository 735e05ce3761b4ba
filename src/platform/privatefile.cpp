#include "platform/privatefile.h"

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

std::string folderOf(const std::string& path)
{
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

PrivateFileResult failure(const std::string& what, int error)
{
    return {false, what + ": " + std::strerror(error)};
}

// A name beside the path that nobody else is likely to have taken.
std::string temporaryName(const std::string& path)
{
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != ssize_t(sizeof random))
        random = std::uint64_t(getpid()) << 32 ^ std::uint64_t(time(nullptr));
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random));
    return path + suffix;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(std::size_t(n));
    }
    return true;
}

}  // namespace

PrivateFileResult writePrivateFile(const std::string& path, std::string_view bytes)
{
    if (path.empty() || path.back() == '/')
        return {false, "\"" + path + "\" does not name a file"};
    const std::string folder = folderOf(path);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return failure("cannot use the folder " + folder, errno);
    if (!S_ISDIR(st.st_mode))
        return {false, folder + " is not a folder"};
    if ((st.st_mode & S_IWOTH) && !(st.st_mode & S_ISVTX))
        return {false, "the folder " + folder + " can be written by anyone and has no sticky bit"};

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        temporary = temporaryName(path);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return failure("cannot create a file in " + folder, errno);
    // The creation mode only loses bits to the umask, but a umask may also take the owner's.
    const bool written = fchmod(fd, 0600) == 0 && writeAll(fd, bytes);
    const int writeError = errno;
    if (close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        unlink(temporary.c_str());
        return failure("cannot write " + temporary, error);
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        return failure("cannot replace " + path, error);
    }
    return {true, {}};
}

}  // namespace tavrel::platform
