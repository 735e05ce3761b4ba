#include "keyemu/commandshell.h"

#include "keyemu/keyfields.h"
#include "keyemu/testbed.h"

#include <QStringList>

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace tavrel::emu {

namespace {

using Result = CommandShell::Result;

Result ok(const QString& text = QString())
{
    return {CommandShell::Action::Reply, text.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + text};
}

Result error(const QString& text)
{
    return {CommandShell::Action::Reply, QStringLiteral("error ") + text};
}

QString joined(const QStringList& parts)
{
    return parts.join(QLatin1Char('|'));
}

QString recordText(const std::array<quint8, 5>& bytes)
{
    return hexBytes(QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
}

std::optional<bool> onOff(const QString& word)
{
    if (word == QLatin1String("on"))
        return true;
    if (word == QLatin1String("off"))
        return false;
    return std::nullopt;
}

std::optional<quint8> hexByte(const QString& word)
{
    if (word.size() != 2)
        return std::nullopt;
    const auto bytes = parseHexBytes(word);
    if (!bytes)
        return std::nullopt;
    return quint8((*bytes)[0]);
}

// What a command on one key works with: the testbed, the key, and the words after its name.
struct KeyCommand {
    Testbed& testbed;
    EmulatedDevice& key;
    const QString& command;
    const QStringList& params;
};

Result unplugKey(const KeyCommand& c)
{
    if (!c.key.plugged())
        return error(QStringLiteral("%1 is not plugged in").arg(c.key.name()));
    c.testbed.unplug(c.key);
    return ok();
}

Result plugKey(const KeyCommand& c)
{
    if (c.key.plugged())
        return error(QStringLiteral("%1 is plugged in already").arg(c.key.name()));
    c.testbed.plug(c.key);
    return ok(c.key.devnode());
}

Result showStore(const KeyCommand& c)
{
    QStringList records;
    for (int slot = 0; slot < StoreSlots; ++slot)
        records << recordText(c.key.record(slot));
    return ok(joined(records));
}

Result setRecord(const KeyCommand& c)
{
    bool numeric = false;
    const int slot = c.params.value(0).toInt(&numeric);
    if (c.params.size() != 6 || !numeric || slot < 0 || slot >= StoreSlots)
        return error(QStringLiteral("usage: set NAME K MM C1 C2 C3 MO (K 0..7, bytes in hex)"));
    std::array<quint8, 5> record{};
    for (int i = 0; i < 5; ++i) {
        const auto byte = hexByte(c.params[i + 1]);
        if (!byte)
            return error(QStringLiteral("%1 is not a hex byte").arg(c.params[i + 1]));
        record[std::size_t(i)] = *byte;
    }
    c.key.setRecord(slot, record);
    return ok();
}

Result showReceived(const KeyCommand& c)
{
    QStringList reports;
    for (const QByteArray& report : c.key.received())
        reports << hexBytes(report);
    return ok(joined(reports));
}

Result clearReceived(const KeyCommand& c)
{
    c.key.clearReceived();
    return ok();
}

Result waitReceived(const KeyCommand& c)
{
    bool countOk = false, msOk = true;
    const int count = c.params.value(0).toInt(&countOk);
    const int ms = c.params.size() > 1 ? c.params[1].toInt(&msOk) : 5000;
    if (!countOk || !msOk || count < 0 || ms < 0)
        return error(QStringLiteral("usage: wait-received NAME COUNT [MS]"));
    if (!c.key.waitForReceived(std::size_t(count), ms))
        return error(QStringLiteral("%1 has received %2 reports").arg(c.key.name()).arg(c.key.received().size()));
    return ok();
}

Result waitWritten(const KeyCommand& c)
{
    bool countOk = false, msOk = true;
    const int count = c.params.value(0).toInt(&countOk);
    const int ms = c.params.size() > 1 ? c.params[1].toInt(&msOk) : 5000;
    if (!countOk || !msOk || count < 0 || ms < 0)
        return error(QStringLiteral("usage: wait-written NAME COUNT [MS]"));
    if (!c.key.waitForWritten(std::size_t(count), ms))
        return error(QStringLiteral("%1 has not received %2 written records").arg(c.key.name()).arg(count));
    return ok();
}

Result showBindings(const KeyCommand& c)
{
    QStringList ids;
    for (const auto& id : c.key.bindings())
        ids << recordText(id);
    return ok(joined(ids));
}

// fail-writes and drop: a switch each.
Result setSwitch(const KeyCommand& c)
{
    const auto on = onOff(c.params.value(0));
    if (c.params.size() != 1 || !on)
        return error(QStringLiteral("usage: %1 NAME on|off").arg(c.command));
    if (c.command == QLatin1String("drop"))
        c.key.setDropAnswers(*on);
    else
        c.key.setFailWrites(*on);
    return ok();
}

Result setPairDelay(const KeyCommand& c)
{
    bool numeric = false;
    const int ms = c.params.value(0).toInt(&numeric);
    if (c.params.size() != 1 || !numeric)
        return error(QStringLiteral("usage: pair-delay NAME MS"));
    c.key.setPairDelayMs(ms);
    return ok();
}

// A key of the key, by its record's slot, held for a time.
Result pressKey(const KeyCommand& c)
{
    bool slotOk = false, msOk = true;
    const int slot = c.params[0].toInt(&slotOk);
    const int ms = c.params.size() > 1 ? c.params[1].toInt(&msOk) : DefaultHoldMs;
    if (c.params.size() > 2 || !slotOk || !msOk || slot < 0 || slot >= StoreSlots || ms < 0)
        return error(QStringLiteral("usage: press NAME K [MS] (K 0..7, held for MS milliseconds)"));
    if (!c.key.plugged())
        return error(QStringLiteral("%1 is not plugged in").arg(c.key.name()));
    return ok(QString::number(c.key.pressKey(slot, ms)));
}

// A transmitter's five bytes, for a receiver waiting to bind one.
Result pressTransmitter(const KeyCommand& c)
{
    const auto id = parseHexBytes(c.params.join(QString()));
    if (!id || id->size() != 5)
        return error(QStringLiteral("usage: press NAME ID (five hex bytes)"));
    std::array<quint8, 5> transmitter{};
    for (int i = 0; i < 5; ++i)
        transmitter[std::size_t(i)] = quint8((*id)[i]);
    if (!c.key.pressTransmitter(transmitter))
        return error(QStringLiteral("%1 is not waiting for a transmitter").arg(c.key.name()));
    return ok();
}

// Later presses stamped as if the time had passed, so that a press is not taken for a repeat.
Result advanceClock(const KeyCommand& c)
{
    bool msOk = false;
    const int ms = c.params.value(0).toInt(&msOk);
    if (c.params.size() != 1 || !msOk || ms < 0)
        return error(QStringLiteral("usage: advance NAME MS"));
    c.key.advanceClock(ms);
    return ok();
}

Result press(const KeyCommand& c)
{
    return c.params.value(0).size() == 1 ? pressKey(c) : pressTransmitter(c);
}

Result showInputOpens(const KeyCommand& c)
{
    return ok(QString::number(c.key.inputOpens()));
}

Result pushInput(const KeyCommand& c)
{
    const auto report = parseHexBytes(c.params.join(QString()));
    if (!report || report->isEmpty())
        return error(QStringLiteral("usage: push NAME BYTES (hex, report id first)"));
    c.key.pushInput(*report);
    return ok();
}

// The commands that name a key first.
constexpr std::pair<QLatin1StringView, Result (*)(const KeyCommand&)> keyCommands[] = {
    {QLatin1StringView("unplug"), unplugKey},
    {QLatin1StringView("plug"), plugKey},
    {QLatin1StringView("store"), showStore},
    {QLatin1StringView("set"), setRecord},
    {QLatin1StringView("received"), showReceived},
    {QLatin1StringView("clear-received"), clearReceived},
    {QLatin1StringView("wait-received"), waitReceived},
    {QLatin1StringView("wait-written"), waitWritten},
    {QLatin1StringView("bindings"), showBindings},
    {QLatin1StringView("fail-writes"), setSwitch},
    {QLatin1StringView("drop"), setSwitch},
    {QLatin1StringView("pair-delay"), setPairDelay},
    {QLatin1StringView("press"), press},
    {QLatin1StringView("advance"), advanceClock},
    {QLatin1StringView("input-opens"), showInputOpens},
    {QLatin1StringView("push"), pushInput},
};

}  // namespace

QString CommandShell::help()
{
    return QStringLiteral(
        "commands: env, list, add FIELDS, unplug NAME, plug NAME, store NAME, "
        "set NAME K MM C1 C2 C3 MO, received NAME, clear-received NAME, "
        "wait-received NAME COUNT [MS], wait-written NAME COUNT [MS], bindings NAME, fail-writes NAME on|off, "
        "drop NAME on|off, pair-delay NAME MS, press NAME K [MS], press NAME ID, advance NAME MS, "
        "input-opens NAME, push NAME BYTES, wait-child, quit");
}

EmulatedDevice* CommandShell::key(const QString& name, QString* why) const
{
    EmulatedDevice* found = m_testbed.find(name);
    if (!found)
        *why = QStringLiteral("no key named %1").arg(name);
    return found;
}

CommandShell::Result CommandShell::run(const QString& line)
{
    const QString trimmed = line.trimmed();
    const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
    const QString command = space < 0 ? trimmed : trimmed.left(space);
    const QString rest = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();

    if (command.isEmpty())
        return error(QStringLiteral("empty command"));
    if (command == QLatin1String("help"))
        return ok(help());
    if (command == QLatin1String("quit"))
        return {Action::Quit, QStringLiteral("ok")};
    if (command == QLatin1String("wait-child"))
        return {Action::WaitChild, QString()};
    if (command == QLatin1String("env"))
        return ok(QStringLiteral("UMOCKDEV_DIR=") + m_testbed.rootDir());
    if (command == QLatin1String("list"))
        return listKeys();
    if (command == QLatin1String("add"))
        return addKey(rest);
    return runOnKey(command, rest);
}

CommandShell::Result CommandShell::listKeys() const
{
    QStringList entries;
    for (const EmulatedDevice* k : m_testbed.devices())
        entries << k->name() + QLatin1Char('=') + (k->plugged() ? k->devnode() : QStringLiteral("unplugged"));
    return ok(joined(entries));
}

CommandShell::Result CommandShell::addKey(const QString& fields)
{
    QString why;
    const auto model = parseKeyFields(fields, &why);
    if (!model)
        return error(why);
    try {
        EmulatedDevice& added = m_testbed.add(*model);
        return ok(added.name() + QLatin1Char(' ') + added.devnode());
    } catch (const std::exception& e) {
        return error(QString::fromStdString(e.what()));
    }
}

CommandShell::Result CommandShell::runOnKey(const QString& command, const QString& rest)
{
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto found = std::find_if(std::begin(keyCommands), std::end(keyCommands),
                                    [&command](const auto& entry) { return command == entry.first; });
    if (found == std::end(keyCommands))
        return error(QStringLiteral("unknown command %1 (try help)").arg(command));
    if (args.isEmpty())
        return error(QStringLiteral("%1 needs a key name").arg(command));
    QString why;
    EmulatedDevice* k = key(args[0], &why);
    if (!k)
        return error(why);
    const QStringList params = args.mid(1);
    try {
        return found->second(KeyCommand{m_testbed, *k, command, params});
    } catch (const std::exception& e) {
        return error(QString::fromStdString(e.what()));
    }
}

}  // namespace tavrel::emu
