#include "config/historyentry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>

namespace tavrel::history {
namespace {

constexpr int Version = 1;

std::optional<int> keyNumber(const QJsonValue& value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 1 || number > KeySlots || number != double(int(number)))
        return std::nullopt;
    return int(number);
}

std::optional<HistoryEntry> entryOf(QByteArrayView line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    const auto text = [&o](const char* name) -> std::optional<QString> {
        const QJsonValue v = o[QLatin1String(name)];
        return v.isString() ? std::optional(v.toString()) : std::nullopt;
    };
    if (o[QLatin1String("version")] != QJsonValue(Version))
        return std::nullopt;
    HistoryEntry entry;
    const auto time = text("time");
    const auto program = text("program");
    const auto command = text("command");
    const auto device = text("device");
    const auto product = text("product");
    const auto serial = text("serial");
    const auto port = text("port");
    if (!time || !program || !command || !device || device->isEmpty() || !product || !serial || !port)
        return std::nullopt;
    entry.time = QDateTime::fromString(*time, Qt::ISODateWithMs);
    if (!entry.time.isValid())
        return std::nullopt;
    entry.time = entry.time.toUTC();
    entry.program = *program;
    entry.command = *command;
    entry.device = *device;
    entry.product = *product;
    entry.serial = *serial;
    entry.port = *port;
    if (!o[QLatin1String("keys")].isArray())
        return std::nullopt;
    const QJsonArray keys = o[QLatin1String("keys")].toArray();
    for (const QJsonValue& value : keys) {
        const QJsonObject k = value.toObject();
        const std::optional<int> number = keyNumber(k[QLatin1String("key")]);
        const QJsonValue before = k[QLatin1String("before")];
        const QJsonValue written = k[QLatin1String("written")];
        if (!number || !(before.isString() || before.isNull()) || !written.isString())
            return std::nullopt;
        KeyWrite write;
        write.key = *number - 1;
        if (before.isString()) {
            write.before = parseRecordText(before.toString());
            if (!write.before)
                return std::nullopt;
        }
        const std::optional<KeyRecord> record = parseRecordText(written.toString());
        if (!record)
            return std::nullopt;
        write.written = *record;
        // Keys in ascending order, each once, as they are written.
        if (!entry.keys.empty() && entry.keys.back().key >= write.key)
            return std::nullopt;
        entry.keys.push_back(write);
    }
    return entry;
}

bool blank(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

bool keptInFileName(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
           || c == ':' || c == '-';
}

}  // namespace

std::vector<KeyWrite> HistoryEntry::changes() const
{
    std::vector<KeyWrite> changed;
    std::copy_if(keys.begin(), keys.end(), std::back_inserter(changed), [](const KeyWrite& k) { return k.changed(); });
    return changed;
}

QByteArray entryLine(const HistoryEntry& entry)
{
    QJsonArray keys;
    for (const KeyWrite& k : entry.keys) {
        keys.append(QJsonObject{
            {QStringLiteral("key"), k.key + 1},
            {QStringLiteral("before"), k.before ? QJsonValue(recordText(*k.before)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("written"), recordText(k.written)},
        });
    }
    const QJsonObject o{
        {QStringLiteral("version"), Version},
        {QStringLiteral("time"), entry.time.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("program"), entry.program},
        {QStringLiteral("command"), entry.command},
        {QStringLiteral("device"), entry.device},
        {QStringLiteral("product"), entry.product},
        {QStringLiteral("serial"), entry.serial},
        {QStringLiteral("port"), entry.port},
        {QStringLiteral("keys"), keys},
    };
    // Compact JSON escapes every newline inside a string: the entry stays one line.
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

HistoryText readHistoryText(QByteArrayView text)
{
    HistoryText read;
    int number = 0;
    while (!text.isEmpty()) {
        ++number;
        const qsizetype end = text.indexOf('\n');
        const QByteArrayView line = end < 0 ? text : text.first(end);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (blank(line))
            continue;
        const std::optional<HistoryEntry> entry =
            line.size() <= MaxLineBytes ? entryOf(line) : std::optional<HistoryEntry>();
        if (entry)
            read.entries.push_back(*entry);
        else
            read.damagedLines << number;
    }
    return read;
}

QString HistoryDevice::fileName() const
{
    QString name = bySerial ? QStringLiteral("serial-") : QStringLiteral("port-");
    const QByteArray bytes = id.toUtf8();
    for (const char c : bytes) {
        if (keptInFileName(c))
            name += QLatin1Char(c);
        else
            name += QStringLiteral("%%1").arg(quint8(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return name + QStringLiteral(".jsonl");
}

HistoryDevice historyDevice(const QString& serial, bool serialDecoded, bool serialShared, const QString& port)
{
    if (serialDecoded && !serialShared && !serial.isEmpty())
        return {serial, true};
    return {port, false};
}

UndoPlan planUndo(const HistoryEntry& entry, const std::vector<std::optional<KeyRecord>>& held)
{
    UndoPlan plan;
    for (const KeyWrite& k : entry.changes()) {
        if (!k.before) {
            plan.unknown << k.key;
            continue;
        }
        const std::optional<KeyRecord> now =
            std::size_t(k.key) < held.size() ? held[std::size_t(k.key)] : std::optional<KeyRecord>();
        if (now != k.written)
            plan.differing << k.key;
        // Written back: the record before the entry replaces the one the entry wrote.
        plan.restore.push_back(KeyWrite{k.key, k.written, *k.before});
    }
    return plan;
}

}  // namespace tavrel::history
