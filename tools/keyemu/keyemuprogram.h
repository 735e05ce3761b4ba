#pragma once
// The tavrel-keyemu program: serves emulated keys, takes line commands on standard input and
// answers each on standard output, and runs an optional child program against the keys. The
// child's standard output goes to the emulator's standard error, so replies stay one per line.

#include "keyemu/commandshell.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <memory>
#include <optional>

class QSocketNotifier;

namespace tavrel::emu {

class Testbed;

class KeyEmuProgram {
public:
    explicit KeyEmuProgram(Testbed& testbed);
    ~KeyEmuProgram();

    // Starts the child; false (with a message on standard error) when it cannot be started.
    bool startChild(const QString& program, const QStringList& arguments);
    // Begins reading commands and watching for SIGINT, SIGTERM and SIGHUP. The event loop
    // ends with the program's exit status.
    void start();

private:
    void readCommands();
    void handleLine(const QString& line);
    void childFinished(int exitCode, QProcess::ExitStatus status);
    void endChild();
    void finish(int status);
    static void reply(const QString& line);

    CommandShell m_shell;
    QProcess m_child;
    bool m_childRunning = false;
    bool m_waitingForChild = false;
    // How the child ended, once it has.
    std::optional<int> m_childStatus;
    bool m_finished = false;
    QByteArray m_input;
    std::unique_ptr<QSocketNotifier> m_stdinNotifier;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};

}  // namespace tavrel::emu
