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

history::HistoryDevice WriteHistory::deviceOf(const AttachedDevice* key) const
{
    const DeviceIdentity& identity = key->identity();
    const auto& keys = m_session.devices();
    const bool shared = std::any_of(keys.begin(), keys.end(), [key, &identity](const AttachedDevice* other) {
        return other != key && other->identity().serial == identity.serial;
    });
    return history::historyDevice(identity.serial, key->capabilities().decoded, shared, identity.id());
}

void WriteHistory::track(AttachedDevice* key)
{
    connect(key, &AttachedDevice::writeStarting, this, [this, key](const QList<int>& keys) { recordWrite(key, keys); });
}

std::vector<std::optional<KeyRecord>> WriteHistory::heldRecords(const AttachedDevice& key)
{
    std::vector<std::optional<KeyRecord>> records;
    for (int k = 0; k < key.assignments().shownKeys(); ++k)
        records.push_back(key.assignments().held(k));
    return records;
}

void WriteHistory::recordWrite(const AttachedDevice* key, const QList<int>& keys)
{
    if (!enabled())
        return;
    const history::HistoryDevice device = deviceOf(key);
    const std::vector<std::optional<KeyRecord>> held = heldRecords(*key);
    history::HistoryEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.program = m_program;
    entry.command = m_command;
    entry.device = device.id;
    entry.product = key->identity().product;
    entry.serial = key->identity().serial;
    entry.port = key->identity().id();
    const int limit = key->assignments().keyCount().value_or(KeySlots);
    for (const int k : keys) {
        const auto& record = key->assignments().at(k);
        if (k < 0 || k >= limit || !record)
            continue;
        const std::optional<KeyRecord> before = std::size_t(k) < held.size() ? held[std::size_t(k)] : std::nullopt;
        entry.keys.push_back({k, before, record->record});
    }
    if (entry.keys.empty())
        return;
    const IoResult appended = m_store.append(device.fileName(), history::entryLine(entry), history::KeptEntries);
    if (!appended.ok())
        emit failed(key->itemText(), appended);
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
