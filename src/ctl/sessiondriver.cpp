#include "ctl/sessiondriver.h"

#include "ctl/output.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <memory>

namespace tavrel::ctl {
namespace {

constexpr int ScanLimitMs = 10000;
// A read that ended with keys missing is asked again after this: answers can come a little
// after the read's last pause.
constexpr int ReadRetryMs = 200;
// The receiver counts the bind request down from ten seconds.
constexpr int BindLimitMs = (BindSeconds + 3) * 1000;
constexpr int UnbindLimitMs = 3000;

}  // namespace

SessionDriver::SessionDriver(DeviceSession& session) : m_session(session)
{
    // Whatever a device announces may be what a step waits for.
    connect(&session, &DeviceSession::devicesChanged, this, &SessionDriver::wake);
    connect(&session, &DeviceSession::failed, this, &SessionDriver::wake);
}

std::optional<Failure> SessionDriver::start()
{
    QString failure;
    // The failure is noted only while the listing is waited for; the connection ends with `scope`.
    QObject scope;
    connect(&m_session, &DeviceSession::failed, &scope, [&failure](const QString& message) { failure = message; });
    // Only the devices a command names are asked anything: the session itself reads none.
    m_session.start();
    if (m_session.isInert()) {
        return Failure(ExitOther, QCoreApplication::translate("tavrelctl", "udev is not available, so no device can be "
                                                                           "found."));
    }
    // A listing that fails announces that instead of a list.
    if (!waitFor([&] { return m_session.scanned() || !failure.isEmpty(); }, ScanLimitMs) || !m_session.scanned()) {
        return Failure(ExitOther, failure.isEmpty()
                                      ? QCoreApplication::translate("tavrelctl", "The devices could not be listed.")
                                      : QCoreApplication::translate("tavrelctl", "The devices could not be listed: %1")
                                            .arg(failure));
    }
    return std::nullopt;
}

Failure SessionDriver::unplugged(const QString& name)
{
    return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 was unplugged.").arg(name));
}

QString SessionDriver::nameOf(const AttachedDevice* device)
{
    return device ? deviceName(device->identity().product, device->identity().serial) : QString();
}

std::optional<Failure> SessionDriver::refusedAccess(const AttachedDevice* device) const
{
    if (device->canWrite())
        return std::nullopt;
    return Failure(ExitPermissionDenied,
                   QCoreApplication::translate("tavrelctl", "Permission denied: %1 may not be opened (%2). %3")
                       .arg(nameOf(device),
                            device->accessError().isEmpty() ? QCoreApplication::translate("tavrelctl", "no access")
                                                            : device->accessError(),
                            accessFix()));
}

void SessionDriver::read(AttachedDevice* device, Done done)
{
    if (auto refused = refusedAccess(device)) {
        done(refused);
        return;
    }
    // The connections live as long as this read, and end with it.
    auto* context = new QObject(this);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const QString name = nameOf(device);
    const QPointer<AttachedDevice> guarded(device);
    auto finished = std::make_shared<bool>(false);
    const auto finish = [this, context, done, finished](std::optional<Failure> failure) {
        if (std::exchange(*finished, true))
            return;
        context->deleteLater();
        done(std::move(failure));
        wake();
    };
    const auto ended = [=] {
        if (*finished)
            return;
        if (!guarded || guarded->gone()) {
            finish(unplugged(name));
            return;
        }
        if (guarded->readComplete()) {
            finish(std::nullopt);
            return;
        }
        if (clock->elapsed() + ReadRetryMs < ReadLimitMs) {
            QTimer::singleShot(ReadRetryMs, context, [=] {
                if (!guarded || guarded->gone())
                    finish(unplugged(name));
                else
                    guarded->read(AttachedDevice::ReadKind::Explicit);
            });
            return;
        }
        if (!guarded->answered()) {
            finish(Failure(ExitDeviceFailed, QCoreApplication::translate("tavrelctl", "%1 did not answer.").arg(name)));
            return;
        }
        finish(Failure(ExitDeviceFailed, QCoreApplication::translate("tavrelctl", "%1 did not answer for %2.")
                                             .arg(name, keysText(guarded->keysNotAnswered()))));
    };
    connect(device, &AttachedDevice::readFinished, context, ended);
    connect(device, &QObject::destroyed, context, ended);
    device->read(AttachedDevice::ReadKind::Explicit);
}

std::optional<Failure> SessionDriver::read(AttachedDevice* device)
{
    std::optional<std::optional<Failure>> outcome;
    read(device, [&outcome](std::optional<Failure> failure) { outcome = std::move(failure); });
    waitFor([&] { return outcome.has_value(); }, ReadLimitMs + 2000);
    if (!outcome)
        return Failure(ExitDeviceFailed,
                       QCoreApplication::translate("tavrelctl", "%1 did not answer.").arg(nameOf(device)));
    return *outcome;
}

void SessionDriver::keyCount(AttachedDevice* device, int timeoutMs, std::function<void(std::optional<int>)> done)
{
    auto* context = new QObject(this);
    const QPointer<AttachedDevice> guarded(device);
    auto finished = std::make_shared<bool>(false);
    const auto finish = [=, this] {
        if (*finished)
            return;
        *finished = true;
        context->deleteLater();
        done(guarded && guarded->answered() ? guarded->assignments().keyCount() : std::nullopt);
        wake();
    };
    connect(device, &AttachedDevice::keyCountChanged, context, finish);
    connect(device, &AttachedDevice::readFinished, context, [=] {
        if (!guarded || guarded->answered() || guarded->gone())
            finish();
        else
            guarded->read(AttachedDevice::ReadKind::Automatic);  // asked again until the time is up
    });
    connect(device, &QObject::destroyed, context, finish);
    QTimer::singleShot(timeoutMs, context, finish);
    if (device->answered())
        QTimer::singleShot(0, context, finish);
    else
        device->read(AttachedDevice::ReadKind::Automatic);
}

void SessionDriver::write(AttachedDevice* device, const QList<int>& keys, std::function<void(WriteOutcome, bool)> done)
{
    auto* context = new QObject(this);
    const QPointer<AttachedDevice> guarded(device);
    auto finished = std::make_shared<bool>(false);
    connect(device, &AttachedDevice::writeFinished, context, [=, this](const WriteOutcome& outcome) {
        if (std::exchange(*finished, true))
            return;
        context->deleteLater();
        done(outcome, !guarded || guarded->gone());
        wake();
    });
    auto noted = std::make_shared<bool>(false);
    connect(device, &AttachedDevice::sharingChanged, context, [=, this] {
        if (guarded && guarded->waitingForOtherWrite() && m_note && !std::exchange(*noted, true))
            m_note(QCoreApplication::translate("tavrelctl", "%1: waiting while another Tavrel program writes it.")
                       .arg(nameOf(guarded)));
    });
    device->writeKeys(keys);
}

std::variant<PairingResponse, Failure> SessionDriver::bind(AttachedDevice* receiver)
{
    if (auto refused = refusedAccess(receiver))
        return *refused;
    const QPointer<AttachedDevice> guarded(receiver);
    std::optional<PairingResponse> pairing;
    bool timedOut = false, failed = false;
    QObject context;
    // Only this receiver's answer to this bind: another device's says nothing about it.
    connect(receiver, &AttachedDevice::pairingAnswered, &context, [&](const PairingResponse& p) {
        pairing = p;
        wake();
    });
    connect(receiver, &AttachedDevice::bindTimedOut, &context, [&] {
        timedOut = true;
        wake();
    });
    connect(receiver, &AttachedDevice::bindRequestFailed, &context, [&] {
        failed = true;
        wake();
    });
    receiver->bind();
    const QString name = nameOf(receiver);
    waitFor([&] { return pairing || timedOut || failed || !guarded || guarded->gone(); }, BindLimitMs);
    if (pairing)
        return *pairing;
    if (!guarded || guarded->gone())
        return unplugged(name);
    if (failed) {
        return Failure(ExitDeviceFailed,
                       QCoreApplication::translate("tavrelctl", "%1: the bind request could not be sent.").arg(name));
    }
    return Failure(ExitNoAnswer,
                   QCoreApplication::translate("tavrelctl", "No transmitter answered within 10 seconds."));
}

std::optional<Failure> SessionDriver::unbind(AttachedDevice* receiver)
{
    if (auto refused = refusedAccess(receiver))
        return refused;
    const QPointer<AttachedDevice> guarded(receiver);
    const QString name = nameOf(receiver);
    std::optional<bool> sent;
    QObject context;
    connect(receiver, &AttachedDevice::clearRequestDone, &context, [&](bool ok) {
        sent = ok;
        wake();
    });
    receiver->clearBindings();
    waitFor([&] { return sent.has_value() || !guarded || guarded->gone(); }, UnbindLimitMs);
    if (sent.value_or(false))
        return std::nullopt;
    if (!guarded || guarded->gone())
        return unplugged(name);
    return Failure(
        ExitDeviceFailed,
        QCoreApplication::translate("tavrelctl", "%1: the request to clear the bindings could not be sent.").arg(name));
}

bool SessionDriver::waitFor(std::function<bool()> done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    QEventLoop* outerLoop = std::exchange(m_loop, &loop);
    std::function<bool()> outerDone = std::exchange(m_done, done);
    loop.exec();
    m_loop = outerLoop;
    m_done = std::move(outerDone);
    return done();
}

void SessionDriver::wake()
{
    if (m_loop && m_done && m_done())
        m_loop->quit();
}

}  // namespace tavrel::ctl
