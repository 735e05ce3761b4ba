#include "session/devicenoticeboard.h"

#include "platform/filefailure.h"
#include "platform/privatefile.h"
#include "platform/sharedfolder.h"
#include "session/sessionlog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileSystemWatcher>
#include <QRandomGenerator>
#include <cerrno>

namespace tavrel {

namespace {

// A notice is a few hundred bytes; anything much larger is not one.
constexpr qint64 MaxNoticeFileBytes = 16 * 1024;

// A device id as a file name: port paths ("1-3.2:1.0") and node names ("hidraw3") keep theirs.
QString fileNameOf(const QString& deviceId)
{
    QString name;
    for (QChar c : deviceId)
        name += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'.' || c == u'-' || c == u':' ? c : QChar(u'_');
    return name;
}

}  // namespace

DeviceNoticeBoard::DeviceNoticeBoard(QObject* parent) : QObject(parent)
{
    // The process id tells the user's processes apart while they run; the random part tells a
    // process apart from an earlier one that had its id.
    m_processName = QStringLiteral("%1-%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
}

DeviceNoticeBoard::~DeviceNoticeBoard() = default;

bool DeviceNoticeBoard::open()
{
    if (m_opened)
        return available();
    m_opened = true;
    const platform::SharedFolder folder = platform::sharedFolder();
    if (!folder) {
        qCWarning(lcSharing) << "Writes are not shared with other Tavrel programs:" << folder.outcome.message;
        return false;
    }
    m_folder = folder.path;
    m_watcher = new QFileSystemWatcher(this);
    // A notice replaces the old one by a rename, which changes the folder.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &DeviceNoticeBoard::noticesChanged);
    if (!m_watcher->addPath(*m_folder))
        qCWarning(lcSharing) << "Writes of other Tavrel programs are not watched in" << *m_folder;
    return true;
}

QString DeviceNoticeBoard::nextWriteName()
{
    return QStringLiteral("%1:%2").arg(m_processName).arg(++m_writes);
}

bool DeviceNoticeBoard::isOwn(const DeviceNotice& notice) const
{
    return notice.from.startsWith(m_processName + QLatin1Char(':'));
}

QString DeviceNoticeBoard::pathFor(const QString& deviceId, const char* suffix) const
{
    return *m_folder + QLatin1Char('/') + fileNameOf(deviceId) + QLatin1String(suffix);
}

std::unique_ptr<platform::FileLock> DeviceNoticeBoard::lockFor(const QString& deviceId) const
{
    if (!m_folder)
        return nullptr;
    return std::make_unique<platform::FileLock>(pathFor(deviceId, ".lock"));
}

std::optional<DeviceNotice> DeviceNoticeBoard::notice(const QString& deviceId) const
{
    if (!m_folder)
        return std::nullopt;
    const platform::FileRead read =
        platform::readUserFile(QFile::encodeName(pathFor(deviceId, ".notice")).toStdString(), MaxNoticeFileBytes);
    if (!read.outcome.ok()) {
        // No notice yet is the usual case.
        if (read.outcome.error != ENOENT)
            qCWarning(lcSharing) << "The change notice of" << deviceId
                                 << "cannot be read:" << fileFailureText(read.outcome);
        return std::nullopt;
    }
    auto notice = decodeNotice(read.bytes);
    if (!notice)
        qCWarning(lcSharing) << "Ignored a change notice that is not one:" << pathFor(deviceId, ".notice");
    return notice;
}

bool DeviceNoticeBoard::post(const QString& deviceId, const DeviceNotice& notice) const
{
    if (!m_folder)
        return false;
    const IoResult outcome =
        platform::writePrivateFile(QFile::encodeName(pathFor(deviceId, ".notice")).toStdString(), encodeNotice(notice));
    if (!outcome.ok())
        qCWarning(lcSharing) << "The change notice of" << deviceId << "was not written:" << fileFailureText(outcome);
    return outcome.ok();
}

}  // namespace tavrel
