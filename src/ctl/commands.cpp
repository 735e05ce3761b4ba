#include "ctl/commands.h"

#include "config/configfile.h"
#include "config/terminaltext.h"
#include "ctl/output.h"
#include "ctl/sessiondriver.h"
#include "ctl/watch.h"
#include "platform/filefailure.h"
#include "platform/userfile.h"
#include "session/writehistory.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTextStream>
#include <algorithm>

namespace tavrel::ctl {
namespace {

// How long `list` waits for a device's first answer, which tells its number of keys.
constexpr int ListAnswerMs = 1500;

using Result = std::optional<Failure>;

std::vector<Candidate> candidates(const std::vector<AttachedDevice*>& devices)
{
    std::vector<Candidate> result;
    for (const AttachedDevice* device : devices)
        result.push_back({device->identity().id(), device->identity().serial, device->capabilities().pairing});
    return result;
}

class Commands {
public:
    Commands(const Command& command, DeviceSession& session, QTextStream& out, QTextStream& err)
        : m_command(command), m_driver(session), m_out(out), m_err(err)
    {
        m_driver.setNoteHandler([this](const QString& line) { note(line); });
        // Every write this command makes is an entry; one that cannot be written is said, and
        // the write goes on.
        WriteHistory* history = session.history();
        history->setCommand(QStringLiteral("tavrelctl"), command.typed);
        QObject::connect(
            history, &WriteHistory::failed, &m_driver, [this, history](const QString& item, const IoResult& outcome) {
                note(QCoreApplication::translate("tavrelctl",
                                                 "The write history of %1 could not be written in %2: %3. The "
                                                 "write went on without it.")
                         .arg(terminalSafe(item), QFile::decodeName(history->store().folder().c_str()),
                              fileFailureText(outcome)));
            });
    }

    Result run()
    {
        // What can be refused without a device is refused before any device is looked at.
        std::optional<configfile::ConfigFile> config;
        if (m_command.verb == Verb::Restore) {
            auto loaded = loadFile();
            if (const Failure* failure = std::get_if<Failure>(&loaded))
                return *failure;
            config = std::move(std::get<configfile::ConfigFile>(loaded));
        }
        if (m_command.verb == Verb::History && m_command.device.isEmpty())
            return historyOfAll();
        if (m_command.verb == Verb::Set) {
            const AssignmentResult parsed = parseAssignment(m_command.assignment, false);
            if (const AssignmentError* error = std::get_if<AssignmentError>(&parsed))
                return Failure(ExitUsage, error->reason);
        }
        if (auto failure = m_driver.start())
            return failure;
        switch (m_command.verb) {
        case Verb::Help:
            break;
        case Verb::List:
            return list();
        case Verb::Show:
            return show();
        case Verb::Set:
            return set();
        case Verb::Backup:
            return backup();
        case Verb::Restore:
            return restore(*config);
        case Verb::Bind:
            return bind();
        case Verb::Unbind:
            return unbind();
        case Verb::Watch:
            return watch();
        case Verb::History:
            return history();
        case Verb::Undo:
            return undo();
        }
        return std::nullopt;
    }

private:
    // The device the command names, or the only one.
    std::variant<AttachedDevice*, Failure> target(bool receiver = false)
    {
        const auto& devices = m_driver.devices();
        const auto picked = pickDevice(candidates(devices), m_command.device, receiver);
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        AttachedDevice* device = devices[std::size_t(std::get<int>(picked))];
        if (receiver && !device->capabilities().pairing) {
            return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 is not a receiver: it offers no "
                                                                                  "pairing.")
                                             .arg(SessionDriver::nameOf(device)));
        }
        return device;
    }

    // A line on standard error that does not end the command.
    void note(const QString& line)
    {
        m_err << "tavrelctl: " << terminalSafe(line) << '\n';
        m_err.flush();
    }

    void print(const QStringList& lines)
    {
        for (const QString& line : lines)
            m_out << terminalSafe(line) << '\n';
        m_out.flush();
    }

    Result list()
    {
        // Every device is asked at once; a device plugged in meanwhile is not listed.
        const std::vector<QPointer<AttachedDevice>> devices(m_driver.devices().begin(), m_driver.devices().end());
        std::vector<ListedDevice> listed;
        int waiting = 0;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            const AttachedDevice* device = devices[i];
            listed.push_back({int(i), device->identity().id(), device->identity().product, device->identity().serial,
                              device->capabilities(), device->canWrite(), device->accessError(), std::nullopt});
        }
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (!listed[i].openable)
                continue;
            ++waiting;
            m_driver.keyCount(devices[i], ListAnswerMs, [&listed, &waiting, i](std::optional<int> count) {
                listed[i].keyCount = count;
                --waiting;
            });
        }
        m_driver.waitFor([&] { return waiting == 0; }, ListAnswerMs + 1000);
        print(listLines(listed));
        return std::nullopt;
    }

    // Picks the device and reads it.
    std::variant<AttachedDevice*, Failure> readTarget()
    {
        const auto picked = target();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        AttachedDevice* device = std::get<AttachedDevice*>(picked);
        if (auto failure = m_driver.read(device))
            return *failure;
        return device;
    }

    Result show()
    {
        const auto picked = readTarget();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        const AttachedDevice& device = *std::get<AttachedDevice*>(picked);
        const std::vector<KeyRecord> records = device.assignments().records();
        if (m_command.json)
            m_out << QString::fromUtf8(
                configfile::serialize(records, device.identity().serial, device.identity().product));
        else
            print(keyLines(records));
        m_out.flush();
        return std::nullopt;
    }

    Result set()
    {
        const auto picked = readTarget();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        AttachedDevice* target = std::get<AttachedDevice*>(picked);
        const QString name = SessionDriver::nameOf(target);
        const int keys = target->assignments().shownKeys();
        const int key = m_command.key - 1;
        if (key >= keys) {
            return Failure(ExitUsage, QCoreApplication::translate("tavrelctl", "%1 has %2 keys: there is no key %3.")
                                          .arg(name)
                                          .arg(keys)
                                          .arg(m_command.key));
        }
        const KeyRecord before = target->assignments().at(key) ? target->assignments().at(key)->record : KeyRecord{};
        const AssignmentResult parsed =
            parseAssignment(m_command.assignment, m_command.repeat.value_or(isRepeatMode(before.mode)));
        if (const AssignmentError* error = std::get_if<AssignmentError>(&parsed))
            return Failure(ExitUsage, error->reason);
        const KeyRecord after = std::get<KeyRecord>(parsed);
        // What the window offers this key, the command line offers too.
        const bool choices = target->capabilities().triggerChoice;
        if (isMouseMode(after.mode) && !choices) {
            return Failure(ExitUsage,
                           QCoreApplication::translate("tavrelctl", "%1 offers no mouse buttons.").arg(name));
        }
        if (m_command.repeat && !choices) {
            return Failure(ExitUsage,
                           QCoreApplication::translate("tavrelctl", "%1 offers no choice of trigger.").arg(name));
        }
        const QString described = QStringLiteral("%1 (%2)").arg(assignmentText(after), triggerText(after.mode));
        if (after == before) {
            print({QCoreApplication::translate("tavrelctl", "Key %1 of %2 holds %3 already: nothing was written.")
                       .arg(m_command.key)
                       .arg(name, described)});
            return std::nullopt;
        }
        target->setRecord(key, after, RecordOrigin::Edited);
        if (auto failure = writeAndWait(target, {key}))
            return failure;
        print({QCoreApplication::translate("tavrelctl", "Key %1 of %2 is now %3.")
                   .arg(m_command.key)
                   .arg(name, described)});
        return std::nullopt;
    }

    // Writes the keys and says which were not written, and why.
    Result writeAndWait(AttachedDevice* device, const QList<int>& keys)
    {
        const QString name = SessionDriver::nameOf(device);
        std::optional<Result> outcome;
        m_driver.write(device, keys,
                       [&](const WriteOutcome& written, bool gone) { outcome = notWritten(name, written, gone); });
        if (!m_driver.waitFor([&] { return outcome.has_value(); }, SessionDriver::WriteLimitMs))
            return notWritten(name, WriteOutcome{keys}, false);
        return *outcome;
    }

    static Result notWritten(const QString& name, const WriteOutcome& outcome, bool gone)
    {
        if (outcome.complete())
            return std::nullopt;
        if (gone) {
            return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 was unplugged: %2 not written.")
                                             .arg(name, keysText(outcome.notWritten)));
        }
        if (outcome.otherWriter) {
            return Failure(ExitDeviceFailed,
                           QCoreApplication::translate("tavrelctl", "%1: another Tavrel program kept writing it: %2 "
                                                                    "not written.")
                               .arg(name, keysText(outcome.notWritten)));
        }
        return Failure(ExitDeviceFailed, QCoreApplication::translate("tavrelctl", "%1: %2 not written.")
                                             .arg(name, keysText(outcome.notWritten)));
    }

    Result backup()
    {
        const auto picked = readTarget();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        const AttachedDevice& device = *std::get<AttachedDevice*>(picked);
        const std::vector<KeyRecord> records = device.assignments().records();
        const IoResult saved = platform::writeUserFile(QFile::encodeName(m_command.file).toStdString(),
                                                       configfile::serialize(records, device.identity().serial,
                                                                             device.identity().product));
        if (!saved.ok())
            return fileWriteFailure(m_command.file, saved);
        print({QCoreApplication::translate("tavrelctl", "Saved %1 keys of %2 to %3.")
                   .arg(records.size())
                   .arg(SessionDriver::nameOf(&device), m_command.file)});
        return std::nullopt;
    }

    // The file to restore, with every fault that does not depend on a device.
    std::variant<configfile::ConfigFile, Failure> loadFile()
    {
        const platform::FileRead file =
            platform::readUserFile(QFile::encodeName(m_command.file).toStdString(), configfile::MaxFileBytes);
        if (!file.outcome.ok())
            return fileReadFailure(m_command.file, file.outcome);
        auto parsed = configfile::parse(file.bytes);
        if (const auto* errors = std::get_if<configfile::FileErrors>(&parsed))
            return Failure(ExitBadFile, fileErrorLines(m_command.file, *errors));
        const auto whole =
            configfile::validateFor(std::get<configfile::ConfigFile>(parsed), configfile::MaxKeys, false);
        if (const auto* errors = std::get_if<configfile::FileErrors>(&whole))
            return Failure(ExitBadFile, fileErrorLines(m_command.file, *errors));
        return std::move(std::get<configfile::ConfigFile>(parsed));
    }

    // One device's restore as it goes: read, checked against the file, written.
    struct DeviceRestore {
        QPointer<AttachedDevice> device;
        QString name;
        bool done = false;
        std::optional<Failure> failure;
        QString line;  // what was done, for standard output
        bool written = false;
        bool passedOver = false;
    };

    Result restore(const configfile::ConfigFile& config)
    {
        int fileKeys = 0;
        for (const configfile::KeyEntry& e : config.keys)
            fileKeys = std::max(fileKeys, e.key);

        std::vector<DeviceRestore> restores;
        if (m_command.all) {
            for (AttachedDevice* device : m_driver.devices())
                restores.push_back(
                    DeviceRestore{device, SessionDriver::nameOf(device), false, std::nullopt, {}, false, false});
            if (restores.empty())
                return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "No device is attached."));
        } else {
            const auto picked = target();
            if (const Failure* failure = std::get_if<Failure>(&picked))
                return *failure;
            AttachedDevice* device = std::get<AttachedDevice*>(picked);
            restores.push_back(
                DeviceRestore{device, SessionDriver::nameOf(device), false, std::nullopt, {}, false, false});
        }
        // Every device at once, each at its own pace.
        for (DeviceRestore& r : restores)
            restoreTo(r, config, fileKeys);
        m_driver.waitFor(
            [&] {
                return std::all_of(restores.begin(), restores.end(), [](const DeviceRestore& r) { return r.done; });
            },
            SessionDriver::ReadLimitMs + SessionDriver::WriteLimitMs + 2000);

        if (!m_command.all) {
            DeviceRestore& r = restores.front();
            if (!r.done)
                r.failure = Failure(ExitDeviceFailed,
                                    QCoreApplication::translate("tavrelctl", "%1 did not answer.").arg(r.name));
            if (r.failure)
                return r.failure;
            print({r.line});
            return std::nullopt;
        }

        std::optional<Failure> first;
        int written = 0, passedOver = 0;
        const int count = int(restores.size());
        for (int n = 0; n < count; ++n) {
            DeviceRestore& r = restores[std::size_t(n)];
            const QString step = QStringLiteral("[%1/%2] ").arg(n + 1).arg(count);
            if (!r.done)
                r.failure = Failure(ExitDeviceFailed,
                                    QCoreApplication::translate("tavrelctl", "%1 did not answer.").arg(r.name));
            written += r.written;
            passedOver += r.passedOver;
            if (!r.line.isEmpty())
                print({step + r.line});
            if (r.failure) {
                for (const QString& line : r.failure->lines)
                    m_err << "tavrelctl: " << step << terminalSafe(line) << '\n';
                m_err.flush();
                if (!first)
                    first = r.failure;
            }
        }
        if (first) {
            return Failure(first->code, QCoreApplication::translate("tavrelctl", "%1 of %2 devices were not restored.")
                                            .arg(count - written - passedOver)
                                            .arg(count));
        }
        if (written == 0) {
            return Failure(ExitNoDevice,
                           QCoreApplication::translate("tavrelctl", "No attached device has %1 keys as the file does; "
                                                                    "--fit writes the keys that fit.")
                               .arg(fileKeys));
        }
        return std::nullopt;
    }

    // Starts the file's restore onto one device: read, checked, written; `r` says how it went once
    // r.done. With --all, a device with another number of keys is passed over unless --fit.
    void restoreTo(DeviceRestore& r, const configfile::ConfigFile& config, int fileKeys)
    {
        m_driver.read(r.device, [this, &r, &config, fileKeys](std::optional<Failure> failure) {
            if (failure || !r.device) {
                r.failure = failure ? failure : SessionDriver::unplugged(r.name);
                r.done = true;
                return;
            }
            const int keys = r.device->assignments().shownKeys();
            if (m_command.all && !m_command.fit && keys != fileKeys) {
                r.passedOver = true;
                r.line = QCoreApplication::translate("tavrelctl", "%1: passed over: it has %2 keys, the file %3 "
                                                                  "(--fit writes the keys that fit).")
                             .arg(r.name)
                             .arg(keys)
                             .arg(fileKeys);
                r.done = true;
                return;
            }
            const auto planned = configfile::validateFor(config, keys, m_command.fit);
            if (const auto* errors = std::get_if<configfile::FileErrors>(&planned)) {
                QStringList lines = fileErrorLines(m_command.file, *errors);
                lines << QCoreApplication::translate("tavrelctl", "Nothing was written to %1.").arg(r.name);
                r.failure = Failure(ExitBadFile, lines);
                r.done = true;
                return;
            }
            const configfile::RestorePlan plan = std::get<configfile::RestorePlan>(planned);
            QList<int> chosen;
            for (const configfile::KeyEntry& e : plan.write) {
                r.device->setRecord(e.key - 1, e.record, RecordOrigin::Loaded);
                chosen << e.key - 1;
            }
            m_driver.write(r.device, chosen, [&r, plan, chosen, keys](const WriteOutcome& outcome, bool gone) {
                r.done = true;
                r.failure = notWritten(r.name, outcome, gone);
                if (r.failure)
                    return;
                r.written = true;
                if (plan.skipped.empty()) {
                    r.line = QCoreApplication::translate("tavrelctl", "%1: %2 keys written.")
                                 .arg(r.name, QString::number(chosen.size()));
                    return;
                }
                QList<int> left;
                for (const configfile::KeyEntry& e : plan.skipped)
                    left << e.key - 1;
                r.line =
                    QCoreApplication::translate("tavrelctl", "%1: %2 keys written. The file's %3 left out: the device "
                                                             "has %4.")
                        .arg(r.name, QString::number(chosen.size()), keysText(left), QString::number(keys));
            });
        });
    }

    Result bind()
    {
        const auto picked = target(true);
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        AttachedDevice* device = std::get<AttachedDevice*>(picked);
        print({QCoreApplication::translate("tavrelctl", "Press any key of the transmitter within 10 seconds.")});
        const auto answered = m_driver.bind(device);
        if (const Failure* failure = std::get_if<Failure>(&answered))
            return *failure;
        print({pairingText(std::get<PairingResponse>(answered))});
        return std::nullopt;
    }

    Result unbind()
    {
        const auto picked = target(true);
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        AttachedDevice* device = std::get<AttachedDevice*>(picked);
        const QString name = SessionDriver::nameOf(device);
        if (auto failure = m_driver.unbind(device))
            return failure;
        print({QCoreApplication::translate("tavrelctl", "Cleared every binding of %1: it takes every transmitter now.")
                   .arg(name)});
        return std::nullopt;
    }

    // The entries of a device's history, with a note for each line passed over.
    std::variant<std::vector<history::HistoryEntry>, Failure> entriesOf(const history::HistoryDevice& device)
    {
        const WriteHistory* history = m_driver.session().history();
        const WriteHistory::Entries read = history->entries(device);
        const QString file =
            QFile::decodeName(history->store().folder().c_str()) + QLatin1Char('/') + device.fileName();
        if (!read.outcome.ok())
            return fileReadFailure(file, read.outcome);
        for (const int line : read.text.damagedLines)
            note(
                QCoreApplication::translate("tavrelctl", "%1:%2: not a whole entry; passed over.").arg(file).arg(line));
        return read.text.entries;
    }

    Result printHistory(const history::HistoryDevice& device, bool heading)
    {
        const auto read = entriesOf(device);
        if (const Failure* failure = std::get_if<Failure>(&read))
            return *failure;
        const auto& entries = std::get<std::vector<history::HistoryEntry>>(read);
        if (m_command.json) {
            print(historyJsonLines(device, entries));
            return std::nullopt;
        }
        if (heading)
            print({QString()});
        print(historyLines(device, entries));
        return std::nullopt;
    }

    // Every history there is, without asking the devices anything.
    Result historyOfAll()
    {
        const QStringList files = m_driver.session().history()->store().fileNames();
        if (files.isEmpty()) {
            print({QCoreApplication::translate("tavrelctl", "No write is in the history yet.")});
            return std::nullopt;
        }
        bool first = true;
        for (const QString& file : files) {
            const bool bySerial = file.startsWith(QLatin1String("serial-"));
            const auto read = m_driver.session().history()->entriesIn(file);
            // The id as the entries give it; the file name is only its escaped form.
            const QString id = read.text.entries.empty() ? file : read.text.entries.back().device;
            if (auto failure = printHistory({id, bySerial}, !std::exchange(first, false)))
                return failure;
        }
        return std::nullopt;
    }

    // The history --device names: that of an attached device, or one kept under that serial or id.
    Result history()
    {
        const auto& devices = m_driver.devices();
        const auto picked = pickDevice(candidates(devices), m_command.device);
        if (const int* index = std::get_if<int>(&picked))
            return printHistory(m_driver.session().history()->deviceOf(devices[std::size_t(*index)]), false);
        const WriteHistory* history = m_driver.session().history();
        for (const bool bySerial : {true, false}) {
            const history::HistoryDevice device{m_command.device, bySerial};
            if (history->store().fileNames().contains(device.fileName()))
                return printHistory(device, false);
        }
        if (std::get<Failure>(picked).code == ExitUsage)
            return std::get<Failure>(picked);
        return Failure(ExitNoDevice,
                       QCoreApplication::translate("tavrelctl", "No attached device and no history has the id, serial "
                                                                "or index \"%1\".")
                           .arg(m_command.device));
    }

    Result undo()
    {
        if (!WriteHistory::enabled()) {
            return Failure(ExitUsage, QCoreApplication::translate("tavrelctl", "The write history is off "
                                                                               "(TAVREL_HISTORY=0): nothing to undo."));
        }
        const auto picked = readTarget();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        AttachedDevice* device = std::get<AttachedDevice*>(picked);
        const QString name = SessionDriver::nameOf(device);
        const auto read = entriesOf(m_driver.session().history()->deviceOf(device));
        if (const Failure* failure = std::get_if<Failure>(&read))
            return *failure;
        const auto& entries = std::get<std::vector<history::HistoryEntry>>(read);
        // Numbered newest first; without a number, the latest entry that changed a key.
        int number = m_command.entry;
        if (number == 0) {
            const auto latest = std::find_if(entries.rbegin(), entries.rend(),
                                             [](const history::HistoryEntry& e) { return !e.changes().empty(); });
            if (latest == entries.rend()) {
                return Failure(ExitUsage,
                               QCoreApplication::translate("tavrelctl", "No write in the history of %1 changed a key: "
                                                                        "nothing to undo.")
                                   .arg(name));
            }
            number = int(latest - entries.rbegin()) + 1;
        }
        if (number > int(entries.size())) {
            return Failure(ExitUsage,
                           QCoreApplication::translate("tavrelctl", "The history of %1 holds %2 entries: there is no "
                                                                    "entry %3.")
                               .arg(name)
                               .arg(entries.size())
                               .arg(number));
        }
        const history::HistoryEntry& entry = entries[entries.size() - std::size_t(number)];
        const history::UndoPlan plan = history::planUndo(entry, WriteHistory::heldRecords(*device));
        if (!plan.differing.isEmpty() && !m_command.force) {
            QStringList lines{QCoreApplication::translate("tavrelctl", "Entry %1 cannot be undone: %2 of %3 changed "
                                                                       "since. Nothing was written; --force writes "
                                                                       "the records back anyway.")
                                  .arg(number)
                                  .arg(keysText(plan.differing), name)};
            return Failure(ExitUsage, lines);
        }
        if (!plan.unknown.isEmpty()) {
            note(QCoreApplication::translate("tavrelctl", "What %1 held before entry %2 is not known: left as it is.")
                     .arg(keysText(plan.unknown))
                     .arg(number));
        }
        if (plan.restore.empty()) {
            print({QCoreApplication::translate("tavrelctl", "Entry %1 of %2 changed no key that can be written back: "
                                                            "nothing was written.")
                       .arg(number)
                       .arg(name)});
            return std::nullopt;
        }
        QList<int> written;
        for (const history::KeyWrite& k : plan.restore) {
            device->setRecord(k.key, k.written, RecordOrigin::Edited);
            written << k.key;
        }
        if (auto failure = writeAndWait(device, written))
            return failure;
        QStringList lines;
        for (const history::KeyWrite& k : plan.restore)
            lines << QCoreApplication::translate("tavrelctl", "Key %1 of %2 is %3 again.")
                         .arg(k.key + 1)
                         .arg(name,
                              QStringLiteral("%1 (%2)").arg(assignmentText(k.written), triggerText(k.written.mode)));
        print(lines);
        return std::nullopt;
    }

    Result watch()
    {
        const auto picked = target();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        return watchDevice(std::get<AttachedDevice*>(picked), m_driver, m_command.json, m_out, m_err);
    }

    const Command& m_command;
    SessionDriver m_driver;
    QTextStream& m_out;
    QTextStream& m_err;
};

}  // namespace

int runCommand(const Command& command, DeviceSession& session, QTextStream& out, QTextStream& err)
{
    Commands commands(command, session, out, err);
    const Result failure = commands.run();
    if (!failure)
        return ExitOk;
    for (const QString& line : failure->lines)
        err << "tavrelctl: " << terminalSafe(line) << '\n';
    err.flush();
    return failure->code;
}

}  // namespace tavrel::ctl
