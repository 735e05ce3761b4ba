#include "platform/historystore.h"

#include "platform/platformlog.h"
#include "platform/userfile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::platform {
namespace {

// Far more than 250 entries of eight keys: a bigger file is none of ours.
constexpr qint64 MaxFileBytes = 16 * 1024 * 1024;
// Below this a file cannot hold more lines than a history keeps, so they are not counted.
constexpr qint64 BytesPerShortestLine = 128;

IoResult systemFault(int error)
{
    return IoResult::fromErrno(error);
}

int closeKeepingErrno(int fd)
{
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

// The last `keep` lines of `bytes` that hold anything.
QByteArray lastLines(const QByteArray& bytes, int keep)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeIf([](const QByteArray& line) { return line.trimmed().isEmpty(); });
    QByteArray kept;
    for (qsizetype i = std::max<qsizetype>(0, lines.size() - keep); i < lines.size(); ++i)
        kept += lines[i] + '\n';
    return kept;
}

}  // namespace

HistoryStore::HistoryStore(std::string folder) : m_folder(std::move(folder)) {}

std::string HistoryStore::defaultFolder()
{
    std::string base = qEnvironmentVariable("XDG_STATE_HOME").toStdString();
    if (base.empty() || base.front() != '/')
        base = qEnvironmentVariable("HOME").toStdString() + "/.local/state";
    return base + "/tavrel/history";
}

std::string HistoryStore::pathOf(const QString& fileName) const
{
    return m_folder + '/' + QFile::encodeName(fileName).toStdString();
}

IoResult HistoryStore::makeFolder() const
{
    // Each missing folder on the way is made for the user only, as the state folder should be.
    for (std::string::size_type slash = 1; slash != std::string::npos;) {
        slash = m_folder.find('/', slash + 1);
        const std::string part = m_folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return systemFault(errno);
    }
    struct stat st {};
    if (::stat(m_folder.c_str(), &st) != 0)
        return systemFault(errno);
    if (!S_ISDIR(st.st_mode))
        return IoResult::failure(IoResult::Status::NotAFolder);
    return IoResult::success();
}

IoResult HistoryStore::append(const QString& fileName, QByteArrayView line, int keep)
{
    if (const IoResult made = makeFolder(); !made.ok())
        return made;
    const std::string path = pathOf(fileName);
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == ELOOP ? IoResult::failure(IoResult::Status::IsLink) : systemFault(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        closeKeepingErrno(fd);
        return systemFault(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return IoResult::failure(S_ISDIR(st.st_mode) ? IoResult::Status::IsFolder : IoResult::Status::IsDevice);
    }
    if ((st.st_mode & 07777) != 0600)
        ::fchmod(fd, 0600);
    // A line cut short before, which could not be cut off, ends here: the new one starts a line.
    QByteArray bytes;
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        bytes += '\n';
    bytes += line.toByteArray();
    // One write(2): appended whole, after whatever another append put there before.
    const ssize_t n = ::write(fd, bytes.constData(), std::size_t(bytes.size()));
    if (n != ssize_t(bytes.size())) {
        const int error = n < 0 ? errno : ENOSPC;
        // The part written comes off again; where it cannot, the next append ends its line.
        if (n > 0 && ::ftruncate(fd, st.st_size) != 0)
            errno = error;
        ::close(fd);
        return systemFault(error);
    }
    // On the disk before the device changes: the entry is the only copy of what it held.
    if (::fdatasync(fd) != 0) {
        closeKeepingErrno(fd);
        return systemFault(errno);
    }
    ::close(fd);
    const qint64 size = st.st_size + bytes.size();
    const int bound = keep + keep / 4;
    if (size <= qint64(bound) * BytesPerShortestLine)
        return IoResult::success(int(bytes.size()));
    return trim(path, keep);
}

IoResult HistoryStore::trim(const std::string& path, int keep) const
{
    const FileRead file = readUserFile(path, MaxFileBytes);
    if (!file.outcome.ok())
        return file.outcome;
    if (file.bytes.count('\n') <= keep + keep / 4)
        return IoResult::success();
    // A new file renamed over the old one: a crash leaves one or the other, whole.
    return writeUserFile(path, lastLines(file.bytes, keep), FileAccess::OwnerOnly);
}

HistoryStore::Read HistoryStore::read(const QString& fileName) const
{
    const FileRead file = readUserFile(pathOf(fileName), MaxFileBytes);
    if (file.outcome.error == ENOENT)
        return {IoResult::success(), {}};
    return {file.outcome, file.bytes};
}

QStringList HistoryStore::fileNames() const
{
    QStringList names;
    DIR* dir = ::opendir(m_folder.c_str());
    if (!dir) {
        // No folder yet is no history yet.
        if (errno != ENOENT)
            qCWarning(lcPlatform) << "The write histories in" << QFile::decodeName(m_folder.c_str())
                                  << "cannot be listed:" << std::strerror(errno);
        return names;
    }
    while (const dirent* e = ::readdir(dir)) {
        const QString name = QFile::decodeName(e->d_name);
        if ((name.startsWith(QLatin1String("serial-")) || name.startsWith(QLatin1String("port-")))
            && name.endsWith(QLatin1String(".jsonl")))
            names << name;
    }
    ::closedir(dir);
    names.sort();
    return names;
}

}  // namespace tavrel::platform
