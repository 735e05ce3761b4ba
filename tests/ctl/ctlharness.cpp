#include "ctlharness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <csignal>
#include <cstdlib>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrel::ctltest {
namespace {

// An unprivileged user and group that exist on every Debian system.
constexpr const char* NobodyId = "65534";

QString binFolder()
{
    return QStringLiteral(TAVREL_CTL_BIN_DIR);
}

}  // namespace

QString ctlPath()
{
    return binFolder() + QStringLiteral("/tavrelctl");
}

std::ostream& operator<<(std::ostream& os, const CtlRun& run)
{
    return os << "exit " << run.exitCode << (run.finished ? "" : " (killed)") << "\n--- stdout ---\n"
              << run.out.toStdString() << "--- stderr ---\n"
              << run.err.toStdString();
}

Emulator::~Emulator()
{
    if (m_emulator.state() == QProcess::NotRunning)
        return;
    m_emulator.write("quit\n");
    m_emulator.closeWriteChannel();
    if (!m_emulator.waitForFinished(10000)) {
        m_emulator.kill();
        m_emulator.waitForFinished(5000);
    }
}

bool Emulator::start(const QStringList& keys, QString* why)
{
    QStringList arguments{binFolder() + QStringLiteral("/tavrel-keyemu")};
    for (const QString& key : keys)
        arguments << QStringLiteral("--key") << key;
    if (keys.isEmpty())
        arguments << QStringLiteral("--no-keys");
    m_emulator.setProgram(QStringLiteral(UMOCKDEV_WRAPPER_PATH));
    m_emulator.setArguments(arguments);
    m_emulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // If this test dies, the emulator ends with it.
    m_emulator.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_emulator.start();
    if (!m_emulator.waitForStarted(10000)) {
        *why = QStringLiteral("the emulator did not start: ") + m_emulator.errorString();
        return false;
    }
    // The reply comes once the keys are in place.
    const std::optional<QString> env = command(QStringLiteral("env"));
    if (!env || !env->startsWith(QLatin1String("UMOCKDEV_DIR="))) {
        *why = QStringLiteral("the emulator did not tell its testbed");
        return false;
    }
    m_root = env->mid(int(qstrlen("UMOCKDEV_DIR=")));
    return true;
}

std::optional<QString> Emulator::command(const QString& line)
{
    if (m_emulator.state() != QProcess::Running)
        return std::nullopt;
    m_emulator.write(line.toUtf8() + '\n');
    m_emulator.waitForBytesWritten(5000);
    QDeadlineTimer deadline(15000);
    while (!m_replies.contains('\n') && !deadline.hasExpired() && m_emulator.state() == QProcess::Running) {
        m_emulator.waitForReadyRead(100);
        m_replies += m_emulator.readAllStandardOutput();
    }
    const qsizetype end = m_replies.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    const QString reply = QString::fromUtf8(m_replies.left(end)).trimmed();
    m_replies.remove(0, end + 1);
    if (reply != QLatin1String("ok") && !reply.startsWith(QLatin1String("ok ")))
        return std::nullopt;
    return reply.mid(2).trimmed();
}

QStringList Emulator::list(const QString& line)
{
    const std::optional<QString> reply = command(line);
    if (!reply || reply->isEmpty())
        return {};
    return reply->split(QLatin1Char('|'));
}

int Emulator::received(const QString& name, quint8 commandByte)
{
    int n = 0;
    for (const QString& report : list(QStringLiteral("received ") + name)) {
        const QStringList bytes = report.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        n += bytes.size() >= 2 && bytes[1].toUInt(nullptr, 16) == commandByte;
    }
    return n;
}

std::unique_ptr<QProcess> Emulator::startCtl(const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("libumockdev-preload.so.0"));
    env.insert(QStringLiteral("UMOCKDEV_DIR"), m_root);
    env.insert(QStringLiteral("XDG_STATE_HOME"), m_stateHome.path());
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        env.remove(QLatin1String(name));
    for (const QString& variable : m_ctlLocale)
        env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    // The preload comes before a sanitized program's runtime in the library list.
    QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.contains(QLatin1String("verify_asan_link_order")))
        asan += (asan.isEmpty() ? QString() : QStringLiteral(":")) + QStringLiteral("verify_asan_link_order=0");
    env.insert(QStringLiteral("ASAN_OPTIONS"), asan);
    process->setWorkingDirectory(m_ctlFolder);
    if (!m_ctlOutputFile.isEmpty())
        process->setStandardOutputFile(m_ctlOutputFile);
    if (m_unprivileged) {
        QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
        if (!m_suppressionsCopy.isEmpty())
            lsan.replace(QRegularExpression(QStringLiteral("(^|:)suppressions=[^:]*")),
                         QStringLiteral("\\1suppressions=") + m_suppressionsCopy);
        env.insert(QStringLiteral("LSAN_OPTIONS"), lsan);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root + QStringLiteral("/runtime-nobody"));
        process->setProgram(QStringLiteral("setpriv"));
        process->setArguments(QStringList{QStringLiteral("--reuid=") + QLatin1String(NobodyId),
                                          QStringLiteral("--regid=") + QLatin1String(NobodyId),
                                          QStringLiteral("--clear-groups"), m_ctlCopy}
                              + arguments);
    } else {
        process->setProgram(ctlPath());
        process->setArguments(arguments);
    }
    process->setProcessEnvironment(env);
    process->start();
    return process;
}

CtlRun Emulator::runCtl(const QStringList& arguments, int limitMs)
{
    const auto process = startCtl(arguments);
    return finish(*process, limitMs);
}

CtlRun finish(QProcess& process, int limitMs)
{
    CtlRun run;
    if (!process.waitForStarted(10000))
        return run;
    run.finished = process.waitForFinished(limitMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool Emulator::denyAccess(const QString& name, QString* why)
{
    QString denied;
    for (const QString& entry : list(QStringLiteral("list")))
        if (entry.startsWith(name + QLatin1Char('=')))
            denied = entry.mid(name.size() + 1);
    if (!denied.startsWith(QLatin1String("/dev/"))) {
        *why = QStringLiteral("no plugged device ") + name;
        return false;
    }
    // The testbed's node is a link to the terminal that serves it; the preload opens that.
    const auto nodeTarget = [this](const QString& devnode) { return QFileInfo(m_root + devnode).canonicalFilePath(); };
    if (::geteuid() == 0) {
        m_unprivileged = true;
        bool ok = ::chmod(QFile::encodeName(m_root).constData(), 0755) == 0;
        ok = ok && ::chmod(QFile::encodeName(m_stateHome.path()).constData(), 0777) == 0;
        // The build folder may be closed to other users; the testbed is open to them now.
        m_ctlCopy = m_root + QStringLiteral("/tavrelctl");
        ok = ok && QFile::copy(ctlPath(), m_ctlCopy);
        const QString lsan = qEnvironmentVariable("LSAN_OPTIONS");
        const auto suppressions = QRegularExpression(QStringLiteral("(?:^|:)suppressions=([^:]*)")).match(lsan);
        if (suppressions.hasMatch()) {
            m_suppressionsCopy = m_root + QStringLiteral("/lsan.supp");
            ok = ok && QFile::copy(suppressions.captured(1), m_suppressionsCopy);
        }
        // The other user's own runtime folder, where its Tavrel programs share their writes.
        const QByteArray runtime = QFile::encodeName(m_root + QStringLiteral("/runtime-nobody"));
        ok = ok && ::mkdir(runtime.constData(), 0700) == 0
             && ::chown(runtime.constData(), uid_t(atoi(NobodyId)), gid_t(atoi(NobodyId))) == 0;
        const QDir sockets(m_root + QStringLiteral("/ioctl/dev"));
        for (const QString& socket : sockets.entryList(QDir::System))
            ok = ok && ::chmod(QFile::encodeName(sockets.filePath(socket)).constData(), 0666) == 0;
        const QDir nodes(m_root + QStringLiteral("/dev"));
        for (const QString& node : nodes.entryList({QStringLiteral("hidraw*")}, QDir::System | QDir::Files))
            ok = ok && ::chmod(QFile::encodeName(nodeTarget(QStringLiteral("/dev/") + node)).constData(), 0666) == 0;
        if (!ok) {
            *why = QStringLiteral("the testbed could not be opened to other users");
            return false;
        }
    }
    if (::chmod(QFile::encodeName(nodeTarget(denied)).constData(), 0) != 0) {
        *why = QStringLiteral("the node of ") + name + QStringLiteral(" could not be closed");
        return false;
    }
    return true;
}

}  // namespace tavrel::ctltest
