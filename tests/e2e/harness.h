#pragma once
// Drives the real tavrel binary from outside, as a user would: the key emulator runs it as its
// child against emulated devices, xdotool clicks and types into its windows on the X display, and
// the program's state snapshot (written on SIGUSR1) says what the windows show.

#include <QHash>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << r.x() << ',' << r.y() << ',' << r.width() << 'x' << r.height();
}

namespace tavrel::e2e {

// One named widget of the snapshot, with its attributes as the program wrote them.
struct WidgetState {
    QString window;
    QString name;
    QString kind;
    QHash<QString, QString> attributes;

    bool exists() const { return !name.isEmpty(); }
    QString value(const QString& key) const { return attributes.value(key); }
    bool is(const QString& key) const { return attributes.value(key) == QLatin1String("1"); }
    QString text() const { return value(QStringLiteral("text")); }
    // A memo's lines.
    QStringList lines() const { return text().split(QLatin1Char('\n')); }
    // Relative to the parent widget; for a window, its place on the screen.
    QRect geometry() const;
};

// The main window's session line: `session devices=N selected=I ...` (see src/ui/statedump.h).
struct SessionState {
    QHash<QString, QString> attributes;

    QString value(const QString& key) const { return attributes.value(key); }
    bool is(const QString& key) const { return attributes.value(key) == QLatin1String("1"); }
};

struct MessageBoxState {
    QString title;
    QString text;
};

class Snapshot {
public:
    static Snapshot parse(const QString& text);

    // The widget, or one for which exists() is false.
    WidgetState widget(const QString& window, const QString& name) const;
    const std::vector<MessageBoxState>& messageBoxes() const { return m_boxes; }
    // The main window's session: its own line, the selected device's records ("01 04 00 00 02",
    // "none"; empty for a key it does not have), the last capture's attribute ("codes",
    // "trace") and the report log.
    SessionState session() const;
    QString record(int key) const;
    QString capture(const QString& attribute) const;
    QStringList log() const;
    bool complete() const { return m_complete; }
    const QString& raw() const { return m_raw; }

    // Screen position of the centre of a widget, given the chain of widget names from the
    // window's first child down to the widget (the snapshot lists widgets, not their parents).
    std::optional<QPoint> screenCentre(const QString& window, const QStringList& path) const;

private:
    std::vector<WidgetState> m_widgets;
    std::vector<MessageBoxState> m_boxes;
    // The session's lines, by their first word.
    std::vector<QHash<QString, QString>> entries(const QString& word) const;
    std::vector<std::pair<QString, QHash<QString, QString>>> m_entries;
    QString m_raw;
    bool m_complete = false;
};

struct RunOptions {
    QStringList keys;  // --key FIELDS of the emulator, one entry per key
    QString program;   // the program the emulator starts; the built tavrel when empty
};

// The emulator with the program as its child, for the length of one test. Everything it
// started is ended when it goes away, also when the test failed half-way.
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // NAME=value pairs for the emulator and the program, over the test's own environment; set
    // before start().
    void setEnvironment(const QStringList& variables) { m_environment = variables; }
    // Starts the emulator and waits until the program can be asked for snapshots.
    bool start(const RunOptions& options, QString* why);

    // One emulator command; its reply line without the leading "ok" (nullopt on "error" or when
    // no reply came). store/received/bindings lists come back split at '|'.
    std::optional<QString> command(const QString& line);
    QStringList list(const QString& line);

    Snapshot snapshot();
    // Snapshots until the condition holds or the time is up; `last` gets the final one.
    bool waitFor(const std::function<bool(const Snapshot&)>& condition, int timeoutMs, Snapshot* last = nullptr);

    // Clicks the centre of a widget (see Snapshot::screenCentre); false when it is not on screen.
    bool click(const Snapshot& snapshot, const QString& window, const QStringList& path);
    // Key presses as xdotool names them ("ctrl+a", "super+b").
    bool pressKeys(const QString& keys);
    // Runs xdotool with the arguments; its standard output.
    QString xdotool(const QStringList& arguments);

    // Ends the program through its close button; the program's exit status, or nullopt when it
    // did not end (failure() then says why).
    std::optional<int> closeMainWindow();
    const QString& failure() const { return m_failure; }

    qint64 programPid() const { return m_pid; }

    // Another program beside the one under test, against the same emulated devices, X display and
    // runtime folder: tavrelctl ("tavrelctl" names the built one), or a second tavrel. Its
    // messages are in English.
    std::unique_ptr<QProcess> startBeside(const QString& program, const QStringList& arguments);
    // Runs it to its end, or kills it after limitMs: its exit code (-1 when killed), standard
    // output and standard error.
    struct BesideRun {
        int exitCode = -1;
        QString out;
        QString err;
    };
    BesideRun runBeside(const QString& program, const QStringList& arguments, int limitMs = 30000);
    // What the emulator and the program wrote to their standard error, for failure messages.
    QString log() const;

private:
    void stop();
    void endProcesses();
    void keepLog();
    // What the program is doing, for a failure message.
    QString processReport();

    QTemporaryDir m_dir;
    QProcess m_emulator;
    QByteArray m_replies;
    QString m_dumpPath;
    QString m_program;
    qint64 m_pid = 0;
    QString m_failure;
    QStringList m_environment;
    bool m_logKept = false;
};

// Paths of the build, set by the build system.
QString binaryFolder();

// ---- steps shared by the tests ----

inline const QString Main = QStringLiteral("mainWindow");
inline const QString Pairing = QStringLiteral("pairingWindow");

// The chain of names from a window's scene root (scene, root) down to a control.
QStringList onRoot(const QStringList& names);

// The selected device has answered every read request and the window is idle: the picker holds
// `keys` items, the re-poll timer is stopped and the read button is enabled again.
bool readSettled(const Snapshot& s, int keys);

// Presses "写入", waits for the completion popup and presses its OK. The popup's text, or
// nullopt when it did not open or close; `atPopup` gets the snapshot taken while it was open.
std::optional<QString> writeAndConfirm(ProgramRun& run, Snapshot* atPopup = nullptr);

// The snapshot and the program's output, for a failure message.
std::string context(const Snapshot& s, const ProgramRun& run);

}  // namespace tavrel::e2e
