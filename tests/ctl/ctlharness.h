#pragma once
// Runs the real tavrelctl as a program against emulated devices: the key emulator serves the devices
// from a process of its own, takes its commands on standard input, and each tavrelctl run
// starts with umockdev's preload pointed at the emulator's testbed.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace tavrel::ctltest {

// The outcome of one tavrelctl run.
struct CtlRun {
    bool finished = false;  // false: it was killed after the time limit
    int exitCode = -1;
    QString out;
    QString err;
};
std::ostream& operator<<(std::ostream& os, const CtlRun& run);

class Emulator {
public:
    Emulator() = default;
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Starts the emulator with these keys (tavrel-keyemu --key FIELDS each; none: no key) and
    // waits until they are in place.
    bool start(const QStringList& keys, QString* why);

    // One emulator command; the reply after "ok", or none on "error" or no reply.
    std::optional<QString> command(const QString& line);
    // A reply that is a list, split at '|'.
    QStringList list(const QString& line);
    // The output reports the device's firmware took with this command byte.
    int received(const QString& name, quint8 command);

    // The folder tavrelctl runs in, for relative file names.
    void setCtlFolder(const QString& folder) { m_ctlFolder = folder; }
    // The locale variables tavrelctl runs with, as "NAME=value"; LC_ALL, LC_MESSAGES and LANG
    // that are not given are unset. By default LC_ALL=en_US.UTF-8: its messages in English.
    void setCtlLocale(const QStringList& variables) { m_ctlLocale = variables; }
    // XDG_STATE_HOME of every tavrelctl run: a folder of this emulator's own, so that tests side by
    // side keep their write histories apart.
    QString stateHome() const { return m_stateHome.path(); }
    // Where tavrelctl's standard output goes; by default it is read into CtlRun::out.
    void setCtlOutputFile(const QString& file) { m_ctlOutputFile = file; }
    // Starts tavrelctl with the arguments against the emulated devices.
    std::unique_ptr<QProcess> startCtl(const QStringList& arguments);
    // Runs it to the end.
    CtlRun runCtl(const QStringList& arguments, int limitMs = 30000);

    // Makes the device's node one that tavrelctl may not open. As root, who may open anything,
    // tavrelctl runs as an unprivileged user from then on, for whom the other devices stay open.
    bool denyAccess(const QString& name, QString* why);

private:
    QProcess m_emulator;
    QByteArray m_replies;
    QString m_root;
    QString m_ctlFolder;
    QTemporaryDir m_stateHome;
    QString m_ctlOutputFile;
    QStringList m_ctlLocale{QStringLiteral("LC_ALL=en_US.UTF-8")};
    bool m_unprivileged = false;
    // For the unprivileged user, who may not reach the build folder: copies in the testbed.
    QString m_ctlCopy;
    QString m_suppressionsCopy;
};

// Waits for a started tavrelctl to end, and collects what it printed.
CtlRun finish(QProcess& process, int limitMs = 30000);

// The built tavrelctl.
QString ctlPath();

}  // namespace tavrel::ctltest
