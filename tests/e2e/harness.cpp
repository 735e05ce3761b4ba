#include "harness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace tavrel::e2e {

QString binaryFolder()
{
    return QStringLiteral(TAVREL_E2E_BIN_DIR);
}

// ---- the snapshot ----------------------------------------------------------------------------

namespace {

QString unescaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            const QChar next = text[++i];
            const qsizetype digits = next == QLatin1Char('x') ? 2 : next == QLatin1Char('u') ? 4 : 0;
            bool hex = false;
            const uint unit = digits ? text.mid(i + 1, digits).toUInt(&hex, 16) : 0;
            if (hex && i + digits < text.size()) {
                out += QChar(char16_t(unit));
                i += digits;
            } else if (next == QLatin1Char('n')) {
                out += QLatin1Char('\n');
            } else if (next == QLatin1Char('r')) {
                out += QLatin1Char('\r');
            } else if (next == QLatin1Char('t')) {
                out += QLatin1Char('\t');
            } else {
                out += next;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// key=value pairs separated by single spaces. Quoted values are not escaped for quotes (a memo
// may hold "解除所有绑定" in quotes), so a value ends at the quote that is followed by the end
// of the line or by the next " key=".
QHash<QString, QString> parseAttributes(const QString& line, qsizetype from)
{
    static const QRegularExpression nextKey(QStringLiteral("^ [A-Za-z]+="));
    QHash<QString, QString> attributes;
    qsizetype pos = from;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == QLatin1Char(' '))
            ++pos;
        const qsizetype equals = line.indexOf(QLatin1Char('='), pos);
        if (equals < 0)
            break;
        const QString key = line.mid(pos, equals - pos);
        pos = equals + 1;
        if (pos < line.size() && line[pos] == QLatin1Char('"')) {
            const qsizetype start = pos + 1;
            qsizetype end = start;
            for (;;) {
                end = line.indexOf(QLatin1Char('"'), end);
                if (end < 0) {
                    end = line.size();
                    break;
                }
                const QString after = line.mid(end + 1);
                if (after.isEmpty() || nextKey.match(after).hasMatch())
                    break;
                ++end;
            }
            attributes.insert(key, unescaped(QStringView(line).mid(start, end - start)));
            pos = end + 1;
        } else {
            qsizetype end = line.indexOf(QLatin1Char(' '), pos);
            if (end < 0)
                end = line.size();
            attributes.insert(key, line.mid(pos, end - pos));
            pos = end;
        }
    }
    return attributes;
}

}  // namespace

QRect WidgetState::geometry() const
{
    static const QRegularExpression form(QStringLiteral("^(-?\\d+),(-?\\d+),(\\d+)x(\\d+)$"));
    const QRegularExpressionMatch m = form.match(value(QStringLiteral("geometry")));
    if (!m.hasMatch())
        return {};
    return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
}

Snapshot Snapshot::parse(const QString& text)
{
    Snapshot s;
    s.m_raw = text;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line == QLatin1String("end")) {
            s.m_complete = true;
            continue;
        }
        // The session's lines: a word, then attributes.
        const QString word = line.section(QLatin1Char(' '), 0, 0);
        if (word == QLatin1String("session") || word == QLatin1String("device") || word == QLatin1String("record")
            || word == QLatin1String("capture") || word == QLatin1String("log")) {
            s.m_entries.push_back({word, parseAttributes(line, word.size())});
            continue;
        }
        if (line.startsWith(QLatin1String("messagebox "))) {
            const auto attributes = parseAttributes(line, 11);
            s.m_boxes.push_back({attributes.value(QStringLiteral("title")), attributes.value(QStringLiteral("text"))});
            continue;
        }
        const qsizetype nameEnd = line.indexOf(QLatin1Char(' '));
        const qsizetype dot = line.indexOf(QLatin1Char('.'));
        if (nameEnd < 0 || dot < 0 || dot > nameEnd)
            continue;
        qsizetype kindEnd = line.indexOf(QLatin1Char(' '), nameEnd + 1);
        if (kindEnd < 0)
            kindEnd = line.size();
        WidgetState w;
        w.window = line.left(dot);
        w.name = line.mid(dot + 1, nameEnd - dot - 1);
        w.kind = line.mid(nameEnd + 1, kindEnd - nameEnd - 1);
        w.attributes = parseAttributes(line, kindEnd);
        s.m_widgets.push_back(std::move(w));
    }
    return s;
}

WidgetState Snapshot::widget(const QString& window, const QString& name) const
{
    for (const WidgetState& w : m_widgets)
        if (w.window == window && w.name == name)
            return w;
    return {};
}

std::vector<QHash<QString, QString>> Snapshot::entries(const QString& word) const
{
    std::vector<QHash<QString, QString>> found;
    for (const auto& [w, attributes] : m_entries)
        if (w == word)
            found.push_back(attributes);
    return found;
}

SessionState Snapshot::session() const
{
    const auto found = entries(QStringLiteral("session"));
    return {found.empty() ? QHash<QString, QString>() : found.front()};
}

QString Snapshot::record(int key) const
{
    for (const auto& r : entries(QStringLiteral("record")))
        if (r.value(QStringLiteral("key")).toInt() == key)
            return r.value(QStringLiteral("bytes"));
    return {};
}

QString Snapshot::capture(const QString& attribute) const
{
    const auto found = entries(QStringLiteral("capture"));
    return found.empty() ? QString() : found.front().value(attribute);
}

QStringList Snapshot::log() const
{
    QStringList lines;
    for (const auto& l : entries(QStringLiteral("log")))
        lines << l.value(QStringLiteral("text"));
    return lines;
}

std::optional<QPoint> Snapshot::screenCentre(const QString& window, const QStringList& path) const
{
    const WidgetState top = widget(window, window);
    if (!top.exists() || !top.is(QStringLiteral("shown")) || path.isEmpty())
        return std::nullopt;
    QPoint at = top.geometry().topLeft();
    QRect last;
    for (const QString& name : path) {
        const WidgetState w = widget(window, name);
        if (!w.exists())
            return std::nullopt;
        last = w.geometry();
        at += last.topLeft();
    }
    if (!widget(window, path.back()).is(QStringLiteral("shown")))
        return std::nullopt;
    return at + QPoint(last.width() / 2, last.height() / 2);
}

// ---- the running program ---------------------------------------------------------------------

namespace {

struct ProcStat {
    qint64 ppid = 0;
    qint64 pgid = 0;
};

std::optional<ProcStat> procStat(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The command name in parentheses may hold spaces; the fields after it do not.
    const QByteArray text = file.readAll();
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 3)
        return std::nullopt;
    return ProcStat{fields[1].toLongLong(), fields[2].toLongLong()};
}

// The program has exec'd and installed its snapshot handler: before that, SIGUSR1 would end it.
bool catchesSnapshotSignal(qint64 pid, const QString& program)
{
    if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() != program)
        return false;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (quint64(1) << (SIGUSR1 - 1)));
        }
    }
    return false;
}

std::optional<qint64> childOf(qint64 parent)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const auto stat = procStat(pid);
        if (stat && stat->ppid == parent)
            return pid;
    }
    return std::nullopt;
}

}  // namespace

ProgramRun::ProgramRun()
{
    m_dumpPath = m_dir.filePath(QStringLiteral("state.txt"));
}

ProgramRun::~ProgramRun()
{
    stop();
}

bool ProgramRun::start(const RunOptions& options, QString* why)
{
    const auto fail = [&](const QString& reason) {
        if (why)
            *why = reason + QStringLiteral("\n--- log ---\n") + log();
        stop();
        return false;
    };
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder"));

    m_program = QFileInfo(options.program.isEmpty() ? binaryFolder() + QStringLiteral("/tavrel") : options.program)
                    .canonicalFilePath();
    QStringList arguments{binaryFolder() + QStringLiteral("/tavrel-keyemu")};
    for (const QString& key : options.keys)
        arguments << QStringLiteral("--key") << key;
    arguments << QStringLiteral("--") << m_program;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TAVREL_STATE_DUMP"), m_dumpPath);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    // A style sheet in the user's own configuration would change what the tests see.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    // The program's write histories stay in this run's folder too.
    env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir.path());
    // The preload library comes before a sanitized program's runtime in the library list.
    QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.contains(QLatin1String("verify_asan_link_order")))
        asan += (asan.isEmpty() ? QString() : QStringLiteral(":")) + QStringLiteral("verify_asan_link_order=0");
    // Qt on xcb sometimes leaves its D-Bus connection objects at exit; only the full unwinder
    // attributes that leak to libQt6DBus, which the suppressions name.
    if (!asan.contains(QLatin1String("fast_unwind_on_malloc")))
        asan += QStringLiteral(":fast_unwind_on_malloc=0");
    env.insert(QStringLiteral("ASAN_OPTIONS"), asan);
    // A sanitized program reports leaks of the system libraries it uses but cannot free.
    QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    if (!lsan.contains(QLatin1String("suppressions=")))
        lsan += (lsan.isEmpty() ? QString() : QStringLiteral(":"))
                + QStringLiteral("suppressions=" TAVREL_LSAN_SUPPRESSIONS);
    env.insert(QStringLiteral("LSAN_OPTIONS"), lsan);
    for (const QString& variable : std::as_const(m_environment))
        env.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));

    m_emulator.setProcessEnvironment(env);
    m_emulator.setProgram(QStringLiteral(UMOCKDEV_WRAPPER_PATH));
    m_emulator.setArguments(arguments);
    m_emulator.setStandardErrorFile(m_dir.filePath(QStringLiteral("program.log")));
    m_emulator.setChildProcessModifier([] {
        // A group of its own, so that teardown reaches the program too; and if this test
        // process dies, the emulator is told to end the program.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_emulator.start();
    if (!m_emulator.waitForStarted(10000))
        return fail(QStringLiteral("the emulator did not start: ") + m_emulator.errorString());

    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_emulator.state() == QProcess::Running) {
        if (const auto pid = childOf(m_emulator.processId()); pid && catchesSnapshotSignal(*pid, m_program)) {
            m_pid = *pid;
            return true;
        }
        QThread::msleep(20);
    }
    return fail(QStringLiteral("the program did not come up under the emulator"));
}

std::optional<QString> ProgramRun::command(const QString& line)
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

std::unique_ptr<QProcess> ProgramRun::startBeside(const QString& program, const QStringList& arguments)
{
    const std::optional<QString> testbed = command(QStringLiteral("env"));
    QProcessEnvironment env = m_emulator.processEnvironment();
    if (testbed)
        env.insert(testbed->section(QLatin1Char('='), 0, 0), testbed->section(QLatin1Char('='), 1));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral("libumockdev-preload.so.0"));
    env.insert(QStringLiteral("TAVREL_POLL_PERIOD_MS"), QStringLiteral("10"));
    env.remove(QStringLiteral("TAVREL_STATE_DUMP"));
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setProgram(program == QLatin1String("tavrelctl") ? binaryFolder() + QStringLiteral("/tavrelctl")
                                                              : program);
    process->setArguments(arguments);
    process->start();
    process->waitForStarted(10000);
    return process;
}

ProgramRun::BesideRun ProgramRun::runBeside(const QString& program, const QStringList& arguments, int limitMs)
{
    const std::unique_ptr<QProcess> process = startBeside(program, arguments);
    BesideRun run;
    if (!process->waitForFinished(limitMs)) {
        process->kill();
        process->waitForFinished(5000);
    } else if (process->exitStatus() == QProcess::NormalExit) {
        run.exitCode = process->exitCode();
    }
    run.out = QString::fromUtf8(process->readAllStandardOutput());
    run.err = QString::fromUtf8(process->readAllStandardError());
    return run;
}

QStringList ProgramRun::list(const QString& line)
{
    const std::optional<QString> reply = command(line);
    if (!reply || reply->isEmpty())
        return {};
    return reply->split(QLatin1Char('|'));
}

Snapshot ProgramRun::snapshot()
{
    QFile::remove(m_dumpPath);
    if (m_pid <= 0 || ::kill(pid_t(m_pid), SIGUSR1) != 0)
        return {};
    // The file appears whole: the program writes it under another name and renames it.
    QDeadlineTimer deadline(10000);
    while (!QFile::exists(m_dumpPath)) {
        if (deadline.hasExpired() || m_emulator.state() != QProcess::Running)
            return {};
        QThread::msleep(10);
    }
    QFile file(m_dumpPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Snapshot::parse(QString::fromUtf8(file.readAll()));
}

bool ProgramRun::waitFor(const std::function<bool(const Snapshot&)>& condition, int timeoutMs, Snapshot* last)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const Snapshot s = snapshot();
        const bool met = s.complete() && condition(s);
        if (last)
            *last = s;
        if (met)
            return true;
        if (deadline.hasExpired() || m_emulator.state() != QProcess::Running)
            return false;
        QThread::msleep(100);
    }
}

QString ProgramRun::xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(XDOTOOL_PATH), arguments);
    if (!tool.waitForFinished(10000)) {
        tool.kill();
        tool.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput());
}

bool ProgramRun::click(const Snapshot& snapshot, const QString& window, const QStringList& path)
{
    const std::optional<QPoint> at = snapshot.screenCentre(window, path);
    if (!at)
        return false;
    xdotool({QStringLiteral("mousemove"), QString::number(at->x()), QString::number(at->y()), QStringLiteral("sleep"),
             QStringLiteral("0.1"), QStringLiteral("click"), QStringLiteral("1")});
    return true;
}

bool ProgramRun::pressKeys(const QString& keys)
{
    QProcess tool;
    tool.start(QStringLiteral(XDOTOOL_PATH),
               {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50"), keys});
    return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

std::optional<int> ProgramRun::closeMainWindow()
{
    const Snapshot before = snapshot();
    if (!click(before, Main, onRoot({QStringLiteral("closeButton")}))) {
        m_failure =
            QStringLiteral("the close button is not on screen") + QString::fromStdString(context(before, *this));
        return std::nullopt;
    }
    // The emulator ends with the program and passes on its status; a sanitized program may
    // take a while to check for leaks on its way out.
    if (!m_emulator.waitForFinished(60000) || m_emulator.exitStatus() != QProcess::NormalExit) {
        m_failure = QStringLiteral("the program did not end: ") + processReport();
        return std::nullopt;
    }
    if (m_emulator.exitCode() != 0)
        m_failure = QStringLiteral("--- program output ---\n") + log();
    return m_emulator.exitCode();
}

QString ProgramRun::processReport()
{
    if (m_pid <= 0 || ::kill(pid_t(m_pid), 0) != 0)
        return QStringLiteral("the program has ended; the emulator has not") + QStringLiteral("\n--- log ---\n")
               + log();
    // Where each of its threads waits.
    QString report = QStringLiteral("the program is still running\n");
    const QString tasks = QStringLiteral("/proc/%1/task").arg(m_pid);
    for (const QString& tid : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + QLatin1Char('/') + tid + QStringLiteral("/comm"));
        QFile wchan(tasks + QLatin1Char('/') + tid + QStringLiteral("/wchan"));
        comm.open(QIODevice::ReadOnly);
        wchan.open(QIODevice::ReadOnly);
        report += QStringLiteral("  thread %1 %2 waits in %3\n")
                      .arg(tid, QString::fromUtf8(comm.readAll()).trimmed(), QString::fromUtf8(wchan.readAll()));
    }
    return report + QString::fromStdString(context(snapshot(), *this));
}

void ProgramRun::keepLog()
{
    // For a failure on a build machine: TAVREL_E2E_KEEP_LOGS names a folder to copy the output to.
    const QString folder = qEnvironmentVariable("TAVREL_E2E_KEEP_LOGS");
    if (folder.isEmpty() || m_pid <= 0 || m_logKept)
        return;
    m_logKept = true;
    QDir().mkpath(folder);
    QFile::copy(m_dir.filePath(QStringLiteral("program.log")),
                QDir(folder).filePath(QStringLiteral("tavrel-%1.log").arg(m_pid)));
}

QString ProgramRun::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("program.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void ProgramRun::stop()
{
    endProcesses();
    keepLog();
}

void ProgramRun::endProcesses()
{
    if (m_emulator.state() == QProcess::NotRunning)
        return;
    const qint64 group = m_emulator.processId();
    if (m_emulator.state() == QProcess::Running) {
        // The emulator ends the program first (SIGTERM, then SIGKILL after 5 s).
        m_emulator.write("quit\n");
        m_emulator.waitForBytesWritten(1000);
        if (m_emulator.waitForFinished(12000))
            return;
    }
    ::kill(-pid_t(group), SIGKILL);
    m_emulator.waitForFinished(5000);
    // The program stays in the group even when the emulator went first.
    if (m_pid > 0) {
        const auto stat = procStat(m_pid);
        if (stat && stat->pgid == group)
            ::kill(pid_t(m_pid), SIGKILL);
    }
}

// ---- steps shared by the tests ----------------------------------------------------------------

QStringList onRoot(const QStringList& names)
{
    return QStringList{QStringLiteral("scene"), QStringLiteral("root")} + names;
}

bool readSettled(const Snapshot& s, int keys)
{
    const WidgetState picker = s.widget(Main, QStringLiteral("keyPicker"));
    if (picker.value(QStringLiteral("count")).toInt() != keys)
        return false;
    if (s.session().is(QStringLiteral("repolling"))
        || !s.widget(Main, QStringLiteral("readButton")).is(QStringLiteral("enabled")))
        return false;
    // Every read request in the report log has had its answer.
    const QStringList log = s.log();
    int requests = 0, answers = 0;
    for (const QString& line : log) {
        if (line.startsWith(QLatin1String("W 02  01 ")))
            ++requests;
        else if (line.startsWith(QLatin1String("R 01  81 ")))
            ++answers;
    }
    return requests == answers;
}

std::optional<QString> writeAndConfirm(ProgramRun& run, Snapshot* atPopup)
{
    Snapshot s = run.snapshot();
    if (!run.click(s, Main, onRoot({QStringLiteral("writeButton")})))
        return std::nullopt;
    const auto popupOpen = [](const Snapshot& s) {
        return s.widget(Main, QStringLiteral("messagePopup")).is(QStringLiteral("open"))
               && s.widget(Main, QStringLiteral("okButton")).is(QStringLiteral("shown"));
    };
    if (!run.waitFor(popupOpen, 30000, &s))
        return std::nullopt;
    if (atPopup)
        *atPopup = s;
    const QString text = s.widget(Main, QStringLiteral("messagePopup")).text();
    if (!run.click(s, Main, {QStringLiteral("messagePopup"), QStringLiteral("okButton")}))
        return std::nullopt;
    const bool closed = run.waitFor(
        [](const Snapshot& s) {
            return !s.widget(Main, QStringLiteral("messagePopup")).is(QStringLiteral("open"))
                   && s.widget(Main, QStringLiteral("writeProgress")).value(QStringLiteral("value"))
                          == QLatin1String("0");
        },
        10000);
    if (!closed)
        return std::nullopt;
    return text;
}

std::string context(const Snapshot& s, const ProgramRun& run)
{
    const QString shown = s.complete() ? s.raw() : QStringLiteral("(none: the program did not answer in time)\n");
    return (QStringLiteral("\n--- last snapshot ---\n") + shown + QStringLiteral("--- program output ---\n")
            + run.log())
        .toStdString();
}

}  // namespace tavrel::e2e
