#include "ctl/commands.h"

#include "config/configfile.h"
#include "config/terminaltext.h"
#include "ctl/output.h"
#include "ctl/sessiondriver.h"
#include "devices/capabilities.h"
#include "platform/userfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <exception>

namespace tavrel::ctl {
namespace {

// How long `list` waits for a key's first answer, which tells its number of keys.
constexpr int ListAnswerMs = 1500;

using Result = std::optional<Failure>;

bool offersPairing(const QString& serial)
{
    try {
        return hasPairing(serial);
    } catch (const std::exception&) {
        return false;
    }
}

std::vector<Candidate> candidates(const std::vector<SessionDevice>& listed)
{
    std::vector<Candidate> result;
    for (const SessionDevice& d : listed)
        result.push_back({d.serial, offersPairing(d.serial)});
    return result;
}

class Commands {
public:
    Commands(const Command& command, DeviceSession& session, QTextStream& out, QTextStream& err)
        : m_command(command), m_driver(session), m_session(session), m_out(out), m_err(err)
    {
    }

    Result run()
    {
        // What can be refused without a key is refused before any key is looked at.
        std::optional<configfile::ConfigFile> config;
        if (m_command.verb == Verb::Restore) {
            auto loaded = loadFile();
            if (const Failure* failure = std::get_if<Failure>(&loaded))
                return *failure;
            config = std::move(std::get<configfile::ConfigFile>(loaded));
        }
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
        }
        return std::nullopt;
    }

private:
    // The key the command names, or the only one.
    std::variant<int, Failure> target(bool receiver = false)
    {
        const auto picked = pickDevice(candidates(m_driver.devices()), m_command.device, receiver);
        if (const int* index = std::get_if<int>(&picked); index && receiver && !m_command.device.isEmpty() &&
                                                          !offersPairing(m_driver.devices()[std::size_t(*index)].serial)) {
            return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "%1 is not a receiver: it offers no "
                                                                                  "pairing.")
                                             .arg(m_driver.nameOf(*index)));
        }
        return picked;
    }

    void print(const QStringList& lines)
    {
        for (const QString& line : lines)
            m_out << terminalSafe(line) << '\n';
        m_out.flush();
    }

    Result list()
    {
        // Copied: a key plugged in meanwhile rebuilds the session's list.
        const std::vector<SessionDevice> listed = m_driver.devices();
        std::vector<ListedKey> keys;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            const SessionDevice& d = listed[i];
            ListedKey k{int(i), d.product, d.serial, d.wireless, d.canWrite, d.accessError, std::nullopt};
            if (d.canWrite)
                k.keyCount = m_driver.keyCount(int(i), ListAnswerMs);
            keys.push_back(k);
        }
        print(listLines(keys));
        return std::nullopt;
    }

    // Picks the key and reads it.
    std::variant<int, Failure> readTarget()
    {
        const auto picked = target();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        const int index = std::get<int>(picked);
        if (auto failure = m_driver.read(index))
            return *failure;
        return index;
    }

    Result show()
    {
        const auto picked = readTarget();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        const SessionDevice& device = m_driver.devices()[std::size_t(std::get<int>(picked))];
        const std::vector<KeyRecord> records = m_session.records();
        if (m_command.json)
            m_out << QString::fromUtf8(configfile::serialize(records, device.serial, device.product));
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
        const int index = std::get<int>(picked);
        const QString name = m_driver.nameOf(index);
        const int keys = m_session.table().KeyCount;
        const int key = m_command.key - 1;
        if (key >= keys) {
            return Failure(ExitUsage, QCoreApplication::translate("tavrelctl", "%1 has %2 keys: there is no key %3.")
                                          .arg(name)
                                          .arg(keys)
                                          .arg(m_command.key));
        }
        const KeyRecord before = recordOf(m_session.table(), key);
        const AssignmentResult parsed =
            parseAssignment(m_command.assignment, m_command.repeat.value_or(isRepeatMode(before.mode)));
        if (const AssignmentError* error = std::get_if<AssignmentError>(&parsed))
            return Failure(ExitUsage, error->reason);
        const KeyRecord after = std::get<KeyRecord>(parsed);
        // What the window offers this key, the command line offers too.
        const bool choices = m_session.capabilities().triggerGroups;
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
        m_session.setRecord(key, after);
        const WriteOutcome outcome = m_driver.write({key});
        if (!outcome.complete()) {
            return Failure(ExitDeviceFailed, QCoreApplication::translate("tavrelctl", "%1: key %2 was not written.")
                                                 .arg(name)
                                                 .arg(m_command.key));
        }
        print({QCoreApplication::translate("tavrelctl", "Key %1 of %2 is now %3.").arg(m_command.key).arg(name, described)});
        return std::nullopt;
    }

    Result backup()
    {
        const auto picked = readTarget();
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        const int index = std::get<int>(picked);
        const SessionDevice& device = m_driver.devices()[std::size_t(index)];
        const std::vector<KeyRecord> records = m_session.records();
        const FileOutcome saved = platform::writeUserFile(QFile::encodeName(m_command.file).toStdString(),
                                                          configfile::serialize(records, device.serial, device.product));
        if (!saved.ok()) {
            return Failure(ExitBadFile, QCoreApplication::translate("tavrelctl", "%1 cannot be written: %2")
                                            .arg(m_command.file, fileFaultText(saved)));
        }
        print({QCoreApplication::translate("tavrelctl", "Saved %1 keys of %2 to %3.")
                   .arg(records.size())
                   .arg(m_driver.nameOf(index), m_command.file)});
        return std::nullopt;
    }

    // The file to restore, with every fault that does not depend on a device.
    std::variant<configfile::ConfigFile, Failure> loadFile()
    {
        const platform::FileRead file =
            platform::readUserFile(QFile::encodeName(m_command.file).toStdString(), configfile::MaxFileBytes);
        if (!file.outcome.ok()) {
            return Failure(ExitBadFile, QCoreApplication::translate("tavrelctl", "%1 cannot be read: %2")
                                            .arg(m_command.file, fileFaultText(file.outcome)));
        }
        auto parsed = configfile::parse(file.bytes);
        if (const auto* errors = std::get_if<configfile::FileErrors>(&parsed))
            return Failure(ExitBadFile, fileErrorLines(m_command.file, *errors));
        const auto whole = configfile::validateFor(std::get<configfile::ConfigFile>(parsed), configfile::MaxKeys, false);
        if (const auto* errors = std::get_if<configfile::FileErrors>(&whole))
            return Failure(ExitBadFile, fileErrorLines(m_command.file, *errors));
        return std::move(std::get<configfile::ConfigFile>(parsed));
    }

    Result restore(const configfile::ConfigFile& config)
    {
        int fileKeys = 0;
        for (const configfile::KeyEntry& e : config.keys)
            fileKeys = std::max(fileKeys, e.key);

        if (!m_command.all) {
            const auto picked = target();
            if (const Failure* failure = std::get_if<Failure>(&picked))
                return *failure;
            return restoreTo(std::get<int>(picked), config, QString());
        }

        // Serials: a key unplugged on the way changes the indexes.
        QStringList serials;
        for (const SessionDevice& d : m_driver.devices())
            serials << d.serial;
        if (serials.isEmpty())
            return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "No key is attached."));
        std::optional<Failure> first;
        int written = 0;
        for (qsizetype n = 0; n < serials.size(); ++n) {
            const QString step = QStringLiteral("[%1/%2] ").arg(n + 1).arg(serials.size());
            const int index = indexOf(serials[n]);
            std::optional<Failure> failure;
            if (index < 0) {
                failure = Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "SN:%1 was unplugged.")
                                                    .arg(serials[n]));
            } else {
                failure = restoreTo(index, config, step, fileKeys, &written);
            }
            if (failure) {
                for (const QString& line : failure->lines)
                    m_err << "tavrelctl: " << step << terminalSafe(line) << '\n';
                m_err.flush();
                if (!first)
                    first = failure;
            }
        }
        if (first) {
            return Failure(first->code, QCoreApplication::translate("tavrelctl", "%1 of %2 devices were not restored.")
                                            .arg(serials.size() - written - m_skipped)
                                            .arg(serials.size()));
        }
        if (written == 0) {
            return Failure(ExitNoDevice,
                           QCoreApplication::translate("tavrelctl", "No attached key has %1 keys as the file does; "
                                                                    "--fit writes the keys that fit.")
                               .arg(fileKeys));
        }
        return std::nullopt;
    }

    int indexOf(const QString& serial) const
    {
        const auto& listed = m_driver.devices();
        for (std::size_t i = 0; i < listed.size(); ++i)
            if (listed[i].serial == serial)
                return int(i);
        return -1;
    }

    // Writes the file to one key. With --all (`written` given), a key with another number of
    // keys is passed over unless --fit.
    Result restoreTo(int index, const configfile::ConfigFile& config, const QString& step, int fileKeys = 0,
                     int* written = nullptr)
    {
        const QString name = m_driver.nameOf(index);
        if (auto failure = m_driver.read(index))
            return failure;
        const int keys = m_session.table().KeyCount;
        if (written && !m_command.fit && keys != fileKeys) {
            ++m_skipped;
            print({step + QCoreApplication::translate("tavrelctl", "%1: passed over: it has %2 keys, the file %3 "
                                                                   "(--fit writes the keys that fit).")
                              .arg(name)
                              .arg(keys)
                              .arg(fileKeys)});
            return std::nullopt;
        }
        const auto planned = configfile::validateFor(config, keys, m_command.fit);
        if (const auto* errors = std::get_if<configfile::FileErrors>(&planned)) {
            QStringList lines = fileErrorLines(m_command.file, *errors);
            lines << QCoreApplication::translate("tavrelctl", "Nothing was written to %1.").arg(name);
            return Failure(ExitBadFile, lines);
        }
        const configfile::RestorePlan& plan = std::get<configfile::RestorePlan>(planned);
        QList<int> chosen;
        for (const configfile::KeyEntry& e : plan.write) {
            m_session.setRecord(e.key - 1, e.record);
            chosen << e.key - 1;
        }
        const WriteOutcome outcome = m_driver.write(chosen);
        if (!outcome.complete()) {
            return Failure(ExitDeviceFailed, QCoreApplication::translate("tavrelctl", "%1: %2 not written.")
                                                 .arg(name, keysText(outcome.notWritten)));
        }
        if (written)
            ++*written;
        QString line;
        if (plan.skipped.empty()) {
            line = QCoreApplication::translate("tavrelctl", "%1: %2 keys written.").arg(name, QString::number(chosen.size()));
        } else {
            QList<int> left;
            for (const configfile::KeyEntry& e : plan.skipped)
                left << e.key - 1;
            line = QCoreApplication::translate("tavrelctl", "%1: %2 keys written. The file's %3 left out: the key has %4.")
                       .arg(name, QString::number(chosen.size()), keysText(left), QString::number(keys));
        }
        print({step + line});
        return std::nullopt;
    }

    Result bind()
    {
        const auto picked = target(true);
        if (const Failure* failure = std::get_if<Failure>(&picked))
            return *failure;
        const int index = std::get<int>(picked);
        print({QCoreApplication::translate("tavrelctl", "Press any key of the transmitter within 10 seconds.")});
        const auto answered = m_driver.bind(index);
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
        const int index = std::get<int>(picked);
        if (auto failure = m_driver.unbind(index))
            return failure;
        print({QCoreApplication::translate("tavrelctl", "Cleared every binding of %1: it takes every transmitter now.")
                   .arg(m_driver.nameOf(index))});
        return std::nullopt;
    }

    const Command& m_command;
    SessionDriver m_driver;
    DeviceSession& m_session;
    QTextStream& m_out;
    QTextStream& m_err;
    int m_skipped = 0;
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
