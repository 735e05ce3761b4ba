#include "session/attacheddevice.h"

#include "config/reportdispatch.h"
#include "hid/hiddevice.h"
#include "platform/sharedfolder.h"
#include "session/devicenoticeboard.h"
#include "session/keyinput.h"
#include "session/sessionlog.h"

#include <QTimer>
#include <algorithm>
#include <utility>

namespace tavrel {

namespace {

QTimer* makeTimer(QObject* parent, int ms)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(ms);
    timer->setSingleShot(true);
    // A coarse timer may fire 5 % early: too early for the pauses the device needs.
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

}  // namespace

// While another program holds a device's write lock, it is tried again this often.
constexpr int LockRetryMs = 20;

AttachedDevice::AttachedDevice(std::unique_ptr<HidDevice> device, ReportLog& log, DeviceNoticeBoard* board,
                               QObject* parent)
    : QObject(parent), m_device(std::move(device)), m_log(log), m_board(board && board->available() ? board : nullptr)
{
    m_identity.syspath = m_device->info().syspath;
    m_identity.instanceId = m_device->info().instanceId;
    m_identity.usbInterface = m_device->info().usbInterface;
    m_identity.product = m_device->productText();
    m_identity.serial = m_device->serialText();
    m_capabilities = decodeCapabilities(m_identity.product, m_identity.serial);

    m_readPause = makeTimer(this, ReadPauseMs);
    connect(m_readPause, &QTimer::timeout, this, [this] {
        ++m_read.next;
        sendNextRead();
    });
    m_readGrace = makeTimer(this, ReadGraceMs);
    connect(m_readGrace, &QTimer::timeout, this, &AttachedDevice::finishRead);
    m_writePause = makeTimer(this, WritePauseMs);
    connect(m_writePause, &QTimer::timeout, this, &AttachedDevice::stepWrite);
    m_writeDeadline = makeTimer(this, WriteDeadlineMs);
    connect(m_writeDeadline, &QTimer::timeout, this, [this] {
        // The device stopped taking reports: what is still queued for it is not waited for.
        ++m_generation;
        m_write.outcome.notWritten << m_write.keys.value(m_write.index);
        ++m_write.index;
        abortWrite();
    });
    m_lockRetry = makeTimer(this, LockRetryMs);
    connect(m_lockRetry, &QTimer::timeout, this, &AttachedDevice::beginWrite);
    m_bindTimer = makeTimer(this, 1000);
    m_bindTimer->setSingleShot(false);
    m_bindTimer->setObjectName(QStringLiteral("BindTimer"));
    connect(m_bindTimer, &QTimer::timeout, this, &AttachedDevice::bindTick);

    if (m_board) {
        m_lock = m_board->lockFor(m_identity.id());
        // What was written before the device was found, its first read shows.
        if (const auto notice = m_board->notice(m_identity.id()))
            m_lastNotice = notice->from;
        connect(m_board, &DeviceNoticeBoard::noticesChanged, this, &AttachedDevice::takeNotice);
    }

    connect(m_device.get(), &HidDevice::reportReceived, this, [this](quint8 reportId, const QByteArray& data) {
        handleReport(reportId, std::span(reinterpret_cast<const quint8*>(data.constData()), std::size_t(data.size())));
    });
    m_device->start();
}

// The node closes without waiting for what it still has to do.
AttachedDevice::~AttachedDevice() = default;

QString AttachedDevice::itemText() const
{
    return deviceListText(m_identity.product, m_identity.serial);
}

bool AttachedDevice::canWrite() const
{
    return m_device->canReadWrite();
}

QString AttachedDevice::accessError() const
{
    return m_device->lastError();
}

AttachedDevice::State AttachedDevice::state() const
{
    if (m_gone)
        return State::Gone;
    if (writing())
        return State::Writing;
    if (reading())
        return State::Reading;
    if (m_lastFailed)
        return State::Failed;
    return answered() ? State::Read : State::Unread;
}

void AttachedDevice::setState()
{
    const State now = state();
    if (now != m_shownState) {
        m_shownState = now;
        emit stateChanged();
    }
}

void AttachedDevice::send(const OutputReport& report, std::function<void(const IoResult&)> done)
{
    m_log.append(sentLogLine(report, int(report.size())));
    // Answered only while the node lives, and this object owns it.
    m_device->write(QByteArray(reinterpret_cast<const char*>(report.data()), qsizetype(report.size())),
                    [this, report, done = std::move(done)](const IoResult& result) {
                        if (!result.ok() || result.written < int(report.size()))
                            m_log.append(notTakenLogLine(report, result.written));
                        if (done)
                            done(result);
                    });
}

void AttachedDevice::handleReport(quint8 reportId, std::span<const quint8> data)
{
    ReportHandlers handlers;
    handlers.keyRecord = [this](const KeyRecordResponse& r) { answer(r); };
    handlers.pairing = [this](const PairingResponse& p) {
        // An answer nobody asked for, or one after the bind ended, was logged and is left at that.
        if (!std::exchange(m_bindOpen, false))
            return;
        stopBindCountdown();
        emit pairingAnswered(p);
    };
    dispatchReport(reportId, data, handlers, m_log);
    emit reportReceived();
}

// ---------------------------------------------------------------------------------------------
// The read

void AttachedDevice::read(ReadKind kind)
{
    if (m_gone || writing())
        return;
    if (reading()) {
        if (kind == ReadKind::Automatic || m_read.kind == ReadKind::Explicit)
            return;
        // Answers taken so far kept what the user changed; this time they replace it.
        stopRead();
    }
    if (kind == ReadKind::Explicit && !m_assignments.changedElsewhere().isEmpty()) {
        // What the device holds replaces every edit: nothing is left that differs from it.
        m_assignments.clearChangedElsewhere();
        emit sharingChanged();
    }
    m_read = ReadRun{true, kind, 0, false};
    m_awaiting.reset();
    m_answeredInRead.reset();
    setState();
    sendNextRead();
}

void AttachedDevice::sendNextRead()
{
    if (!m_read.running)
        return;
    // Answers arrive during the pauses, so the device's key count is looked at again each time.
    if (m_read.next >= readRequestCount(m_assignments.keyCount())) {
        m_read.sentAll = true;
        if (waitingForAnswers())
            m_readGrace->start();
        else
            finishRead();
        return;
    }
    const int key = m_read.next;
    m_awaiting.set(std::size_t(key));
    const quint64 generation = m_generation;
    send(readKeyReport(key), [this, generation](const IoResult& result) {
        if (generation != m_generation || !m_read.running)
            return;
        if (result.status == IoResult::Status::Gone) {
            finishRead();
            return;
        }
        m_readPause->start();
    });
}

bool AttachedDevice::waitingForAnswers() const
{
    const int keys = m_assignments.keyCount().value_or(int(m_awaiting.size()));
    for (int k = 0; k < keys; ++k)
        if (m_awaiting.test(std::size_t(k)))
            return true;
    return false;
}

void AttachedDevice::answer(const KeyRecordResponse& response)
{
    // Only an answer to a request of this device's own read counts; any other (a late one, one
    // that another program's request brought, one the device sent by itself) was logged and is
    // left at that.
    const std::size_t k = std::size_t(response.keyIndex());
    if (!m_awaiting.test(k))
        return;
    m_awaiting.reset(k);
    m_answeredInRead.set(k);
    m_lastFailed = false;
    const std::optional<int> countBefore = m_assignments.keyCount();
    const auto taken = m_assignments.takeAnswer(response, m_read.kind == ReadKind::Explicit);
    if (m_assignments.keyCount() != countBefore)
        emit keyCountChanged();
    if (taken == KeyAssignments::Answer::Stored) {
        emit answerTaken(int(k));
        emit recordChanged(int(k));
    }
    emit readAnswered(int(k));
    if (m_read.sentAll && !waitingForAnswers())
        finishRead();
}

void AttachedDevice::finishRead()
{
    if (!m_read.running)
        return;
    // A device that never answered is one that failed; one that answered before stays read.
    if (!answered())
        m_lastFailed = true;
    stopRead();
    emit readFinished();
}

void AttachedDevice::stopRead()
{
    if (!m_read.running)
        return;
    m_read.running = false;
    // Answers to what this read asked that come later are another program's business.
    m_awaiting.reset();
    m_readPause->stop();
    m_readGrace->stop();
    ++m_generation;
    setState();
}

bool AttachedDevice::readComplete() const
{
    return answered() && keysNotAnswered().isEmpty();
}

QList<int> AttachedDevice::keysNotAnswered() const
{
    QList<int> missing;
    for (int k = 0; k < m_assignments.shownKeys(); ++k)
        if (!m_answeredInRead.test(std::size_t(k)))
            missing << k;
    return missing;
}

// ---------------------------------------------------------------------------------------------
// The write

void AttachedDevice::write()
{
    QList<int> keys;
    for (int k = 0; k < m_assignments.shownKeys(); ++k)
        keys << k;
    writeKeys(std::move(keys));
}

void AttachedDevice::writeKeys(QList<int> keys)
{
    if (writing())
        return;
    std::sort(keys.begin(), keys.end());
    keys.resize(std::unique(keys.begin(), keys.end()) - keys.begin());
    // Late answers of a read would change records while they are written.
    stopRead();
    m_write = WriteRun{true, std::move(keys), 0, {}, WriteOutcome{}};
    setState();
    emit writeProgress(0);
    if (m_gone) {
        abortWrite();
        return;
    }
    m_lockWait.start();
    beginWrite();
}

void AttachedDevice::beginWrite()
{
    if (!m_write.running)
        return;
    const platform::FileLock::Attempt attempt = m_lock ? m_lock->tryLock() : platform::FileLock::Attempt::Taken;
    if (attempt == platform::FileLock::Attempt::Busy) {
        if (m_lockWait.elapsed() >= WriteLongestMs) {
            m_write.outcome.otherWriter = true;
            abortWrite();
            return;
        }
        if (!m_waitingForLock) {
            m_waitingForLock = true;
            emit sharingChanged();
        }
        m_lockRetry->start();
        return;
    }
    if (attempt == platform::FileLock::Attempt::Failed)
        qCWarning(lcSession) << "The write lock cannot be taken, so the write goes on without it:"
                             << m_lock->failure().message;
    if (std::exchange(m_waitingForLock, false))
        emit sharingChanged();
    // Whatever another program wrote before the lock came to this one is what the device holds:
    // this write goes on from it, so it undoes nothing the user did not see.
    applyNotice();
    // The write history: what the device held and what goes to it, before anything is sent.
    emit writeStarting(m_write.keys);
    stepWrite();
}

void AttachedDevice::stepWrite()
{
    if (!m_write.running)
        return;
    // Before the device said how many keys it has, any slot may be written that holds a record.
    const int limit = m_assignments.keyCount().value_or(KeySlots);
    while (m_write.index < m_write.keys.size()) {
        const int position = m_write.index;
        const int k = m_write.keys[position];
        emit writeProgress(tavrel::writeProgress(int(m_write.keys.size()), position));
        const auto& held = m_assignments.at(k);
        if (k < 0 || k >= limit || !held) {
            m_write.outcome.notWritten << k;
            ++m_write.index;
            continue;
        }
        const OutputReport report = writeKeyReport(k, held->record);
        emit writeSending(report);
        const quint64 generation = ++m_generation;
        m_writeDeadline->start();
        send(report, [this, generation, position](const IoResult& result) { writeDone(generation, position, result); });
        return;
    }
    finishWrite();
}

void AttachedDevice::writeDone(quint64 generation, int position, const IoResult& result)
{
    if (!m_write.running || generation != m_generation)
        return;
    m_writeDeadline->stop();
    const int k = m_write.keys[position];
    if (result.ok()) {
        m_assignments.markWritten(k);
        m_write.taken << k;
    } else
        m_write.outcome.notWritten << k;
    m_write.index = position + 1;
    if (result.status == IoResult::Status::Gone || result.status == IoResult::Status::TimedOut) {
        abortWrite();
        return;
    }
    m_writePause->start();
}

void AttachedDevice::abortWrite()
{
    // Nothing more is written; the keys not reached yet count as not written.
    if (!m_write.running)
        return;
    ++m_generation;
    m_writePause->stop();
    m_writeDeadline->stop();
    for (qsizetype p = m_write.index; p < m_write.keys.size(); ++p)
        if (!m_write.outcome.notWritten.contains(m_write.keys[p]))
            m_write.outcome.notWritten << m_write.keys[p];
    m_write.index = int(m_write.keys.size());
    finishWrite();
}

void AttachedDevice::finishWrite()
{
    m_write.running = false;
    m_writePause->stop();
    m_writeDeadline->stop();
    m_lockRetry->stop();
    shareWrite();
    std::sort(m_write.outcome.notWritten.begin(), m_write.outcome.notWritten.end());
    m_lastFailed = !m_write.outcome.complete();
    // The user wrote the device: what it holds now is what was shown.
    const bool noted = std::exchange(m_waitingForLock, false) || !m_assignments.changedElsewhere().isEmpty();
    m_assignments.clearChangedElsewhere();
    if (noted)
        emit sharingChanged();
    setState();
    emit writeFinished(m_write.outcome);
}

void AttachedDevice::shareWrite()
{
    if (!m_lock || !m_lock->locked())
        return;
    if (!m_write.taken.isEmpty()) {
        DeviceNotice notice;
        notice.device = m_identity.syspath;
        notice.from = m_board->nextWriteName();
        for (int k = 0; k < KeySlots; ++k)
            if (const auto& held = m_assignments.held(k))
                notice.keys[std::size_t(k)] = DeviceNotice::Key{*held, m_write.taken.contains(k)};
        m_lastNotice = notice.from;
        m_board->post(m_identity.id(), notice);
    }
    // After the notice: whoever takes the lock next finds it there.
    m_lock->unlock();
}

void AttachedDevice::takeNotice()
{
    // While this program writes the device, nobody else does.
    if (!m_lock || !m_lock->locked())
        applyNotice();
}

void AttachedDevice::applyNotice()
{
    if (!m_board || m_gone)
        return;
    const std::optional<DeviceNotice> notice = m_board->notice(m_identity.id());
    if (!notice || notice->from == m_lastNotice)
        return;
    m_lastNotice = notice->from;
    // A notice of a device plugged in before at the same port, or of this program's own write,
    // changes nothing.
    if (notice->device != m_identity.syspath || m_board->isOwn(*notice))
        return;
    const KeyAssignments::NoticeTaken taken = m_assignments.takeNotice(*notice);
    for (int k : taken.replaced)
        emit recordChanged(k);
    if (!taken.editsKept.isEmpty())
        emit sharingChanged();
}

void AttachedDevice::setRecord(int key, const KeyRecord& record, RecordOrigin origin, const QString& text)
{
    if (!validKey(key))
        return;
    m_assignments.set(key, record, origin, text);
    emit recordChanged(key);
}

// ---------------------------------------------------------------------------------------------
// Pairing

void AttachedDevice::bind()
{
    m_bindOpen = true;
    m_bindCountdown = BindSeconds;
    m_bindTimer->start();
    send(pairReport(PairBindAction), [this](const IoResult& result) {
        if (result.ok())
            return;
        m_bindOpen = false;
        stopBindCountdown();
        emit bindRequestFailed();
    });
}

void AttachedDevice::endBind()
{
    m_bindOpen = false;
    stopBindCountdown();
}

void AttachedDevice::stopBindCountdown()
{
    m_bindTimer->stop();
    m_bindCountdown = 0;
}

void AttachedDevice::bindTick()
{
    if (m_bindCountdown <= 0) {
        m_bindTimer->stop();
        return;
    }
    --m_bindCountdown;
    emit bindCountdownChanged(m_bindCountdown);
    if (m_bindCountdown < 1) {
        m_bindOpen = false;
        m_bindTimer->stop();
        emit bindTimedOut();
    }
}

void AttachedDevice::clearBindings()
{
    m_bindOpen = false;
    send(pairReport(PairClearAction), [this](const IoResult& result) { emit clearRequestDone(result.ok()); });
}

// ---------------------------------------------------------------------------------------------

void AttachedDevice::setInputWatched(bool on)
{
    if (on == (m_input != nullptr) || (on && m_gone))
        return;
    if (!on) {
        // Its devices are let go now; its reader's signal may be on the stack.
        m_input->disconnect(this);
        m_input->stop();
        m_input->deleteLater();
        m_input = nullptr;
        return;
    }
    m_input = new KeyInput(m_device->udev(), m_device->info().syspath, m_device->pollPeriod(), this);
    connect(m_input, &KeyInput::received, this,
            [this](const InputChange& change) { emit inputReceived(change, keySending(change)); });
}

void AttachedDevice::refindInput()
{
    if (m_input)
        m_input->refind();
}

int AttachedDevice::keySending(const InputChange& change) const
{
    std::vector<std::optional<KeyRecord>> held;
    for (int k = 0; k < m_assignments.shownKeys(); ++k) {
        const auto& r = m_assignments.at(k);
        held.push_back(r && !r->unsent() ? std::optional<KeyRecord>(r->record) : std::nullopt);
    }
    const QList<int> keys = keysSending(held, change);
    return keys.size() == 1 ? keys.front() : -1;
}

// ---------------------------------------------------------------------------------------------

void AttachedDevice::markGone()
{
    if (m_gone)
        return;
    m_gone = true;
    setInputWatched(false);
    // A receiver that went answers no bind: its countdown ends as the time-out would end it.
    m_bindOpen = false;
    if (m_bindCountdown > 0) {
        stopBindCountdown();
        emit bindTimedOut();
    }
    finishRead();
    abortWrite();
    setState();
}

}  // namespace tavrel
