#include "keyemu/keyemuprogram.h"

#include "keyemu/testbed.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrel::emu {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

KeyEmuProgram::KeyEmuProgram(Testbed& testbed) : m_shell(testbed) {}

KeyEmuProgram::~KeyEmuProgram()
{
    endChild();
}

bool KeyEmuProgram::startChild(const QString& program, const QStringList& arguments)
{
    m_child.setProgram(program);
    m_child.setArguments(arguments);
    // Emulated nodes never signal data: the program must try a read after each such period.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("TAVREL_POLL_PERIOD_MS")))
        environment.insert(QStringLiteral("TAVREL_POLL_PERIOD_MS"), QStringLiteral("10"));
    m_child.setProcessEnvironment(environment);
    m_child.setProcessChannelMode(QProcess::ForwardedChannels);
    m_child.setChildProcessModifier([] {
        ::dup2(STDERR_FILENO, STDOUT_FILENO);
        ::signal(SIGPIPE, SIG_DFL);  // an ignored signal would stay ignored across exec
    });
    QObject::connect(&m_child, &QProcess::finished, &m_child,
                     [this](int code, QProcess::ExitStatus status) { childFinished(code, status); });
    m_child.start();
    if (!m_child.waitForStarted(-1)) {
        std::fprintf(stderr, "tavrel-keyemu: cannot start %s: %s\n", qPrintable(program),
                     qPrintable(m_child.errorString()));
        return false;
    }
    m_child.closeWriteChannel();
    m_childRunning = true;
    return true;
}

void KeyEmuProgram::start()
{
    // A controller that has gone away must not take the keys down before the child.
    ::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) == 0) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (const int number : {SIGINT, SIGTERM, SIGHUP})
            ::sigaction(number, &action, nullptr);
        m_signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_signalNotifier.get(), &QSocketNotifier::activated, m_signalNotifier.get(), [this] {
            char number = 0;
            if (::read(signalPipe[0], &number, 1) != 1)
                return;
            endChild();
            finish(128 + number);
        });
    }

    m_stdinNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(m_stdinNotifier.get(), &QSocketNotifier::activated, m_stdinNotifier.get(),
                     [this] { readCommands(); });
}

void KeyEmuProgram::readCommands()
{
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    const bool atEnd = count <= 0;
    if (!atEnd)
        m_input.append(buffer, qsizetype(count));
    else if (!m_input.isEmpty())
        m_input.append('\n');  // a last line without its line feed still counts

    qsizetype end;
    while (!m_finished && !m_waitingForChild && (end = m_input.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_input.left(end)).trimmed();
        m_input.remove(0, end + 1);
        if (!line.isEmpty())
            handleLine(line);
    }
    if (m_waitingForChild)
        m_stdinNotifier->setEnabled(false);
    if (atEnd && !m_finished) {
        // Without a controller the keys keep serving the child until it ends.
        m_stdinNotifier->setEnabled(false);
        if (!m_childRunning)
            finish(m_childStatus.value_or(0));
    }
}

void KeyEmuProgram::handleLine(const QString& line)
{
    const CommandShell::Result result = m_shell.run(line);
    switch (result.action) {
    case CommandShell::Action::Reply:
        reply(result.reply);
        break;
    case CommandShell::Action::Quit:
        endChild();
        reply(result.reply);
        finish(0);
        break;
    case CommandShell::Action::WaitChild:
        if (m_childRunning) {
            m_waitingForChild = true;
        } else if (m_childStatus) {
            reply(QStringLiteral("ok %1").arg(*m_childStatus));
            finish(*m_childStatus);
        } else {
            reply(QStringLiteral("error no child program is running"));
        }
        break;
    }
}

void KeyEmuProgram::childFinished(int exitCode, QProcess::ExitStatus status)
{
    m_childRunning = false;
    // As a shell reports it: a child ended by a signal gives 128 plus the signal's number.
    const int code = status == QProcess::CrashExit ? 128 + exitCode : exitCode;
    m_childStatus = code;
    // Commands sent before the child ended are still taken, a wait for it among them.
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (m_stdinNotifier && m_stdinNotifier->isEnabled() && ::poll(&input, 1, 0) > 0)
        readCommands();
    if (m_finished)
        return;
    if (m_waitingForChild)
        reply(QStringLiteral("ok %1").arg(code));
    else
        std::fprintf(stderr, "tavrel-keyemu: %s ended with status %d\n", qPrintable(m_child.program()), code);
    finish(code);
}

void KeyEmuProgram::endChild()
{
    if (!m_childRunning)
        return;
    m_childRunning = false;
    QObject::disconnect(&m_child, &QProcess::finished, nullptr, nullptr);
    m_child.terminate();
    if (!m_child.waitForFinished(5000)) {
        m_child.kill();
        m_child.waitForFinished(5000);
    }
}

void KeyEmuProgram::finish(int status)
{
    if (m_finished)
        return;
    m_finished = true;
    QCoreApplication::exit(status);
}

void KeyEmuProgram::reply(const QString& line)
{
    std::fputs(line.toUtf8().append('\n').constData(), stdout);
    std::fflush(stdout);
}

}  // namespace tavrel::emu
