#include "platform/testhookmapping.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::platform {
namespace {

bool readWindowId(int fd, quint32& windowId)
{
    unsigned char bytes[TestHookSize];
    if (pread(fd, bytes, sizeof bytes, 0) != ssize_t(sizeof bytes))
        return false;
    windowId = quint32(bytes[0]) | quint32(bytes[1]) << 8 | quint32(bytes[2]) << 16
        | quint32(bytes[3]) << 24;
    return true;
}

// The object of that name, created with mode 0600 and 4 bytes, or -1.
int openObject(const char* name)
{
    int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0 && errno == EEXIST) {
        // Left behind by a run of ours that ended without cleaning up, or held by a second
        // instance; either way ours to take over, while another user's object is not.
        fd = shm_open(name, O_RDWR, 0);
        struct stat st {};
        if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid())) {
            close(fd);
            return -1;
        }
    }
    if (fd < 0)
        return -1;
    // The creation mode passes through the umask, and a taken-over object may have any mode.
    if (fchmod(fd, 0600) != 0 || ftruncate(fd, TestHookSize) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool writeWindowId(int fd, quint32 windowId)
{
    const unsigned char bytes[TestHookSize] = {
        static_cast<unsigned char>(windowId),
        static_cast<unsigned char>(windowId >> 8),
        static_cast<unsigned char>(windowId >> 16),
        static_cast<unsigned char>(windowId >> 24),
    };
    return pwrite(fd, bytes, sizeof bytes, 0) == ssize_t(sizeof bytes);
}

}  // namespace

std::unique_ptr<TestHookMapping> TestHookMapping::create(const char* name)
{
    const int fd = openObject(name);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<TestHookMapping>(new TestHookMapping(fd, name));
}

TestHookMapping::~TestHookMapping()
{
    if (nameIsOurs())
        shm_unlink(m_name.c_str());
    close(m_fd);
}

bool TestHookMapping::nameIsOurs() const
{
    const int current = shm_open(m_name.c_str(), O_RDONLY, 0);
    if (current < 0)
        return false;
    struct stat mine {}, theirs {};
    quint32 windowId = 0;
    const bool ours = fstat(m_fd, &mine) == 0 && fstat(current, &theirs) == 0
        && mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino
        && readWindowId(current, windowId) && windowId == m_windowId;
    close(current);
    return ours;
}

bool TestHookMapping::reclaim()
{
    if (nameIsOurs())
        return true;
    const int fd = openObject(m_name.c_str());
    if (fd < 0)
        return false;
    if (!writeWindowId(fd, m_windowId)) {
        close(fd);
        return false;
    }
    close(m_fd);
    m_fd = fd;
    return true;
}

bool TestHookMapping::store(quint32 windowId)
{
    if (!writeWindowId(m_fd, windowId))
        return false;
    m_windowId = windowId;
    return true;
}

}  // namespace tavrel::platform
