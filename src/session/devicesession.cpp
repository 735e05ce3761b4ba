#include "session/devicesession.h"

#include "config/combination.h"
#include "config/reportdispatch.h"
#include "hid/hiddevice.h"
#include "hid/hiddevicewatcher.h"
#include "hid/hidlog.h"
#include "platform/hotplugmonitor.h"
#include "session/devicenoticeboard.h"
#include "session/writehistory.h"

#include <algorithm>

namespace tavrel {

namespace {

constexpr quint16 DeviceVendorId = 0x16C0;
constexpr quint16 DeviceProductId = 0x05E1;

QTimer* makeTimer(QObject* parent, int ms, const char* name)
{
    auto* timer = new QTimer(parent);
    timer->setInterval(ms);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setObjectName(QLatin1String(name));
    return timer;
}

}  // namespace

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
    m_repoll = makeTimer(this, RepollMs, "RepollTimer");
    connect(m_repoll, &QTimer::timeout, this, &DeviceSession::repoll);
    m_bindTimer = makeTimer(this, 1000, "BindTimer");
    connect(m_bindTimer, &QTimer::timeout, this, &DeviceSession::bindTick);
    m_refindInput = makeTimer(this, 0, "RefindInputTimer");
    m_refindInput->setSingleShot(true);
    connect(m_refindInput, &QTimer::timeout, this, [this] {
        for (AttachedDevice* key : m_devices)
            key->refindInput();
    });

    m_history = new WriteHistory(*this, this);
    m_noticeBoard = new DeviceNoticeBoard(this);
    m_watcher = systemUdev ? new HidDeviceWatcher(DeviceVendorId, DeviceProductId, this)
                           : new HidDeviceWatcher(std::move(udev), DeviceVendorId, DeviceProductId, this);
    connect(m_watcher, &HidDeviceWatcher::listFailed, this, &DeviceSession::failed);
    connect(m_watcher, &HidDeviceWatcher::deviceAdded, this, &DeviceSession::addDevice);
    connect(m_watcher, &HidDeviceWatcher::deviceRemoved, this, &DeviceSession::removeDevice);
    connect(m_watcher, &HidDeviceWatcher::listed, this, [this] {
        m_scanned = true;
        settleDevices();
    });
}

void DeviceSession::start()
{
    m_watcher->start();
}

bool DeviceSession::isInert() const
{
    return m_watcher->isInert();
}

DeviceSession::~DeviceSession()
{
    // The devices go first, each closing its node.
    m_selected = nullptr;
    for (AttachedDevice* key : std::exchange(m_devices, {}))
        delete key;
    delete m_watcher;
    m_watcher = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The attached keys

int DeviceSession::indexOf(const AttachedDevice* key) const
{
    const auto at = std::find(m_devices.begin(), m_devices.end(), key);
    return key && at != m_devices.end() ? int(at - m_devices.begin()) : -1;
}

void DeviceSession::addDevice(const platform::HidInterface& info)
{
    auto hid = std::make_unique<HidDevice>(info, m_watcher->udev());
    // The ids are the family's; a device of the family takes requests of its report size.
    if (hid->reportCapabilities().outputReportLength != ReportSize) {
        qCInfo(hidLog, "%s takes no %d-byte reports; passed over.", qPrintable(info.devnode), ReportSize);
        return;
    }
    m_noticeBoard->open();
    auto* device = new AttachedDevice(std::move(hid), *this, m_noticeBoard, this);
    connectKey(device);
    connect(device->device(), &HidDevice::unplugged, this, [this, device] { dropDevice(device); });
    m_devices.push_back(device);
    settleDevices();
}

void DeviceSession::removeDevice(const QString& syspath)
{
    for (AttachedDevice* device : m_devices) {
        if (device->identity().syspath == syspath) {
            device->device()->markUnplugged();
            return;
        }
    }
}

void DeviceSession::dropDevice(AttachedDevice* device)
{
    const auto at = std::find(m_devices.begin(), m_devices.end(), device);
    if (at == m_devices.end())
        return;
    device->markGone();
    m_devices.erase(at);
    if (device == m_selected) {
        m_selected = nullptr;
        m_selectedKey = -1;
        m_capture.reset();
        emit receivedCleared();
    }
    // Its node's signal may be on the stack.
    device->deleteLater();
    settleDevices();
}

void DeviceSession::settleDevices()
{
    // Devices found before the first listing is whole are settled with it.
    if (!m_scanned)
        return;
    // A key's input devices may have come or gone with it.
    m_refindInput->start();

    for (AttachedDevice* key : m_devices) {
        if (key->canWrite() || m_accessWarned.contains(key->identity().instanceId))
            continue;
        m_accessWarned.insert(key->identity().instanceId);
        emit accessDenied(key->itemText());
        break;
    }
    if (!m_selected && !m_devices.empty()) {
        select(m_devices.front(), true);
    } else if (m_devices.empty()) {
        m_repoll->stop();
        m_selectedKey = -1;
        m_capture.reset();
    }
    setBusy();
    emit devicesChanged();
}

void DeviceSession::connectKey(AttachedDevice* key)
{
    connect(key, &AttachedDevice::recordChanged, this, [this, key](int k) {
        if (key == m_selected)
            emit keyChanged(k);
    });
    // A combination half pressed before the key's records came does not carry into them.
    connect(key, &AttachedDevice::answerTaken, this, [this, key] {
        if (key == m_selected)
            m_capture.reset();
    });
    connect(key, &AttachedDevice::readAnswered, this, [this, key](int k) {
        if (key == m_selected)
            emit keyAnswered(k);
    });
    connect(key, &AttachedDevice::keyCountChanged, this, [this, key] {
        if (key != m_selected)
            return;
        if (!validKey(m_selectedKey) || m_selectedKey >= shownKeys())
            m_selectedKey = shownKeys() > 0 ? 0 : -1;
        emit keyCountChanged();
    });
    connect(key, &AttachedDevice::stateChanged, this, [this, key] {
        if (key == m_selected) {
            if (key->answered())
                m_repoll->stop();
            setBusy();
        }
    });
    connect(key, &AttachedDevice::readFinished, this, [this, key] {
        if (key == m_selected)
            emit readFinished();
    });
    connect(key, &AttachedDevice::sharingChanged, this, [this, key] {
        if (key == m_selected)
            emit sharingChanged();
    });
    connect(key, &AttachedDevice::writeProgress, this, [this, key](int value) {
        if (key == m_selected)
            emit writeProgress(value);
    });
    connect(key, &AttachedDevice::writeSending, this, [this, key](const OutputReport& report) {
        if (key == m_selected)
            emit writeSending(report);
    });
    connect(key, &AttachedDevice::writeFinished, this, [this, key](const WriteOutcome& outcome) {
        if (key == m_selected)
            emit writeFinished(outcome);
    });
    // A device that sends anything is there after all: the re-poll takes up its pace again.
    connect(key->device(), &HidDevice::reportReceived, this, [this, key] {
        if (key == m_selected && m_silentRounds > 0) {
            m_silentRounds = 0;
            if (m_repoll->interval() != RepollMs)
                m_repoll->setInterval(RepollMs);
        }
    });
    // The write history takes an entry as each of the key's writes starts.
    m_history->track(key);
    // Pairing runs with one receiver at a time: the one selected when the bind was asked for.
    connect(key, &AttachedDevice::pairingAnswered, this, [this, key](const PairingResponse& response) {
        if (key != m_bindingKey)
            return;
        m_bindingKey = nullptr;
        m_bindTimer->stop();
        m_bindCountdown = 0;
        emit pairingAnswered(key, response);
    });
    connect(key, &AttachedDevice::bindRequestFailed, this, [this, key] {
        if (key != m_bindingKey)
            return;
        m_bindingKey = nullptr;
        m_bindTimer->stop();
        m_bindCountdown = 0;
        emit bindRequestFailed();
    });
    connect(key, &AttachedDevice::clearRequestDone, this, &DeviceSession::clearRequestDone);
    connect(key, &AttachedDevice::inputReceived, this,
            [this, key](const InputChange& change, int k) { emit inputReceived(key, change, k); });
}

void DeviceSession::select(AttachedDevice* key, bool byDeviceChange)
{
    if (m_watchesSelected && m_selected)
        watch(m_selected, false);
    if (m_selected)
        emit receivedCleared();
    m_selected = key;
    if (m_watchesSelected)
        watch(key, true);
    m_selectedByChange = byDeviceChange;
    m_capture.reset();
    m_selectedKey = shownKeys() > 0 ? 0 : -1;
    emit deviceSelected();
    if (m_readsWhenSelected) {
        key->read(AttachedDevice::ReadKind::Automatic);
        m_silentRounds = 0;
        m_repoll->setInterval(RepollMs);
        if (!key->answered())
            m_repoll->start();
        else
            m_repoll->stop();
    }
    setBusy();
}

void DeviceSession::selectDevice(int index)
{
    if (index < 0 || index >= int(m_devices.size()) || m_devices[std::size_t(index)] == m_selected || writing())
        return;
    select(m_devices[std::size_t(index)], false);
}

void DeviceSession::setWatchesSelected(bool on)
{
    if (on == m_watchesSelected)
        return;
    m_watchesSelected = on;
    if (m_selected)
        watch(m_selected, on);
}

void DeviceSession::watchInput(AttachedDevice* key)
{
    if (indexOf(key) >= 0)
        watch(key, true);
}

void DeviceSession::watch(AttachedDevice* key, bool on)
{
    if (on && !m_inputMonitor && m_watcher->udev()) {
        m_inputMonitor = new platform::HotplugMonitor(m_watcher->udev(), this, "input");
        for (const auto event : {&platform::HotplugMonitor::deviceAdded, &platform::HotplugMonitor::deviceRemoved,
                                 &platform::HotplugMonitor::deviceChanged})
            connect(m_inputMonitor, event, m_refindInput, qOverload<>(&QTimer::start));
    }
    key->setInputWatched(on);
}

KeyCapabilities DeviceSession::capabilities() const
{
    return m_selected ? m_selected->capabilities() : KeyCapabilities{};
}

bool DeviceSession::mousePageShown() const
{
    const KeyCapabilities caps = capabilities();
    return m_selectedByChange ? caps.mousePageAtChange : caps.triggerChoice;
}

bool DeviceSession::triggerGroupsShown() const
{
    return capabilities().triggerChoice;
}

void DeviceSession::append(const QString& line)
{
    m_log.append(line);
    emit logAppended(line);
}

// ---------------------------------------------------------------------------------------------
// The read and the write

void DeviceSession::read()
{
    if (m_selected)
        m_selected->read(AttachedDevice::ReadKind::Explicit);
}

void DeviceSession::repoll()
{
    // A running read or write covers this tick.
    if (!m_selected || m_selected->answered()) {
        m_repoll->stop();
        return;
    }
    if (m_selected->busy())
        return;
    m_selected->read(AttachedDevice::ReadKind::Automatic);
    const int interval = repollDelayMs(++m_silentRounds);
    if (interval != m_repoll->interval())
        m_repoll->setInterval(interval);
}

int DeviceSession::repollDelayMs(int silentRounds)
{
    if (silentRounds < RepollSteadyRounds)
        return RepollMs;
    const int doublings = std::min(silentRounds - RepollSteadyRounds + 1, 16);
    return int(std::min<qint64>(qint64(RepollMs) << doublings, RepollMaxMs));
}

void DeviceSession::write()
{
    if (m_selected)
        m_selected->write();
}

void DeviceSession::writeKeys(QList<int> keys)
{
    if (m_selected)
        m_selected->writeKeys(std::move(keys));
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
// Editing the key being edited

int DeviceSession::shownKeys() const
{
    return m_selected ? m_selected->assignments().shownKeys() : 0;
}

const std::optional<StoredRecord>& DeviceSession::shownRecord(int key) const
{
    static const std::optional<StoredRecord> none;
    return m_selected ? m_selected->assignments().at(key) : none;
}

void DeviceSession::selectKey(int key)
{
    if (!validKey(key) || key >= shownKeys())
        key = -1;
    if (key != m_selectedKey)
        m_capture.reset();
    m_selectedKey = key;
    emit keySelected(key);
}

AttachedDevice* DeviceSession::editedKey() const
{
    return m_selected && validKey(m_selectedKey) ? m_selected : nullptr;
}

void DeviceSession::edit(const KeyRecord& record, const QString& text)
{
    AttachedDevice* key = editedKey();
    if (!key)
        return;
    // A choice that changes nothing leaves the record as the key holds it, answers included.
    const auto& current = key->assignments().at(m_selectedKey);
    if (current && current->record == record && (text.isEmpty() || text == current->text))
        return;
    key->setRecord(m_selectedKey, record, RecordOrigin::Edited, text);
}

void DeviceSession::useKeyboard()
{
    const auto& current = shownRecord(m_selectedKey);
    // Any record that is not a keyboard one (a mouse mode, or a mode this program does not know)
    // becomes an empty keyboard key: the page then shows what the record holds.
    if (current && !isMouseMode(current->record.mode))
        return;
    edit(KeyRecord{0, 0, 0, 0, ModeKeyboardSingle});
}

void DeviceSession::useMouse()
{
    const auto& current = shownRecord(m_selectedKey);
    if (current && isMouseMode(current->record.mode))
        return;
    m_capture.reset();
    edit(KeyRecord{MouseLeft, 0, 0, 0, ModeMouseSingle});
}

void DeviceSession::setMouseButton(quint8 button)
{
    const auto& current = shownRecord(m_selectedKey);
    if (!current || !isMouseMode(current->record.mode))
        return;
    KeyRecord record = current->record;
    record.modifiers = button;
    edit(record);
}

void DeviceSession::setRepeat(bool repeat)
{
    const auto& current = shownRecord(m_selectedKey);
    KeyRecord record = current ? current->record : KeyRecord{};
    record.mode = modeFor(isMouseMode(record.mode), repeat);
    edit(record, current ? current->text : QString());
}

void DeviceSession::setRecord(int key, const KeyRecord& record)
{
    // Loaded even when it equals what the key holds: it is to be written.
    if (m_selected)
        m_selected->setRecord(key, record, RecordOrigin::Loaded);
}

// ---------------------------------------------------------------------------------------------
// Key files

bool DeviceSession::keysRead() const
{
    if (!m_selected || busy() || shownKeys() <= 0)
        return false;
    for (int k = 0; k < shownKeys(); ++k)
        if (!shownRecord(k))
            return false;
    return true;
}

QByteArray DeviceSession::keyFile() const
{
    if (!keysRead())
        return {};
    return configfile::serialize(m_selected->assignments().records(), m_selected->identity().serial,
                                 m_selected->identity().product);
}

std::variant<int, configfile::FileErrors> DeviceSession::loadKeyFile(const QByteArray& text)
{
    if (!keysRead())
        return configfile::FileErrors{{0, tr("按键尚未读取，请先连接并读取按键。")}};
    auto parsed = configfile::parse(text);
    if (auto* errors = std::get_if<configfile::FileErrors>(&parsed))
        return std::move(*errors);
    // A key beyond this key's keys refuses the whole file: nothing of it is taken.
    auto planned = configfile::validateFor(std::get<configfile::ConfigFile>(parsed), shownKeys(), false);
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
    AttachedDevice* key = editedKey();
    const auto& current = shownRecord(m_selectedKey);
    const EncodedCombination encoded = encodeCombination(current ? current->record : KeyRecord{}, taken->keys);
    m_lastCapture = {taken->codes, encoded.trace};
    emit combinationTaken(*taken, encoded.trace);
    if (!key)
        return;
    if (current && encoded.record == current->record) {
        // Names outside the key-name table, or the same keys again: the record stays, and so
        // does the text shown for it.
        emit keyChanged(m_selectedKey);
        return;
    }
    edit(encoded.record, taken->text);
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
    if (m_bindingKey)
        m_bindingKey->endBind();
    m_bindingKey = m_selected;
    if (!m_selected) {
        // Nothing to send to: waiting ten seconds for an answer would only mislead.
        QTimer::singleShot(0, this, [this] { emit bindRequestFailed(); });
        return;
    }
    m_bindCountdown = BindSeconds;
    m_bindTimer->start();
    m_selected->bind();
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
        if (m_bindingKey)
            m_bindingKey->endBind();
        m_bindingKey = nullptr;
        emit bindTimedOut();
    }
}

void DeviceSession::clearBindings()
{
    if (!m_selected) {
        QTimer::singleShot(0, this, [this] { emit clearRequestDone(false); });
        return;
    }
    m_selected->clearBindings();
}

}  // namespace tavrel
