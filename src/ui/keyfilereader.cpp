#include "ui/keyfilereader.h"

#include "platform/userfile.h"

#include <QFile>
#include <QThread>

namespace tavrel {

namespace {

KeyFileReader::Result readAndCheck(const QString& path)
{
    KeyFileReader::Result result{path, {}, {}, std::nullopt};
    // Never blocks: a FIFO or a device is refused before anything waits on it.
    platform::FileRead file = platform::readUserFile(QFile::encodeName(path).toStdString(), configfile::MaxFileBytes);
    result.outcome = file.outcome;
    if (!file.outcome.ok())
        return result;
    auto parsed = configfile::parse(file.bytes);
    if (auto* faults = std::get_if<configfile::FileErrors>(&parsed))
        result.faults = std::move(*faults);
    result.bytes = std::move(file.bytes);
    return result;
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
    QMetaObject::invokeMethod(m_worker, [this, path] {
        const Result result = readAndCheck(path);
        // Back on this object's thread; dropped if the object is gone by then.
        QMetaObject::invokeMethod(this, [this, result] {
            m_busy = false;
            emit finished(result);
        });
    });
}

}  // namespace tavrel
