#pragma once
// tavrelctl's command line: the sub-commands with their arguments and options, the help texts,
// the exit codes, and which listed device a --device argument names. Pure functions.

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

namespace tavrel::ctl {

// One class of failure per code, so that a script can tell them apart; `tavrelctl --help` lists
// them.
enum ExitCode {
    ExitOk = 0,
    ExitOther = 1,
    ExitUsage = 2,             // bad arguments, an unknown key name, a feature the device lacks
    ExitNoDevice = 3,          // no device, none that --device names, or it was unplugged
    ExitPermissionDenied = 4,  // found, but this user may not open it: the udev rule is missing
    ExitDeviceFailed = 5,      // the device did not answer, or keys were not written
    ExitBadFile = 6,           // a file that cannot be read or written, or that was refused
    ExitNoAnswer = 7,          // no transmitter answered a bind request
};

// A command that failed: its exit code and the lines for standard error.
struct Failure {
    ExitCode code = ExitOther;
    QStringList lines;

    Failure() = default;
    Failure(ExitCode c, QString line) : code(c), lines{std::move(line)} {}
    Failure(ExitCode c, QStringList l) : code(c), lines(std::move(l)) {}
};

enum class Verb { Help, List, Show, Set, Backup, Restore, Bind, Unbind, Watch, History, Undo };

struct Command {
    Verb verb = Verb::Help;
    QString helpTopic;           // Help: a sub-command's name, or empty for the overview
    QString device;              // --device: an id, a serial or a list index; empty when not given
    bool json = false;           // show --json, watch --json, history --json
    int key = 0;                 // set: the key's number, 1 for the first
    QString assignment;          // set
    std::optional<bool> repeat;  // set --repeat / --single; unset keeps the key's trigger
    QString file;                // backup, restore
    bool all = false;            // restore --all
    bool fit = false;            // restore --fit
    int entry = 0;               // undo: the history's entry, 1 for the latest; 0 when not given
    bool force = false;          // undo --force
    QString typed;               // the arguments as typed, for the write history
};

// `arguments` as QCoreApplication::arguments() gives them, the program first. An error names
// what is wrong in one line.
std::variant<Command, Failure> parseCommandLine(const QStringList& arguments);

// The overview (empty `verb`) or one sub-command's help; empty for a name that is none.
QString helpText(const QString& verb = {});

// A listed device as --device sees it.
struct Candidate {
    QString id;  // its interface, as `tavrelctl list` shows it
    QString serial;
    bool receiver = false;  // its serial offers pairing
};

// The index of the listed device that `wanted` names: an id first, then a serial, then a list index.
// A serial that two listed devices share names neither: they are listed with their ids. Without a
// name: the only device, or, when `receiver` is asked for, the only receiver.
std::variant<int, Failure> pickDevice(const std::vector<Candidate>& listed, const QString& wanted,
                                      bool receiver = false);

}  // namespace tavrel::ctl
