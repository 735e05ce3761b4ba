#pragma once
// The write history of every device this session holds: each write of a key, whoever asks for
// it, adds an entry to its device's history before it sends anything, with the records the device
// held and those written, and what asked for the write. A history that cannot be written is
// announced and never stops the write. TAVREL_HISTORY=0 turns the history off.

#include "config/historyentry.h"
#include "platform/historystore.h"

#include <QList>
#include <QObject>
#include <optional>
#include <vector>

namespace tavrel {

class AttachedDevice;
class DeviceSession;

class WriteHistory : public QObject {
    Q_OBJECT
public:
    // For the devices of `session`, in the folder of HistoryStore::defaultFolder().
    explicit WriteHistory(const DeviceSession& session, QObject* parent = nullptr);

    // Off when the environment variable TAVREL_HISTORY is "0".
    static bool enabled();
    const platform::HistoryStore& store() const { return m_store; }

    // What the entries from now on say made them: the program ("tavrel", "tavrelctl") and what it
    // was asked ("write", "set 3 ctrl+b").
    void setCommand(const QString& program, const QString& command);
    const QString& command() const { return m_command; }

    // Who `device`'s history belongs to, among the devices attached now.
    history::HistoryDevice deviceOf(const AttachedDevice* device) const;

    // Adds an entry for each write of `device`, until it goes.
    void track(AttachedDevice* device);

    // Adds the entry of a write of `keys` (0-based) of `device` that is about to send: of the keys
    // it holds a record for. Does nothing while the history is off.
    void recordWrite(const AttachedDevice* device, const QList<int>& keys);

    struct Entries {
        IoResult outcome = IoResult::success();
        history::HistoryText text;
    };
    Entries entries(const history::HistoryDevice& device) const;
    Entries entriesIn(const QString& fileName) const;

    // Per key index the record `device` holds as far as this program knows: read from it, written
    // to it by this program or another, not an edit that was not written.
    static std::vector<std::optional<KeyRecord>> heldRecords(const AttachedDevice& device);

signals:
    // The history of the device `itemText` names could not be written; the write went on.
    void failed(const QString& itemText, const tavrel::IoResult& outcome);

private:
    const DeviceSession& m_session;
    platform::HistoryStore m_store;
    QString m_program = QStringLiteral("tavrel");
    QString m_command = QStringLiteral("write");
};

}  // namespace tavrel
