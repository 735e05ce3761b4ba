#pragma once
// Reads a key file and checks it on a thread of its own, so that the window goes on while a large
// file is checked: a file of a megabyte can hold a hundred thousand faults, each to be found.

#include "config/configfile.h"
#include "platform/ioresult.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

class QThread;

namespace tavrel {

class KeyFileReader : public QObject {
    Q_OBJECT
public:
    struct Result {
        QString path;
        IoResult outcome;  // Ok, or why the file could not be read; its bytes are empty then
        QByteArray bytes;
        // The file's faults, or none when it parses as a key file.
        std::optional<configfile::FileErrors> faults;
    };

    explicit KeyFileReader(QObject* parent = nullptr);
    // Waits for a read under way, which takes a bounded time (the file is at most
    // configfile::MaxFileBytes and the check is linear in its size); its result is dropped.
    ~KeyFileReader() override;

    bool busy() const { return m_busy; }
    // Starts reading `path`; nothing happens while a read is under way.
    void read(const QString& path);

signals:
    // On the thread that asked, once the file is read and checked.
    void finished(const tavrel::KeyFileReader::Result& result);

private:
    // The thread files are read on, and an object of that thread that the reads run in.
    QThread* m_thread = nullptr;
    QObject* m_worker = nullptr;
    bool m_busy = false;
};

}  // namespace tavrel
