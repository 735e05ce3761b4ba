#include "keyemu/commandshell.h"

#include "keyemu/emulator.h"
#include "keyemu/keyfields.h"

#include <QStringList>

#include <stdexcept>

namespace tavrel::emu {

namespace {

using Result = CommandShell::Result;

Result ok(const QString& text = QString())
{
    return {CommandShell::Action::Reply,
            text.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + text};
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

}  // namespace

QString CommandShell::help()
{
    return QStringLiteral(
        "commands: env, list, add FIELDS, unplug NAME, plug NAME, store NAME, "
        "set NAME K MM C1 C2 C3 MO, received NAME, clear-received NAME, "
        "wait-received NAME COUNT [MS], bindings NAME, fail-writes NAME on|off, "
        "drop NAME on|off, pair-delay NAME MS, press NAME K [MS], press NAME ID, "
        "input-opens NAME, push NAME BYTES, wait-child, quit");
}

EmulatedKey* CommandShell::key(const QString& name, QString* why) const
{
    EmulatedKey* found = m_testbed.find(name);
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
    const QStringList args = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);

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
    if (command == QLatin1String("list")) {
        QStringList entries;
        for (const EmulatedKey* k : m_testbed.keys())
            entries << k->name() + QLatin1Char('=')
                           + (k->plugged() ? k->devnode() : QStringLiteral("unplugged"));
        return ok(joined(entries));
    }
    if (command == QLatin1String("add")) {
        QString why;
        const auto model = parseKeyFields(rest, &why);
        if (!model)
            return error(why);
        try {
            EmulatedKey& added = m_testbed.add(*model);
            return ok(added.name() + QLatin1Char(' ') + added.devnode());
        } catch (const std::exception& e) {
            return error(QString::fromStdString(e.what()));
        }
    }

    // Every other command names a key first.
    static const QStringList keyCommands = {
        QStringLiteral("unplug"),         QStringLiteral("plug"),
        QStringLiteral("store"),          QStringLiteral("set"),
        QStringLiteral("received"),       QStringLiteral("clear-received"),
        QStringLiteral("wait-received"),  QStringLiteral("bindings"),
        QStringLiteral("fail-writes"),    QStringLiteral("drop"),
        QStringLiteral("pair-delay"),     QStringLiteral("press"),
        QStringLiteral("input-opens"),  QStringLiteral("push")};
    if (!keyCommands.contains(command))
        return error(QStringLiteral("unknown command %1 (try help)").arg(command));
    if (args.isEmpty())
        return error(QStringLiteral("%1 needs a key name").arg(command));
    QString why;
    EmulatedKey* k = key(args[0], &why);
    if (!k)
        return error(why);
    const QStringList params = args.mid(1);

    try {
        if (command == QLatin1String("unplug")) {
            if (!k->plugged())
                return error(QStringLiteral("%1 is not plugged in").arg(k->name()));
            m_testbed.unplug(*k);
            return ok();
        }
        if (command == QLatin1String("plug")) {
            if (k->plugged())
                return error(QStringLiteral("%1 is plugged in already").arg(k->name()));
            m_testbed.plug(*k);
            return ok(k->devnode());
        }
        if (command == QLatin1String("store")) {
            QStringList records;
            for (int slot = 0; slot < StoreSlots; ++slot)
                records << recordText(k->record(slot));
            return ok(joined(records));
        }
        if (command == QLatin1String("set")) {
            bool numeric = false;
            const int slot = params.value(0).toInt(&numeric);
            if (params.size() != 6 || !numeric || slot < 0 || slot >= StoreSlots)
                return error(QStringLiteral("usage: set NAME K MM C1 C2 C3 MO (K 0..7, bytes in hex)"));
            std::array<quint8, 5> record{};
            for (int i = 0; i < 5; ++i) {
                const auto byte = hexByte(params[i + 1]);
                if (!byte)
                    return error(QStringLiteral("%1 is not a hex byte").arg(params[i + 1]));
                record[std::size_t(i)] = *byte;
            }
            k->setRecord(slot, record);
            return ok();
        }
        if (command == QLatin1String("received")) {
            QStringList reports;
            for (const QByteArray& report : k->received())
                reports << hexBytes(report);
            return ok(joined(reports));
        }
        if (command == QLatin1String("clear-received")) {
            k->clearReceived();
            return ok();
        }
        if (command == QLatin1String("wait-received")) {
            bool countOk = false, msOk = true;
            const int count = params.value(0).toInt(&countOk);
            const int ms = params.size() > 1 ? params[1].toInt(&msOk) : 5000;
            if (!countOk || !msOk || count < 0 || ms < 0)
                return error(QStringLiteral("usage: wait-received NAME COUNT [MS]"));
            if (!k->waitForReceived(std::size_t(count), ms))
                return error(QStringLiteral("%1 has received %2 reports")
                                 .arg(k->name())
                                 .arg(k->received().size()));
            return ok();
        }
        if (command == QLatin1String("bindings")) {
            QStringList ids;
            for (const auto& id : k->bindings())
                ids << recordText(id);
            return ok(joined(ids));
        }
        if (command == QLatin1String("fail-writes") || command == QLatin1String("drop")) {
            const auto on = onOff(params.value(0));
            if (params.size() != 1 || !on)
                return error(QStringLiteral("usage: %1 NAME on|off").arg(command));
            if (command == QLatin1String("drop"))
                k->setDropAnswers(*on);
            else
                k->setFailWrites(*on);
            return ok();
        }
        if (command == QLatin1String("pair-delay")) {
            bool numeric = false;
            const int ms = params.value(0).toInt(&numeric);
            if (params.size() != 1 || !numeric)
                return error(QStringLiteral("usage: pair-delay NAME MS"));
            k->setPairDelayMs(ms);
            return ok();
        }
        if (command == QLatin1String("press") && params.value(0).size() == 1) {
            // A key of the key, by its record's slot, rather than a transmitter's five bytes.
            bool slotOk = false, msOk = true;
            const int slot = params[0].toInt(&slotOk);
            const int ms = params.size() > 1 ? params[1].toInt(&msOk) : DefaultHoldMs;
            if (params.size() > 2 || !slotOk || !msOk || slot < 0 || slot >= StoreSlots || ms < 0)
                return error(QStringLiteral("usage: press NAME K [MS] (K 0..7, held for MS milliseconds)"));
            if (!k->plugged())
                return error(QStringLiteral("%1 is not plugged in").arg(k->name()));
            return ok(QString::number(k->pressKey(slot, ms)));
        }
        if (command == QLatin1String("input-opens"))
            return ok(QString::number(k->inputOpens()));
        if (command == QLatin1String("press")) {
            const auto id = parseHexBytes(params.join(QString()));
            if (!id || id->size() != 5)
                return error(QStringLiteral("usage: press NAME ID (five hex bytes)"));
            std::array<quint8, 5> transmitter{};
            for (int i = 0; i < 5; ++i)
                transmitter[std::size_t(i)] = quint8((*id)[i]);
            if (!k->pressTransmitter(transmitter))
                return error(QStringLiteral("%1 is not waiting for a transmitter").arg(k->name()));
            return ok();
        }
        // push
        const auto report = parseHexBytes(params.join(QString()));
        if (!report || report->isEmpty())
            return error(QStringLiteral("usage: push NAME BYTES (hex, report id first)"));
        k->pushInput(*report);
        return ok();
    } catch (const std::exception& e) {
        return error(QString::fromStdString(e.what()));
    }
}

}  // namespace tavrel::emu
