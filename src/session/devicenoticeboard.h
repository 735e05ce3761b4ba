#pragma once
// What this process shares with the user's other Tavrel processes about the devices it holds:
// a write lock per device, so that two processes never write one device at the same time, and a
// change notice per device, which a process posts after it wrote the device and the others take
// within moments. Both are files in the user's shared folder, named by the device's id (its USB
// interface by port path). Nothing is made or watched until a device is held.

#include "config/devicenotice.h"

#include <QObject>
#include <memory>
#include <optional>

class QFileSystemWatcher;

namespace tavrel {

namespace platform {
class FileLock;
}

class DeviceNoticeBoard : public QObject {
    Q_OBJECT
public:
    explicit DeviceNoticeBoard(QObject* parent = nullptr);
    ~DeviceNoticeBoard() override;

    // Makes the folder and starts watching it, once; false (and the reason logged) when the
    // folder cannot be had: the process then shares nothing, and writes as before.
    bool open();
    bool available() const { return m_folder.has_value(); }

    // A new name for a write of this process, unique among the user's processes.
    QString nextWriteName();
    // Whether the notice comes from a write of this process.
    bool isOwn(const DeviceNotice& notice) const;

    // The lock of the device with this id.
    std::unique_ptr<platform::FileLock> lockFor(const QString& deviceId) const;
    // The newest notice of the device, if there is one.
    std::optional<DeviceNotice> notice(const QString& deviceId) const;
    // Replaces the device's notice; false when it could not be written.
    bool post(const QString& deviceId, const DeviceNotice& notice) const;

signals:
    // A notice may have been posted: each device looks at its own.
    void noticesChanged();

private:
    QString pathFor(const QString& deviceId, const char* suffix) const;

    std::optional<QString> m_folder;
    bool m_opened = false;
    QFileSystemWatcher* m_watcher = nullptr;
    QString m_processName;
    quint64 m_writes = 0;
};

}  // namespace tavrel
