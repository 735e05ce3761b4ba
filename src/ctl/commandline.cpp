#include "ctl/commandline.h"

#include "config/configfile.h"
#include "config/historyentry.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <array>

namespace tavrel::ctl {
namespace {

struct VerbInfo {
    Verb verb;
    const char* name;
};

constexpr std::array<VerbInfo, 11> Verbs{{
    {Verb::Help, "help"},
    {Verb::List, "list"},
    {Verb::Show, "show"},
    {Verb::Set, "set"},
    {Verb::Backup, "backup"},
    {Verb::Restore, "restore"},
    {Verb::Bind, "bind"},
    {Verb::Unbind, "unbind"},
    {Verb::Watch, "watch"},
    {Verb::History, "history"},
    {Verb::Undo, "undo"},
}};

std::optional<Verb> verbNamed(const QString& name)
{
    for (const VerbInfo& v : Verbs)
        if (name == QLatin1String(v.name))
            return v.verb;
    return std::nullopt;
}

// The reason, then where to read more: one sentence for the translation, as languages join two
// sentences differently.
Failure usage(const QString& verb, const QString& reason)
{
    return Failure(ExitUsage,
                   verb.isEmpty()
                       ? QCoreApplication::translate("tavrelctl", "%1 Try \"tavrelctl --help\".").arg(reason)
                       : QCoreApplication::translate("tavrelctl", "%1 Try \"tavrelctl %2 --help\".").arg(reason, verb));
}

// Why the parser refused the arguments. Its own texts are in English only, so the usual faults
// are told here.
QString parserFault(const QCommandLineParser& parser, const QStringList& args)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().constFirst();
        return QCoreApplication::translate("tavrelctl", "Unknown option '%1'.").arg(name);
    }
    if (args.last() == QLatin1String("--device"))
        return QCoreApplication::translate("tavrelctl", "--device needs an id, a serial or an index.");
    return parser.errorText();
}

// Pieces of several help texts, marked for translation where they are written.
const char* const ExitCodesHelp =
    QT_TRANSLATE_NOOP("tavrelctl",
                      "Exit status:\n"
                      "  0  success\n"
                      "  1  any other failure, such as output that could not be written\n"
                      "  2  bad arguments, an unknown key name, or something the device does not offer\n"
                      "  3  no such device: none is attached, none matches --device, or it was unplugged\n"
                      "  4  permission denied: a device was found but may not be opened (install the udev rule)\n"
                      "  5  the device failed: it did not answer, or keys were not written\n"
                      "  6  bad file: it cannot be read or written, or it was refused\n"
                      "  7  no transmitter answered a bind request\n");

const char* const DeviceOptionHelp =
    QT_TRANSLATE_NOOP("tavrelctl",
                      "  --device ID|SERIAL|INDEX\n"
                      "                         the device to use: its id, its serial or its index in\n"
                      "                         \"tavrelctl list\"; needed when more than one device is attached.\n"
                      "                         Two devices with one serial are told apart by their ids.\n");

QString translated(const char* text)
{
    return QCoreApplication::translate("tavrelctl", text);
}

// Every option of the sub-commands; each sub-command takes some of them.
struct Options {
    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    const QCommandLineOption device{QStringLiteral("device"), QString(), QStringLiteral("ID|SERIAL|INDEX")};
    const QCommandLineOption json{QStringLiteral("json")};
    const QCommandLineOption repeat{QStringLiteral("repeat")};
    const QCommandLineOption single{QStringLiteral("single")};
    const QCommandLineOption all{QStringLiteral("all")};
    const QCommandLineOption fit{QStringLiteral("fit")};
    const QCommandLineOption force{QStringLiteral("force")};
};

// Gives the parser the options `verb` takes; returns how many arguments it takes.
int addOptionsOf(Verb verb, const Options& o, QCommandLineParser& parser)
{
    parser.addOption(o.help);
    switch (verb) {
    case Verb::Help:
    case Verb::List:
        return 0;
    case Verb::Show:
        parser.addOptions({o.device, o.json});
        return 0;
    case Verb::Set:
        parser.addOptions({o.device, o.repeat, o.single});
        return 2;
    case Verb::Backup:
        parser.addOption(o.device);
        return 1;
    case Verb::Restore:
        parser.addOptions({o.device, o.all, o.fit});
        return 1;
    case Verb::Bind:
    case Verb::Unbind:
        parser.addOption(o.device);
        return 0;
    case Verb::Watch:
    case Verb::History:
        parser.addOptions({o.device, o.json});
        return 0;
    case Verb::Undo:
        parser.addOptions({o.device, o.force});
        return 0;
    }
    return 0;
}

// How many arguments `verb` may take beyond those it needs.
int optionalArgumentsOf(Verb verb)
{
    return verb == Verb::Undo ? 1 : 0;
}

// The arguments as a shell would take them back: those with spaces or quotes in single quotes.
QString typedText(const QStringList& args)
{
    QStringList words;
    for (const QString& a : args) {
        const bool plain = !a.isEmpty() && std::none_of(a.begin(), a.end(), [](QChar c) {
            return c.isSpace() || c == u'\'' || c == u'"' || c == u'\\' || c == u'$' || c == u'`';
        });
        words << (plain ? a
                        : QLatin1Char('\'') + QString(a).replace(u'\'', QStringLiteral("'\\''")) + QLatin1Char('\''));
    }
    return words.join(QLatin1Char(' '));
}

// Takes the options given into `command`. `verbName` is the sub-command as typed.
std::optional<Failure> readOptions(const QCommandLineParser& parser, const Options& o, const QString& verbName,
                                   Command& command)
{
    // Only the sub-command's own options were defined; asking the parser about others warns.
    const QStringList given = parser.optionNames();
    const auto isSet = [&given](const QCommandLineOption& option) {
        return given.contains(option.names().constFirst());
    };
    if (isSet(o.device)) {
        command.device = parser.value(o.device).trimmed();
        if (command.device.isEmpty())
            return usage(verbName,
                         QCoreApplication::translate("tavrelctl", "--device needs an id, a serial or an index."));
    }
    command.json = isSet(o.json);
    command.all = isSet(o.all);
    command.fit = isSet(o.fit);
    command.force = isSet(o.force);
    if (command.all && !command.device.isEmpty())
        return usage(verbName, QCoreApplication::translate("tavrelctl", "--device and --all exclude each other."));
    if (isSet(o.repeat) && isSet(o.single))
        return usage(verbName, QCoreApplication::translate("tavrelctl", "--repeat and --single exclude each other."));
    if (isSet(o.repeat) || isSet(o.single))
        command.repeat = isSet(o.repeat);
    return std::nullopt;
}

// Takes the arguments, as many as the sub-command takes, into `command`.
std::optional<Failure> readArguments(const QStringList& values, const QString& verbName, Command& command)
{
    switch (command.verb) {
    case Verb::Set: {
        bool ok = false;
        command.key = values[0].toInt(&ok);
        if (!ok || command.key < 1 || command.key > configfile::MaxKeys) {
            return usage(verbName,
                         QCoreApplication::translate("tavrelctl", "KEY is a key number from 1 to %1, not \"%2\".")
                             .arg(configfile::MaxKeys)
                             .arg(values[0]));
        }
        command.assignment = values[1];
        break;
    }
    case Verb::Undo: {
        if (values.isEmpty())
            break;
        bool ok = false;
        command.entry = values[0].toInt(&ok);
        if (!ok || command.entry < 1 || command.entry > history::KeptEntries) {
            return usage(verbName,
                         QCoreApplication::translate("tavrelctl", "N is an entry number from 1 to %1, not \"%2\".")
                             .arg(history::KeptEntries)
                             .arg(values[0]));
        }
        break;
    }
    case Verb::Backup:
    case Verb::Restore:
        command.file = values[0];
        if (command.file.isEmpty())
            return usage(verbName, QCoreApplication::translate("tavrelctl", "FILE may not be empty."));
        break;
    default:
        break;
    }
    return std::nullopt;
}

}  // namespace

QString helpText(const QString& verb)
{
    if (verb.isEmpty() || verb == QLatin1String("help")) {
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl COMMAND [OPTIONS]\n"
                                "\n"
                                "Reads and changes the assignments of programmable USB key devices.\n"
                                "\n"
                                "Commands:\n"
                                "  list                 list the attached devices and what each one offers\n"
                                "  show                 print the assignment of every key of a device\n"
                                "  set KEY ASSIGNMENT   change one key of a device\n"
                                "  backup FILE          save every key of a device to a file\n"
                                "  restore FILE         write a file to one device, or to every compatible one\n"
                                "  bind                 bind a wireless transmitter to a receiver\n"
                                "  unbind               clear every binding of a receiver\n"
                                "  watch                print what a device sends, press by press, until interrupted\n"
                                "  history              list the writes to each device, newest first\n"
                                "  undo [N]             write back what a device held before a write\n"
                                "  help [COMMAND]       this text, or the help of a command\n"
                                "\n"
                                "\"tavrelctl COMMAND --help\" describes a command and its options.\n"
                                "\n")
               + translated(ExitCodesHelp);
    }
    const std::optional<Verb> v = verbNamed(verb);
    if (!v)
        return {};
    switch (*v) {
    case Verb::Help:
        break;
    case Verb::List:
        return QCoreApplication::translate(
            "tavrelctl", "Usage: tavrelctl list\n"
                         "\n"
                         "Lists every attached device with its index, its id (the USB port and interface it\n"
                         "is plugged into), product, serial, whether it is wired or a wireless receiver,\n"
                         "its number of keys and what its serial offers: mouse buttons, the choice of\n"
                         "trigger (once per press or repeated while held), and pairing with the number of\n"
                         "transmitters a receiver holds. Devices that were found but may not be opened are\n"
                         "listed apart, with the reason and the fix.\n");
    case Verb::Show:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl show [--device ID|SERIAL|INDEX] [--json]\n"
                                "\n"
                                "Reads every key of a device and prints one line per key: its number (1 for the\n"
                                "first), its assignment by name (\"Ctrl+Shift+B\", \"mouse:right\", \"(none)\"),\n"
                                "its trigger (single or repeat) and its raw record.\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp)
               + QCoreApplication::translate(
                   "tavrelctl", "  --json                 print the keys as a key file, as backup saves them\n");
    case Verb::Set:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl set KEY ASSIGNMENT [--repeat|--single] [--device ID|SERIAL|INDEX]\n"
                                "\n"
                                "Reads the device, changes key number KEY (1 for the first) and writes that key\n"
                                "only. ASSIGNMENT is key names joined by \"+\" (\"Ctrl+Shift+B\", \"F5\",\n"
                                "\"Left Windows+E\"; one key besides the modifiers), \"mouse:left\",\n"
                                "\"mouse:right\" or \"mouse:middle\", or \"\" for no key. Names are matched\n"
                                "without regard to case; an unknown name is refused with the names close to it.\n"
                                "\n"
                                "Options:\n"
                                "  --repeat               repeat while the key is held\n"
                                "  --single               fire once per press\n"
                                "                         (without either, the key keeps its trigger)\n")
               + translated(DeviceOptionHelp);
    case Verb::Backup:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl backup FILE [--device ID|SERIAL|INDEX]\n"
                                "\n"
                                "Reads every key of a device and saves them to FILE, a key file (see README).\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp);
    case Verb::Restore:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl restore FILE [--device ID|SERIAL|INDEX | --all] [--fit]\n"
                                "\n"
                                "Writes the keys of FILE to a device. The file is checked whole first: a file\n"
                                "with a fault is refused with every fault's line, and nothing is written.\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp)
               + QCoreApplication::translate(
                   "tavrelctl",
                   "  --all                  write to every attached device with as many keys as the file\n"
                   "  --fit                  write the keys that fit a device with fewer keys, and with\n"
                   "                         --all, to devices of any number of keys\n");
    case Verb::Bind:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl bind [--device ID|SERIAL|INDEX]\n"
                                "\n"
                                "Asks a wireless receiver to bind a transmitter, and waits 10 seconds for a key\n"
                                "press on the transmitter. Prints the transmitter's identity, or that none\n"
                                "answered. Without --device, the only attached receiver.\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp);
    case Verb::Watch:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl watch [--device ID|SERIAL|INDEX] [--json]\n"
                                "\n"
                                "Reads every key of a device, then prints one line for each press and release\n"
                                "the device sends through its keyboard and mouse interfaces: what was sent\n"
                                "(\"Ctrl+Shift+B\", \"mouse:left\"), how often in a row when it repeats, and\n"
                                "the key whose assignment sends it when exactly one does. Runs until\n"
                                "interrupted (Ctrl+C ends it with exit status 0); exit status 3 when the device\n"
                                "is unplugged.\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp)
               + QCoreApplication::translate(
                   "tavrelctl",
                   "  --json                 one JSON object per line: {\"event\": \"press\" or \"release\",\n"
                   "                         \"input\": ..., \"repeat\": 1, \"key\": 3 or null}\n");
    case Verb::History:
        return QCoreApplication::translate(
            "tavrelctl", "Usage: tavrelctl history [--device ID|SERIAL|INDEX] [--json]\n"
                         "\n"
                         "Lists the writes to a device, or to every device with a history, newest first:\n"
                         "each entry's number, its time, what wrote it, and each key it changed as the\n"
                         "assignment before and after (\"Key 3: Ctrl+Alt+A → Ctrl+Shift+B\"). Every\n"
                         "write of the window and of tavrelctl adds an entry before it sends anything;\n"
                         "the last 200 entries of each device are kept. TAVREL_HISTORY=0 turns the\n"
                         "history off.\n"
                         "\n"
                         "Options:\n"
                         "  --device ID|SERIAL|INDEX\n"
                         "                         the device: an attached device as for the other commands,\n"
                         "                         or the serial or id a history is kept under\n"
                         "  --json                 one JSON object per entry and line\n");
    case Verb::Undo:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl undo [N] [--device ID|SERIAL|INDEX] [--force]\n"
                                "\n"
                                "Reads the device and writes back what its keys held before entry N of its\n"
                                "history (1 for the latest, as \"tavrelctl history\" numbers them; without N,\n"
                                "the latest entry that changed a key). Only the keys the entry changed are\n"
                                "written, and the write is itself a new entry. When one of those keys no\n"
                                "longer holds what the entry wrote, nothing is written and the keys are named\n"
                                "(exit status 2).\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp)
               + QCoreApplication::translate(
                   "tavrelctl", "  --force                write back even keys that changed since the entry\n");
    case Verb::Unbind:
        return QCoreApplication::translate(
                   "tavrelctl", "Usage: tavrelctl unbind [--device ID|SERIAL|INDEX]\n"
                                "\n"
                                "Clears every binding of a wireless receiver: it then takes every transmitter.\n"
                                "Without --device, the only attached receiver.\n"
                                "\n"
                                "Options:\n")
               + translated(DeviceOptionHelp);
    }
    return {};
}

std::variant<Command, Failure> parseCommandLine(const QStringList& arguments)
{
    const QStringList args = arguments.mid(1);
    if (args.isEmpty())
        return usage({}, QCoreApplication::translate("tavrelctl", "No command given."));
    Command command;
    const QString& first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return command;
    const std::optional<Verb> verb = verbNamed(first);
    if (!verb)
        return usage({}, QCoreApplication::translate("tavrelctl", "Unknown command \"%1\".").arg(first));
    command.verb = *verb;

    const Options options;
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const int positional = addOptionsOf(command.verb, options, parser);
    if (!parser.parse(args))
        return usage(first, parserFault(parser, args));
    if (parser.isSet(options.help)) {
        command.helpTopic = first;
        command.verb = Verb::Help;
        return command;
    }
    const QStringList values = parser.positionalArguments();
    if (command.verb == Verb::Help) {
        if (values.size() > 1 || (values.size() == 1 && helpText(values[0]).isEmpty()))
            return usage({}, QCoreApplication::translate("tavrelctl", "No help on \"%1\".").arg(values.join(u' ')));
        command.helpTopic = values.value(0);
        return command;
    }
    if (values.size() < positional)
        return usage(first, QCoreApplication::translate("tavrelctl", "Missing arguments."));
    if (values.size() > positional + optionalArgumentsOf(command.verb)) {
        const QString extra = values[positional + optionalArgumentsOf(command.verb)];
        return usage(first, QCoreApplication::translate("tavrelctl", "Unexpected argument \"%1\".").arg(extra));
    }
    if (auto failure = readOptions(parser, options, first, command))
        return *std::move(failure);
    if (auto failure = readArguments(values, first, command))
        return *std::move(failure);
    command.typed = typedText(args);
    return command;
}

std::variant<int, Failure> pickDevice(const std::vector<Candidate>& listed, const QString& wanted, bool receiver)
{
    if (!wanted.isEmpty()) {
        for (std::size_t i = 0; i < listed.size(); ++i)
            if (listed[i].id == wanted)
                return int(i);
        QStringList sharing;
        int bySerial = -1;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            if (listed[i].serial == wanted) {
                bySerial = int(i);
                sharing << listed[i].id;
            }
        }
        if (sharing.size() > 1) {
            return Failure(ExitUsage, QCoreApplication::translate("tavrelctl",
                                                                  "%1 devices have the serial %2: choose one by its id "
                                                                  "(%3).")
                                          .arg(sharing.size())
                                          .arg(wanted, sharing.join(QStringLiteral(", "))));
        }
        if (bySerial >= 0)
            return bySerial;
        bool isIndex = false;
        const int index = wanted.toInt(&isIndex);
        if (isIndex && index >= 0 && index < int(listed.size()))
            return index;
        if (listed.empty())
            return Failure(ExitNoDevice, QCoreApplication::translate("tavrelctl", "No device is attached."));
        return Failure(ExitNoDevice,
                       QCoreApplication::translate(
                           "tavrelctl",
                           "No attached device has the id, serial or index \"%1\" (see \"tavrelctl list\").")
                           .arg(wanted));
    }
    std::vector<int> matching;
    for (std::size_t i = 0; i < listed.size(); ++i)
        if (!receiver || listed[i].receiver)
            matching.push_back(int(i));
    if (matching.size() == 1)
        return matching.front();
    if (matching.empty()) {
        return Failure(ExitNoDevice, receiver ? QCoreApplication::translate("tavrelctl", "No receiver is attached.")
                                              : QCoreApplication::translate("tavrelctl", "No device is attached."));
    }
    return Failure(ExitUsage,
                   (receiver
                        ? QCoreApplication::translate("tavrelctl",
                                                      "%1 receivers are attached: choose one with --device "
                                                      "(see \"tavrelctl list\").")
                        : QCoreApplication::translate("tavrelctl", "%1 devices are attached: choose one with --device "
                                                                   "(see \"tavrelctl list\")."))
                       .arg(matching.size()));
}

}  // namespace tavrel::ctl
