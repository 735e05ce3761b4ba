#include "ui/keyfilereader.h"

#include "platform/userfile.h"

#include <QFile>
#include <QThread>

namespace tavrel {

namespace {

// The check of a file read whole: the part that takes time, as it finds every fault.
void check(KeyFileReader::Result& result)
{
    auto parsed = configfile::parse(result.bytes);
    if (auto* faults = std::get_if<configfile::FileErrors>(&parsed))
        result.faults = std::move(*faults);
}

}  // namespace

KeyFileReader::KeyFileReader(QObject* parent) : QObject(parent) {}

KeyFileReader::~KeyFileReader()
{
    if (m_thread) {
        m_thread->quit();
        m_thread->wait();
    }
}

void KeyFileReader::read(const QString& path)
{
    if (m_busy)
        return;
    if (!m_thread) {
        // Made at the first file: most starts read none.
        m_thread = new QThread(this);
        m_thread->setObjectName(QStringLiteral("tavrel-key-file"));
        m_worker = new QObject;
        m_worker->moveToThread(m_thread);
        connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread->start();
    }
    m_busy = true;
    // The file is read here, which takes moments: reading never blocks (a FIFO or a device is
    // refused before anything waits on it) and a key file is at most a megabyte. Only the check
    // goes to the thread: it is what takes time, and it touches nothing but the bytes.
    platform::FileRead file = platform::readUserFile(QFile::encodeName(path).toStdString(), configfile::MaxFileBytes);
    Result read{path, file.outcome, std::move(file.bytes), std::nullopt};
    QMetaObject::invokeMethod(m_worker, [this, result = std::move(read)]() mutable {
        if (result.outcome.ok())
            check(result);
        // Back on this object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(this, [this, result] {
            m_busy = false;
            emit finished(result);
        });
    });
}

}  // namespace tavrel
