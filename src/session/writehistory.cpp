#include "session/writehistory.h"

#include "session/attacheddevice.h"
#include "session/devicesession.h"

#include <algorithm>

namespace tavrel {

WriteHistory::WriteHistory(const DeviceSession& session, QObject* parent)
    : QObject(parent), m_session(session), m_store(platform::HistoryStore::defaultFolder())
{
}

bool WriteHistory::enabled()
{
    return qEnvironmentVariable("TAVREL_HISTORY") != QLatin1String("0");
}

void WriteHistory::setCommand(const QString& program, const QString& command)
{
    m_program = program;
    m_command = command;
}

history::HistoryDevice WriteHistory::deviceOf(const AttachedDevice* device) const
{
    const DeviceIdentity& identity = device->identity();
    const auto& devices = m_session.devices();
    const bool shared = std::any_of(devices.begin(), devices.end(), [device, &identity](const AttachedDevice* other) {
        return other != device && other->identity().serial == identity.serial;
    });
    return history::historyDevice(identity.serial, device->capabilities().decoded, shared, identity.id());
}

void WriteHistory::track(AttachedDevice* device)
{
    connect(device, &AttachedDevice::writeStarting, this,
            [this, device](const QList<int>& keys) { recordWrite(device, keys); });
}

std::vector<std::optional<KeyRecord>> WriteHistory::heldRecords(const AttachedDevice& device)
{
    std::vector<std::optional<KeyRecord>> records;
    for (int k = 0; k < device.assignments().shownKeys(); ++k)
        records.push_back(device.assignments().held(k));
    return records;
}

void WriteHistory::recordWrite(const AttachedDevice* device, const QList<int>& keys)
{
    if (!enabled())
        return;
    const history::HistoryDevice historyDevice = deviceOf(device);
    const std::vector<std::optional<KeyRecord>> held = heldRecords(*device);
    history::HistoryEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.program = m_program;
    entry.command = m_command;
    entry.device = historyDevice.id;
    entry.product = device->identity().product;
    entry.serial = device->identity().serial;
    entry.port = device->identity().id();
    const int limit = device->assignments().keyCount().value_or(KeySlots);
    for (const int k : keys) {
        const auto& record = device->assignments().at(k);
        if (k < 0 || k >= limit || !record)
            continue;
        const std::optional<KeyRecord> before = std::size_t(k) < held.size() ? held[std::size_t(k)] : std::nullopt;
        entry.keys.push_back({k, before, record->record});
    }
    if (entry.keys.empty())
        return;
    const IoResult appended = m_store.append(historyDevice.fileName(), history::entryLine(entry), history::KeptEntries);
    if (!appended.ok())
        emit failed(device->itemText(), appended);
}

WriteHistory::Entries WriteHistory::entries(const history::HistoryDevice& device) const
{
    return entriesIn(device.fileName());
}

WriteHistory::Entries WriteHistory::entriesIn(const QString& fileName) const
{
    const platform::HistoryStore::Read file = m_store.read(fileName);
    if (!file.outcome.ok())
        return {file.outcome, {}};
    history::HistoryText text = history::readHistoryText(file.bytes);
    // The file may hold a few more than a history keeps until it is trimmed.
    const auto extra = qsizetype(text.entries.size()) - history::KeptEntries;
    if (extra > 0)
        text.entries.erase(text.entries.begin(), text.entries.begin() + extra);
    return {IoResult::success(), std::move(text)};
}

}  // namespace tavrel
