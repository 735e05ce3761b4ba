#include "platform/testhookmemory.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::platform {
namespace {

std::optional<TestHookRecord> readRecord(int fd)
{
    unsigned char bytes[TestHookSize];
    if (pread(fd, bytes, sizeof bytes, 0) != ssize_t(sizeof bytes))
        return std::nullopt;
    return decodeTestHook(bytes);
}

bool writeRecord(int fd, const TestHookRecord& record)
{
    unsigned char bytes[TestHookSize];
    encodeTestHook(record, bytes);
    return pwrite(fd, bytes, sizeof bytes, 0) == ssize_t(sizeof bytes);
}

// A token of 0 would let a message that carries none pass.
std::optional<quint64> drawToken()
{
    quint64 token = 0;
    while (token == 0) {
        const ssize_t n = getrandom(&token, sizeof token, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n != ssize_t(sizeof token))
            return std::nullopt;
    }
    return token;
}

// A new object of that name, private to this user and TestHookSize bytes long, or -1.
int createObject(const char* name)
{
    const int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    // The creation mode passes through the umask.
    if (fchmod(fd, 0600) != 0 || ftruncate(fd, TestHookSize) != 0) {
        close(fd);
        shm_unlink(name);
        return -1;
    }
    return fd;
}

// A new object under the name with a random suffix, and that name; -1 when none can be made.
int createPrivateObject(const std::string& name, std::string& privateName)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::optional<quint64> random = drawToken();
        if (!random)
            return -1;
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%016llx", static_cast<unsigned long long>(*random));
        privateName = name + suffix;
        const int fd = createObject(privateName.c_str());
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The object of that name, private to this user and TestHookSize bytes long, or -1.
int openObject(const char* name)
{
    // Two rounds: an object that has to be replaced is removed in the first.
    for (int round = 0; round < 2; ++round) {
        int fd = createObject(name);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            return -1;
        // Left behind by a run of ours that ended without cleaning up, or held by a second
        // instance; either way ours to take over, while another user's object is not.
        fd = shm_open(name, O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) {
            if (errno == ENOENT)
                continue;  // removed in the meantime
            return -1;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            close(fd);
            return -1;
        }
        if (testHookIsPrivate(st)) {
            if (ftruncate(fd, TestHookSize) != 0) {
                close(fd);
                return -1;
            }
            return fd;
        }
        close(fd);
        if (!S_ISREG(st.st_mode) || st.st_uid != geteuid())
            return -1;
        // Ours, but others could open it while its mode let them, and may hold it open still.
        if (shm_unlink(name) != 0)
            return -1;
    }
    return -1;
}

}  // namespace

std::unique_ptr<TestHookMemory> TestHookMemory::create(const std::string& name)
{
    const std::optional<quint64> token = drawToken();
    if (!token)
        return nullptr;
    const int fd = openObject(name.c_str());
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<TestHookMemory>(new TestHookMemory(fd, name, *token, name));
}

std::unique_ptr<TestHookMemory> TestHookMemory::createPrivate(const std::string& name)
{
    const std::optional<quint64> token = drawToken();
    if (!token)
        return nullptr;
    std::string privateName;
    const int fd = createPrivateObject(name, privateName);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<TestHookMemory>(new TestHookMemory(fd, privateName, *token, name));
}

TestHookMemory::~TestHookMemory()
{
    if (nameIsOurs())
        shm_unlink(m_name.c_str());
    close(m_fd);
}

bool TestHookMemory::nameIsOurs() const
{
    const int current = shm_open(m_name.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (current < 0)
        return false;
    struct stat mine {
    }, theirs{};
    const bool sameObject = fstat(m_fd, &mine) == 0 && fstat(current, &theirs) == 0 && mine.st_dev == theirs.st_dev
                            && mine.st_ino == theirs.st_ino;
    const bool ours = sameObject && readRecord(current) == TestHookRecord{m_windowId, m_token};
    close(current);
    return ours;
}

bool TestHookMemory::reclaim()
{
    if (nameIsOurs())
        return true;
    const int fd = openObject(m_name.c_str());
    if (fd < 0)
        return false;
    if (!writeRecord(fd, {m_windowId, m_token})) {
        close(fd);
        return false;
    }
    close(m_fd);
    m_fd = fd;
    return true;
}

bool TestHookMemory::moveToPrivateName()
{
    std::string privateName;
    const int fd = createPrivateObject(m_sharedName, privateName);
    if (fd < 0)
        return false;
    if (!writeRecord(fd, {m_windowId, m_token})) {
        close(fd);
        shm_unlink(privateName.c_str());
        return false;
    }
    // The old name is no longer ours: it stays as it is.
    close(m_fd);
    m_fd = fd;
    m_name = privateName;
    return true;
}

bool TestHookMemory::store(quint32 windowId)
{
    if (!writeRecord(m_fd, {windowId, m_token}))
        return false;
    m_windowId = windowId;
    return true;
}

}  // namespace tavrel::platform
