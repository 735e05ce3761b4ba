#include "session/devicesession.h"

#include "devices/capabilities.h"
#include "hid/hiddevice.h"
#include "hid/hiddevicecontroller.h"

#include <QPointer>
#include <algorithm>
#include <stdexcept>

namespace tavrel {

namespace {

constexpr quint16 DeviceVendorId = 0x16C0;
constexpr quint16 DeviceProductId = 0x05E1;
constexpr int RepollMs = 500;
constexpr int BindSeconds = 10;

bool isKeyDevice(THidDevice* device)
{
    return device->VendorID() == DeviceVendorId && device->ProductID() == DeviceProductId;
}

bool isKeyboardMode(const QString& mode)
{
    return mode == QLatin1String("00") || mode == QLatin1String("02");
}

QTimer* makeTimer(QObject* parent, int ms, const char* name = nullptr)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(ms);
    // A coarse timer may fire 5 % early: too early for the pauses the key needs.
    timer->setTimerType(Qt::PreciseTimer);
    if (name)
        timer->setObjectName(QLatin1String(name));
    return timer;
}

}  // namespace

bool KeyDeviceFilter(THidDevice* device)
{
    return isKeyDevice(device) && device->ReportCaps().InputReportByteLength == 8;
}

DeviceSession::DeviceSession(QObject* parent) : QObject(parent)
{
    init(nullptr, true);
}

DeviceSession::DeviceSession(std::shared_ptr<platform::UdevContext> udev, QObject* parent) : QObject(parent)
{
    init(std::move(udev), false);
}

void DeviceSession::init(std::shared_ptr<platform::UdevContext> udev, bool systemUdev)
{
    m_readPause = makeTimer(this, ReadPauseMs);
    m_readPause->setSingleShot(true);
    connect(m_readPause, &QTimer::timeout, this, [this] {
        ++m_read.next;
        sendNextRead();
    });
    m_writePause = makeTimer(this, WritePauseMs);
    m_writePause->setSingleShot(true);
    connect(m_writePause, &QTimer::timeout, this, &DeviceSession::stepWrite);
    m_writeDeadline = makeTimer(this, WriteDeadlineMs);
    m_writeDeadline->setSingleShot(true);
    connect(m_writeDeadline, &QTimer::timeout, this, [this] {
        // The key stopped taking reports: what is still queued for it is not waited for.
        ++m_write.generation;
        m_write.outcome.notWritten << m_write.keys.value(m_write.index);
        ++m_write.index;
        abortWrite();
    });

    // Runs from the start until the first answer.
    m_repoll = makeTimer(this, RepollMs, "Timer1");
    connect(m_repoll, &QTimer::timeout, this, &DeviceSession::Timer1Timer);
    m_repoll->start();

    m_bindTimer = makeTimer(this, 1000, "BindTimer");
    connect(m_bindTimer, &QTimer::timeout, this, &DeviceSession::bindTick);

    m_controller = systemUdev ? new THidDeviceController(this) : new THidDeviceController(this, std::move(udev));
    m_controller->setObjectName(QStringLiteral("HidCtl"));
    connect(m_controller, &THidDeviceController::scanFailed, this, &DeviceSession::failed);
}

void DeviceSession::start()
{
    // Setting the change handler does not scan yet; the controller's start-up notification
    // does, once the event loop runs.
    m_controller->setLoading(true);
    m_controller->setDevThreadSleepTime(10);
    m_controller->setOnEnumerate(THidEnumerateEvent(this, &DeviceSession::HidCtlEnumerate));
    m_controller->setOnDeviceChange(TNotifyEvent(this, &DeviceSession::HidCtlDeviceChange));
    m_controller->setOnDeviceData(THidDataEvent(this, &DeviceSession::HidCtlDeviceData));
    m_controller->setLoading(false);
}

DeviceSession::~DeviceSession()
{
    // The controller goes first so that no device handler reaches a half-destroyed session.
    ++m_read.generation;
    ++m_write.generation;
    releaseListedDevices();
    delete m_controller;
    m_controller = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Devices

bool DeviceSession::HidCtlEnumerate(THidDevice* HidDev, int Idx)
{
    if (isKeyDevice(HidDev) && HidDev->ReportCaps().OutputReportByteLength == 8) {
        THidDevice* claimed = nullptr;
        if (m_controller->ClaimByIndex(claimed, Idx) && claimed) {
            SessionDevice d;
            d.hid = claimed;
            d.product = claimed->ProductText();
            d.serial = claimed->SerialText();
            d.itemText = DeviceListText(d.product, d.serial);
            d.canWrite = claimed->CanReadWrite();
            if (!d.canWrite)
                d.accessError = claimed->LastError();
            m_devices.push_back(d);
            // Decoded last: a serial that cannot be decoded still leaves the device listed.
            m_devices.back().wireless = isWirelessItem(d.itemText);
        }
    }
    return true;
}

void DeviceSession::releaseListedDevices()
{
    m_current = nullptr;
    std::vector<SessionDevice> listed;
    listed.swap(m_devices);
    m_selected = -1;
    // Destroying a claimed device returns its interface to the controller.
    for (const SessionDevice& d : listed)
        delete d.hid;
    delete std::exchange(m_fallback, nullptr);
}

void DeviceSession::HidCtlDeviceChange(QObject*)
{
    if (m_write.running) {
        // A change elsewhere waits for the write; the written key gone ends it at once.
        if (m_current && m_current->Present()) {
            m_rebuildPending = true;
            return;
        }
        abortWrite();
    }
    m_rebuildPending = false;
    try {
        rebuildDevices();
    } catch (const std::exception& e) {
        // A serial that cannot be decoded ends the rebuild where it stands.
        emit devicesChanged();
        emit failed(QString::fromUtf8(e.what()));
    }
}

void DeviceSession::rebuildDevices()
{
    stopRead();
    m_capture.reset();
    releaseListedDevices();
    m_caps.byDeviceChange = false;
    m_controller->OfferDevices();

    if (!m_devices.empty())
        applySelection(0);

    m_current = m_selected >= 0 ? m_devices[std::size_t(m_selected)].hid : nullptr;
    if (!m_current) {
        THidDevice* fallback = nullptr;
        m_controller->ClaimFirst(fallback, &KeyDeviceFilter);
        if (fallback) {
            m_fallback = fallback;
            m_current = fallback;
            m_table.forgetDevice();
        }
    }

    if (m_current) {
        const QString serial = m_current->SerialText();
        m_caps.serial = serial;
        m_caps.byDeviceChange = true;
        m_caps.bindCapacity = bindCapacity(serial);
        m_caps.mousePage = mousePageAfterChange(serial);
        m_caps.pairing = hasPairing(serial);
        m_table.AwaitingConfig = true;
        for (const SessionDevice& d : m_devices) {
            if (d.canWrite || m_accessWarned.contains(d.hid->InterfaceInfo().InstanceId))
                continue;
            m_accessWarned.insert(d.hid->InterfaceInfo().InstanceId);
            emit accessDenied(d.itemText);
            break;
        }
        read();  // served by the selection's read when that runs already
    } else {
        m_table.KeyCount = 0;
        m_caps = Capabilities{};
        m_selectedKey = -1;
        m_repoll->stop();
    }
    emit devicesChanged();
}

void DeviceSession::applySelection(int index)
{
    m_selected = index;
    const QString s = m_devices[std::size_t(index)].serial;
    m_caps = Capabilities{};
    m_caps.serial = s;
    m_caps.modelDigits = modelDigits(s);
    m_caps.triggerGroups = triggerGroupsAfterSelection(s);
    m_caps.mousePage = m_caps.triggerGroups;
    m_caps.pairing = hasPairing(s);
    // The pairing window tells the capacity of the receiver that is selected now.
    m_caps.bindCapacity = bindCapacity(s);
    m_table.forgetDevice();
    emit deviceSelected();
    read();
}

void DeviceSession::selectDevice(int index)
{
    if (index < 0 || index >= int(m_devices.size()) || index == m_selected || m_write.running)
        return;
    stopRead();
    m_capture.reset();
    try {
        applySelection(index);
    } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
    }
}

void DeviceSession::takeSelectedDevice()
{
    if (m_selected >= 0 && m_selected < int(m_devices.size()))
        m_current = m_devices[std::size_t(m_selected)].hid;
}

// ---------------------------------------------------------------------------------------------
// Sending and receiving

void DeviceSession::write(const OutputReport& report, std::function<void(const IoResult&)> done)
{
    // The device's writer takes the report off the GUI thread: a key that stops taking reports
    // holds up its driver, not the window. The answer comes from the event loop.
    QPointer<DeviceSession> self(this);
    THidDevice* device = m_current;
    if (!device) {
        QTimer::singleShot(0, this, [self, done = std::move(done)] {
            if (self && done)
                done(IoResult::failure(IoResult::Status::NoDevice));
        });
        return;
    }
    device->WriteReportAsync(QByteArray(reinterpret_cast<const char*>(report.data()), qsizetype(report.size())),
                             [self, done = std::move(done)](const IoResult& result) {
                                 if (self && done)
                                     done(result);
                             });
}

void DeviceSession::append(const QString& line)
{
    m_log << line;
    emit logAppended(line);
}

void DeviceSession::HidCtlDeviceData(THidDevice* HidDev, quint8 ReportID, const quint8* Data, quint16 Size)
{
    ReportHandlers handlers;
    handlers.keyRecord = [this, HidDev](const KeyRecordResponse& r) { handleKeyRecord(HidDev, r); };
    handlers.pairing = [this](const PairingResponse& p) {
        m_bindTimer->stop();
        emit pairingAnswered(p);
    };
    try {
        dispatchReport(ReportID, std::span<const quint8>(Data, Size), handlers, *this);
    } catch (const std::exception& e) {
        // Letting it reach the reader would end the device's reports.
        emit failed(QString::fromUtf8(e.what()));
    }
}

void DeviceSession::handleKeyRecord(THidDevice* from, const KeyRecordResponse& r)
{
    // Only the device being read fills the table: a late answer from another device would
    // otherwise be written to this one.
    if (from != m_current || !KeyTable::validKey(r.keyIndex()))
        return;
    m_repoll->stop();
    applyKeyRecord(m_table, r);
    // The keys are shown anew and the first one is selected: a combination half pressed for
    // the key selected before is not carried over.
    m_capture.reset();
    m_selectedKey = m_table.KeyCount > 0 ? 0 : -1;
    emit recordAnswered(r.keyIndex());
}

// ---------------------------------------------------------------------------------------------
// The read

void DeviceSession::read()
{
    takeSelectedDevice();
    if (m_read.running && m_read.device == m_current)
        return;
    stopRead();
    m_read.running = true;
    m_read.device = m_current;
    m_read.next = 0;
    setBusy();
    sendNextRead();
}

void DeviceSession::sendNextRead()
{
    // Answers arrive during the pauses, so the device's key count is looked at again each time.
    if (!m_read.running)
        return;
    if (m_read.next >= readRequestCount(m_table)) {
        m_read.running = false;
        setBusy();
        emit readFinished();
        return;
    }
    const quint64 generation = m_read.generation;
    m_channel.send(readKeyReport(m_read.next), [this, generation](const IoResult& result) {
        if (generation != m_read.generation || !m_read.running)
            return;
        if (result.status == IoResult::Status::Gone) {
            stopRead();
            emit readFinished();
            return;
        }
        m_readPause->start();
    });
}

void DeviceSession::stopRead()
{
    ++m_read.generation;
    m_readPause->stop();
    if (std::exchange(m_read.running, false))
        setBusy();
}

void DeviceSession::Timer1Timer()
{
    // A running read or write covers this tick.
    if (m_table.AwaitingConfig && !busy())
        read();
}

// ---------------------------------------------------------------------------------------------
// The write

void DeviceSession::write()
{
    QList<int> keys;
    for (int i = 0; i < std::clamp(m_table.KeyCount, 0, KeyTable::Slots); ++i)
        keys << i;
    startWrite(std::move(keys));
}

void DeviceSession::writeKeys(QList<int> keys)
{
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    startWrite(std::move(keys));
}

void DeviceSession::startWrite(QList<int> keys)
{
    if (m_write.running)
        return;
    stopRead();
    takeSelectedDevice();
    m_write.running = true;
    m_write.keys = std::move(keys);
    m_write.index = 0;
    m_write.outcome = WriteOutcome{};
    m_write.outcome.keys = std::clamp(m_table.KeyCount, 0, KeyTable::Slots);
    setBusy();
    emit writeProgress(0);
    stepWrite();
}

void DeviceSession::stepWrite()
{
    if (!m_write.running)
        return;
    while (m_write.index < m_write.keys.size()) {
        const int position = m_write.index;
        const int i = m_write.keys[position];
        emit writeProgress(tavrel::writeProgress(int(m_write.keys.size()), position));
        if (i >= m_write.outcome.keys || !writableKey(m_table, i)) {
            m_write.outcome.notWritten << i;
            ++m_write.index;
            continue;
        }
        const OutputReport report = writeKeyReport(i, m_table);
        emit writeSending(report);
        const quint64 generation = ++m_write.generation;
        m_writeDeadline->start();
        m_channel.send(report, [this, generation, position](const IoResult& result) {
            writeDone(generation, position, result);
        });
        return;
    }
    finishWrite();
}

void DeviceSession::writeDone(quint64 generation, int position, const IoResult& result)
{
    if (!m_write.running || generation != m_write.generation)
        return;
    m_writeDeadline->stop();
    if (!result.ok())
        m_write.outcome.notWritten << m_write.keys[position];
    m_write.index = position + 1;
    if (result.status == IoResult::Status::Gone || result.status == IoResult::Status::TimedOut) {
        abortWrite();
        return;
    }
    m_writePause->start();
}

void DeviceSession::abortWrite()
{
    // Nothing more is written; the keys not reached yet count as not written.
    if (!m_write.running)
        return;
    ++m_write.generation;
    m_writePause->stop();
    m_writeDeadline->stop();
    for (qsizetype p = m_write.index; p < m_write.keys.size(); ++p)
        if (!m_write.outcome.notWritten.contains(m_write.keys[p]))
            m_write.outcome.notWritten << m_write.keys[p];
    m_write.index = int(m_write.keys.size());
    finishWrite();
}

void DeviceSession::finishWrite()
{
    m_write.running = false;
    m_writePause->stop();
    m_writeDeadline->stop();
    std::sort(m_write.outcome.notWritten.begin(), m_write.outcome.notWritten.end());
    setBusy();
    emit writeFinished(m_write.outcome);
    if (std::exchange(m_rebuildPending, false))
        HidCtlDeviceChange(m_controller);
}

void DeviceSession::setBusy()
{
    const bool now = busy();
    if (now != m_wasBusy) {
        m_wasBusy = now;
        emit busyChanged(now);
    }
}

// ---------------------------------------------------------------------------------------------
// Editing the selected key

void DeviceSession::selectKey(int key)
{
    if (!KeyTable::validKey(key))
        key = -1;
    if (key != m_selectedKey)
        m_capture.reset();
    m_selectedKey = key;
    emit keySelected(key);
}

void DeviceSession::setField(int key, Field field, const QString& value)
{
    QString& f = m_table.field(key, field);
    if (f == value)
        return;
    f = value;
    m_table.markSet(key);
}

void DeviceSession::useKeyboard()
{
    const int s = m_selectedKey;
    if (s < 0)
        return;
    // Any record that is not a keyboard one (a mouse mode, or a mode this program does not
    // know) becomes an empty keyboard key: the page then shows what the record holds.
    if (isKeyboardMode(m_table.field(s, Field::Mode)))
        return;
    for (Field f : {Field::Modifiers, Field::Code1, Field::Code2, Field::Code3, Field::Mode})
        setField(s, f, QStringLiteral("00"));
    // The old combination's text would come back with the key; the record now holds none.
    m_table.KeyText[s].clear();
    emit keyChanged(s);
}

void DeviceSession::useMouse()
{
    const int s = m_selectedKey;
    if (s < 0 || !isKeyboardMode(m_table.field(s, Field::Mode)))
        return;
    m_capture.reset();
    setField(s, Field::Modifiers, QStringLiteral("01"));
    for (Field f : {Field::Code1, Field::Code2, Field::Code3})
        setField(s, f, QStringLiteral("00"));
    setField(s, Field::Mode, QStringLiteral("01"));
    emit keyChanged(s);
}

void DeviceSession::setMouseButton(quint8 button)
{
    const int s = m_selectedKey;
    if (s < 0 || isKeyboardMode(m_table.field(s, Field::Mode)))
        return;
    setField(s, Field::Modifiers, hexByte(button));
    emit keyChanged(s);
}

void DeviceSession::setRepeat(bool repeat)
{
    const int s = m_selectedKey;
    if (s < 0)
        return;
    const bool keyboard = isKeyboardMode(m_table.field(s, Field::Mode));
    setField(s, Field::Mode, keyboard ? (repeat ? QStringLiteral("02") : QStringLiteral("00"))
                                      : (repeat ? QStringLiteral("03") : QStringLiteral("01")));
    emit keyChanged(s);
}

void DeviceSession::setRecord(int key, const KeyRecord& record)
{
    if (!KeyTable::validKey(key))
        return;
    const std::array<quint8, 5> bytes = record.bytes();
    for (Field f : {Field::Modifiers, Field::Code1, Field::Code2, Field::Code3, Field::Mode})
        setField(key, f, hexByte(bytes[std::size_t(f)]));
    m_table.KeyText[key] = displayText(record.modifiers, record.code1, record.code2, record.code3);
    // Set by the user even when it equals what the key held: it is to be written.
    m_table.markSet(key);
    emit keyChanged(key);
}

// ---------------------------------------------------------------------------------------------
// Key files

std::vector<KeyRecord> DeviceSession::records() const
{
    std::vector<KeyRecord> records;
    for (int k = 0; k < m_table.KeyCount; ++k)
        records.push_back(recordOf(m_table, k));
    return records;
}

bool DeviceSession::keysRead() const
{
    if (!m_current || busy() || !m_table.CountFromDevice || m_table.KeyCount <= 0)
        return false;
    for (int k = 0; k < m_table.KeyCount; ++k)
        if (!m_table.Current.test(std::size_t(k)))
            return false;
    return true;
}

QByteArray DeviceSession::keyFile() const
{
    if (!keysRead())
        return {};
    QString product, serial = m_caps.serial;
    if (m_selected >= 0 && std::size_t(m_selected) < m_devices.size()) {
        product = m_devices[std::size_t(m_selected)].product;
        serial = m_devices[std::size_t(m_selected)].serial;
    }
    return configfile::serialize(records(), serial, product);
}

std::variant<int, configfile::FileErrors> DeviceSession::loadKeyFile(const QByteArray& text)
{
    if (!keysRead())
        return configfile::FileErrors{{0, tr("按键尚未读取，请先连接并读取按键。")}};
    auto parsed = configfile::parse(text);
    if (auto* errors = std::get_if<configfile::FileErrors>(&parsed))
        return std::move(*errors);
    // A key beyond this device refuses the whole file: nothing of it is taken.
    auto planned = configfile::validateFor(std::get<configfile::ConfigFile>(parsed), m_table.KeyCount, false);
    if (auto* errors = std::get_if<configfile::FileErrors>(&planned))
        return std::move(*errors);
    const configfile::RestorePlan& plan = std::get<configfile::RestorePlan>(planned);
    for (const configfile::KeyEntry& e : plan.write)
        setRecord(e.key - 1, e.record);
    return int(plan.write.size());
}

// ---------------------------------------------------------------------------------------------
// Capture

void DeviceSession::startCapture()
{
    m_capture.reset();
    m_capturing = true;
}

void DeviceSession::captureKey(const KeyEvent& event)
{
    if (!m_capturing)
        return;
    const std::optional<TakenCombination> taken = m_capture.handle(event);
    if (!taken)
        return;
    const int s = m_selectedKey;
    const EncoderTexts texts = Edit1Change(m_table, s, taken->text, taken->keys);
    m_table.markSet(s);
    emit combinationTaken(*taken, texts);
    if (s >= 0)
        emit keyChanged(s);
}

void DeviceSession::stopCapture()
{
    m_capturing = false;
    m_capture.reset();
}

// ---------------------------------------------------------------------------------------------
// Pairing

void DeviceSession::bind()
{
    m_bindTimer->stop();
    m_bindCountdown = BindSeconds;
    m_bindTimer->start();
    m_channel.send(pairReport(PAIR_BIND), [this](const IoResult& result) {
        if (result.ok())
            return;
        // Nothing was sent: waiting ten seconds for an answer would only mislead.
        m_bindTimer->stop();
        m_bindCountdown = 0;
        emit bindRequestFailed();
    });
}

void DeviceSession::bindTick()
{
    if (m_bindCountdown <= 0) {
        m_bindTimer->stop();
        return;
    }
    --m_bindCountdown;
    emit bindCountdownChanged(m_bindCountdown);
    if (m_bindCountdown < 1) {
        m_bindTimer->stop();
        emit bindTimedOut();
    }
}

void DeviceSession::clearBindings()
{
    m_channel.send(pairReport(PAIR_CLEAR), [this](const IoResult& result) { emit clearRequestDone(result.ok()); });
}

}  // namespace tavrel
