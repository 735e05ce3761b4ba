#include "session/deviceeditor.h"

#include "config/combination.h"
#include "session/devicesession.h"

#include <QTimer>
#include <algorithm>

namespace tavrel {

int repollDelayMs(int silentRounds)
{
    if (silentRounds < RepollSteadyRounds)
        return RepollMs;
    const int doublings = std::min(silentRounds - RepollSteadyRounds + 1, 16);
    return int(std::min<qint64>(qint64(RepollMs) << doublings, RepollMaxMs));
}

DeviceEditor::DeviceEditor(DeviceSession& session, QObject* parent) : QObject(parent), m_session(session)
{
    m_repoll = new QTimer(this);
    m_repoll->setInterval(RepollMs);
    m_repoll->setTimerType(Qt::PreciseTimer);
    m_repoll->setObjectName(QStringLiteral("RepollTimer"));
    connect(m_repoll, &QTimer::timeout, this, &DeviceEditor::repoll);
    // Connected before the window's own handlers of the list: the selection is settled when
    // they run.
    connect(&m_session, &DeviceSession::devicesChanged, this, &DeviceEditor::followDevices);
    followDevices();
}

// ---------------------------------------------------------------------------------------------
// The selected device

int DeviceEditor::selectedIndex() const
{
    return m_session.indexOf(m_selected);
}

void DeviceEditor::followDevices()
{
    // The selected device went: what it was doing ended before the list changed.
    if (m_selected && m_session.indexOf(m_selected) < 0) {
        m_selected->disconnect(this);
        m_selected = nullptr;
        m_selectedKey = -1;
        m_capture.reset();
        emit receivedCleared();
    }
    const auto& devices = m_session.devices();
    if (!m_selected && !devices.empty()) {
        select(devices.front(), true);
    } else if (devices.empty()) {
        m_repoll->stop();
        m_selectedKey = -1;
        m_capture.reset();
    }
    setBusy();
}

void DeviceEditor::selectDevice(int index)
{
    const auto& devices = m_session.devices();
    if (index < 0 || index >= int(devices.size()) || devices[std::size_t(index)] == m_selected
        || (m_selected && m_selected->writing()))
        return;
    select(devices[std::size_t(index)], false);
}

void DeviceEditor::select(AttachedDevice* device, bool byDeviceChange)
{
    if (m_selected) {
        m_selected->disconnect(this);
        if (m_watchesInput)
            m_session.watchInput(m_selected, false);
        emit receivedCleared();
    }
    m_selected = device;
    if (m_watchesInput)
        m_session.watchInput(device, true);
    m_selectedByChange = byDeviceChange;
    m_capture.reset();
    m_selectedKey = shownKeys() > 0 ? 0 : -1;
    connectSelected();
    emit deviceSelected();
    device->read(AttachedDevice::ReadKind::Automatic);
    m_silentRounds = 0;
    m_repoll->setInterval(RepollMs);
    if (!device->answered())
        m_repoll->start();
    else
        m_repoll->stop();
    setBusy();
}

void DeviceEditor::connectSelected()
{
    AttachedDevice* device = m_selected;
    // A combination half pressed before the device's records came does not carry into them.
    connect(device, &AttachedDevice::answerTaken, this, [this] { m_capture.reset(); });
    connect(device, &AttachedDevice::keyCountChanged, this, [this] {
        if (!validKey(m_selectedKey) || m_selectedKey >= shownKeys())
            m_selectedKey = shownKeys() > 0 ? 0 : -1;
        emit keyCountChanged();
    });
    connect(device, &AttachedDevice::stateChanged, this, [this] {
        if (m_selected && m_selected->answered())
            m_repoll->stop();
        setBusy();
    });
    // A device that sends anything is there after all: the re-poll takes up its pace again.
    connect(device, &AttachedDevice::reportReceived, this, [this] {
        if (m_silentRounds == 0)
            return;
        m_silentRounds = 0;
        if (m_repoll->interval() != RepollMs)
            m_repoll->setInterval(RepollMs);
    });
}

void DeviceEditor::setWatchesInput(bool on)
{
    if (on == m_watchesInput)
        return;
    m_watchesInput = on;
    if (m_selected)
        m_session.watchInput(m_selected, on);
}

bool DeviceEditor::mousePageShown() const
{
    if (!m_selected)
        return false;
    const DeviceCapabilities& caps = m_selected->capabilities();
    return m_selectedByChange ? caps.mousePageAtChange : caps.triggerChoice;
}

bool DeviceEditor::triggerGroupsShown() const
{
    return m_selected && m_selected->capabilities().triggerChoice;
}

void DeviceEditor::setBusy()
{
    const bool now = busy();
    if (now != m_wasBusy) {
        m_wasBusy = now;
        emit busyChanged(now);
    }
}

// ---------------------------------------------------------------------------------------------
// The re-poll

bool DeviceEditor::repolling() const
{
    return m_repoll->isActive();
}

void DeviceEditor::repoll()
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

// ---------------------------------------------------------------------------------------------
// Editing the key being edited

int DeviceEditor::shownKeys() const
{
    return m_selected ? m_selected->assignments().shownKeys() : 0;
}

const std::optional<StoredRecord>& DeviceEditor::shownRecord(int key) const
{
    static const std::optional<StoredRecord> none;
    return m_selected ? m_selected->assignments().at(key) : none;
}

void DeviceEditor::selectKey(int key)
{
    if (!validKey(key) || key >= shownKeys())
        key = -1;
    if (key != m_selectedKey)
        m_capture.reset();
    m_selectedKey = key;
    emit keySelected(key);
}

AttachedDevice* DeviceEditor::editedDevice() const
{
    return m_selected && validKey(m_selectedKey) ? m_selected.data() : nullptr;
}

void DeviceEditor::edit(const KeyRecord& record, const QString& text)
{
    AttachedDevice* device = editedDevice();
    if (!device)
        return;
    // A choice that changes nothing leaves the record as the device holds it, answers included.
    const auto& current = device->assignments().at(m_selectedKey);
    if (current && current->record == record && (text.isEmpty() || text == current->text))
        return;
    device->setRecord(m_selectedKey, record, RecordOrigin::Edited, text);
}

void DeviceEditor::useKeyboard()
{
    const auto& current = shownRecord(m_selectedKey);
    // Any record that is not a keyboard one (a mouse mode, or a mode this program does not know)
    // becomes an empty keyboard key: the page then shows what the record holds.
    if (current && !isMouseMode(current->record.mode))
        return;
    edit(KeyRecord{0, 0, 0, 0, ModeKeyboardSingle});
}

void DeviceEditor::useMouse()
{
    const auto& current = shownRecord(m_selectedKey);
    if (current && isMouseMode(current->record.mode))
        return;
    m_capture.reset();
    edit(KeyRecord{MouseLeft, 0, 0, 0, ModeMouseSingle});
}

void DeviceEditor::setMouseButton(quint8 button)
{
    const auto& current = shownRecord(m_selectedKey);
    if (!current || !isMouseMode(current->record.mode))
        return;
    KeyRecord record = current->record;
    record.modifiers = button;
    edit(record);
}

void DeviceEditor::setRepeat(bool repeat)
{
    const auto& current = shownRecord(m_selectedKey);
    KeyRecord record = current ? current->record : KeyRecord{};
    record.mode = modeFor(isMouseMode(record.mode), repeat);
    edit(record, current ? current->text : QString());
}

// ---------------------------------------------------------------------------------------------
// Capture

void DeviceEditor::startCapture()
{
    m_capture.reset();
    m_capturing = true;
}

void DeviceEditor::captureKey(const KeyEvent& event)
{
    if (!m_capturing)
        return;
    const std::optional<TakenCombination> taken = m_capture.handle(event);
    if (!taken)
        return;
    AttachedDevice* device = editedDevice();
    const auto& current = shownRecord(m_selectedKey);
    const EncodedCombination encoded = encodeCombination(current ? current->record : KeyRecord{}, taken->keys);
    m_lastCapture = {taken->codes, encoded.trace};
    emit combinationTaken(*taken, encoded.trace);
    if (!device)
        return;
    if (current && encoded.record == current->record) {
        // Names outside the key-name table, or the same keys again: the record stays, and so
        // does the text shown for it.
        emit combinationKept(m_selectedKey);
        return;
    }
    edit(encoded.record, taken->text);
}

void DeviceEditor::stopCapture()
{
    m_capturing = false;
    m_capture.reset();
}

}  // namespace tavrel
