#include "ctl/sessiondriver.h"

#include "ctl/output.h"
#include "hid/hiddevicecontroller.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace tavrel::ctl {
namespace {

// Limits that only keep a command from hanging on a key that stopped answering; the session
// paces the work itself.
constexpr int ScanLimitMs = 10000;
constexpr int ReadLimitMs = 4000;
// A read that ended with keys missing is asked again after this: answers can come a little
// after the read's last pause.
constexpr int ReadRetryMs = 200;
constexpr int WriteLimitMs = KeyTable::Slots * (WritePauseMs + WriteDeadlineMs) + 5000;
// The session counts the bind request down from ten seconds.
constexpr int BindLimitMs = 13000;
constexpr int UnbindLimitMs = 3000;

}  // namespace

SessionDriver::SessionDriver(DeviceSession& session) : m_session(session)
{
    connect(&session, &DeviceSession::devicesChanged, this, &SessionDriver::devicesChanged);
    connect(&session, &DeviceSession::failed, this, [this](const QString& message) {
        m_failure = message;
        wake();
    });
    connect(&session, &DeviceSession::recordAnswered, this, [this](int key) {
        m_answered.insert(key);
        wake();
    });
    connect(&session, &DeviceSession::readFinished, this, [this] {
        if (m_waitingForRead && !readComplete())
            QTimer::singleShot(ReadRetryMs, this, &SessionDriver::retryRead);
        wake();
    });
    connect(&session, &DeviceSession::writeFinished, this, [this](const WriteOutcome& outcome) {
        m_outcome = outcome;
        wake();
    });
    connect(&session, &DeviceSession::pairingAnswered, this, [this](const PairingResponse& response) {
        m_pairing = response;
        wake();
    });
    connect(&session, &DeviceSession::bindTimedOut, this, [this] {
        m_bindTimedOut = true;
        wake();
    });
    connect(&session, &DeviceSession::bindRequestFailed, this, [this] {
        m_bindFailed = true;
        wake();
    });
    connect(&session, &DeviceSession::clearRequestDone, this, [this](bool sent) {
        m_clearSent = sent;
        wake();
    });
}

std::optional<Failure> SessionDriver::start()
{
    m_session.start();
    if (m_session.controller()->IsInert()) {
        return Failure(ExitOther, QCoreApplication::translate("tavrelctl", "udev is not available, so no key can be "
                                                                           "found."));
    }
    // A scan that fails announces that instead of a list.
    if (!waitUntil([this] { return m_scanned || !m_failure.isEmpty(); }, ScanLimitMs) || !m_scanned) {
        return Failure(ExitOther, m_failure.isEmpty()
                                      ? QCoreApplication::translate("tavrelctl", "The keys could not be listed.")
                                      : QCoreApplication::translate("tavrelctl", "The keys could not be listed: %1")
                                            .arg(m_failure));
    }
    m_failure.clear();
    return std::nullopt;
}

QString SessionDriver::nameOf(int index) const
{
    const auto& listed = m_session.devices();
    if (index < 0 || index >= int(listed.size()))
        return {};
    return deviceName(listed[std::size_t(index)].product, listed[std::size_t(index)].serial);
}

void SessionDriver::devicesChanged()
{
    m_scanned = true;
    // The rebuilt list starts a read of its first key: what was answered before counts no more.
    m_answered.clear();
    if (m_targetSerial.isNull()) {
        wake();
        return;
    }
    const auto& listed = m_session.devices();
    int found = -1;
    for (std::size_t i = 0; i < listed.size() && found < 0; ++i)
        if (listed[i].serial == m_targetSerial)
            found = int(i);
    if (found < 0)
        m_targetGone = true;
    else if (m_session.selectedDevice() != found)
        m_session.selectDevice(found);
    wake();
}

std::optional<Failure> SessionDriver::select(int index)
{
    const auto& listed = m_session.devices();
    if (index < 0 || index >= int(listed.size()))
        return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "The key was unplugged."));
    const SessionDevice& device = listed[std::size_t(index)];
    if (!device.canWrite) {
        return Failure(ExitPermissionDenied,
                       QCoreApplication::translate("tavrelctl", "Permission denied: %1 may not be opened (%2). %3")
                           .arg(nameOf(index),
                                device.accessError.isEmpty() ? QCoreApplication::translate("tavrelctl", "no access")
                                                             : device.accessError,
                                accessFix()));
    }
    m_targetSerial = device.serial;
    m_targetGone = false;
    m_failure.clear();
    if (m_session.selectedDevice() != index) {
        m_answered.clear();
        m_session.selectDevice(index);
    }
    if (!m_failure.isEmpty())
        return Failure(ExitDeviceFailed, QStringLiteral("%1: %2").arg(nameOf(index), m_failure));
    return std::nullopt;
}

bool SessionDriver::readComplete() const
{
    if (m_answered.isEmpty())
        return false;
    for (int k = 0; k < m_session.table().KeyCount; ++k)
        if (!m_answered.contains(k))
            return false;
    return true;
}

void SessionDriver::retryRead()
{
    if (m_waitingForRead && !readComplete() && !m_session.busy())
        m_session.read();
}

std::optional<Failure> SessionDriver::read(int index)
{
    if (auto failure = select(index))
        return failure;
    const QString name = nameOf(index);
    m_waitingForRead = true;
    // The selection's read may have ended already, with keys missing.
    retryRead();
    waitUntil([this] { return readComplete() || m_targetGone || !m_failure.isEmpty(); }, ReadLimitMs);
    m_waitingForRead = false;
    if (m_targetGone)
        return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 was unplugged.").arg(name));
    if (!m_failure.isEmpty())
        return Failure(ExitDeviceFailed, QStringLiteral("%1: %2").arg(name, m_failure));
    if (m_answered.isEmpty())
        return Failure(ExitDeviceFailed, QCoreApplication::translate("tavrelctl", "%1 did not answer.").arg(name));
    if (!readComplete()) {
        QList<int> missing;
        for (int k = 0; k < m_session.table().KeyCount; ++k)
            if (!m_answered.contains(k))
                missing << k;
        return Failure(ExitDeviceFailed,
                       QCoreApplication::translate("tavrelctl", "%1 did not answer for %2.").arg(name, keysText(missing)));
    }
    return std::nullopt;
}

std::optional<int> SessionDriver::keyCount(int index, int timeoutMs)
{
    if (select(index))
        return std::nullopt;
    m_waitingForRead = true;
    retryRead();
    waitUntil([this] { return !m_answered.isEmpty() || m_targetGone || !m_failure.isEmpty(); }, timeoutMs);
    m_waitingForRead = false;
    if (m_answered.isEmpty() || m_targetGone)
        return std::nullopt;
    return m_session.table().KeyCount;
}

WriteOutcome SessionDriver::write(const QList<int>& keys)
{
    m_outcome.reset();
    m_session.writeKeys(keys);
    if (!waitUntil([this] { return m_outcome.has_value(); }, WriteLimitMs)) {
        WriteOutcome none;
        none.keys = m_session.table().KeyCount;
        none.notWritten = keys;
        return none;
    }
    return *m_outcome;
}

std::variant<PairingResponse, Failure> SessionDriver::bind(int index)
{
    if (auto failure = select(index))
        return *failure;
    const QString name = nameOf(index);
    m_pairing.reset();
    m_bindTimedOut = false;
    m_bindFailed = false;
    m_session.bind();
    waitUntil([this] { return m_pairing || m_bindTimedOut || m_bindFailed || m_targetGone; }, BindLimitMs);
    if (m_pairing)
        return *m_pairing;
    if (m_targetGone)
        return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 was unplugged.").arg(name));
    if (m_bindFailed) {
        return Failure(ExitDeviceFailed,
                       QCoreApplication::translate("tavrelctl", "%1: the bind request could not be sent.").arg(name));
    }
    return Failure(ExitNoAnswer, QCoreApplication::translate("tavrelctl", "No transmitter answered within 10 seconds."));
}

std::optional<Failure> SessionDriver::unbind(int index)
{
    if (auto failure = select(index))
        return failure;
    const QString name = nameOf(index);
    m_clearSent.reset();
    m_session.clearBindings();
    waitUntil([this] { return m_clearSent.has_value() || m_targetGone; }, UnbindLimitMs);
    if (m_clearSent.value_or(false))
        return std::nullopt;
    if (m_targetGone)
        return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 was unplugged.").arg(name));
    return Failure(ExitDeviceFailed,
                   QCoreApplication::translate("tavrelctl", "%1: the request to clear the bindings could not be sent.")
                       .arg(name));
}

bool SessionDriver::waitUntil(std::function<bool()> done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    m_loop = &loop;
    m_done = std::move(done);
    loop.exec();
    m_loop = nullptr;
    const bool held = m_done();
    m_done = nullptr;
    return held;
}

void SessionDriver::wake()
{
    if (m_loop && m_done && m_done())
        m_loop->quit();
}

}  // namespace tavrel::ctl
