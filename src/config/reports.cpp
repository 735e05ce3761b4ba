#include "config/reports.h"

namespace tavrel {

OutputReport readKeyReport(int key)
{
    return {OutputReportId, ReadKeyCommand, quint8(key), 0, 0, 0, 0, 0};
}

OutputReport writeKeyReport(int key, const KeyRecord& record)
{
    return {OutputReportId, WriteKeyCommand, quint8(key),  record.modifiers,
            record.code1,   record.code2,    record.code3, record.mode};
}

OutputReport pairReport(quint8 subCommand)
{
    return {OutputReportId, PairCommand, subCommand, 0, 0, 0, 0, 0};
}

QString PairingResponse::identityText() const
{
    QString text;
    for (quint8 b : id)
        text += hexByte(b) + QLatin1Char(' ');
    return text + QLatin1Char('(') + hexByte(status & 0x0F) + QLatin1String(" )");
}

InputKind classifyInput(std::span<const quint8> data)
{
    if (data.size() < std::size_t(InputDataSize))
        return InputKind::Other;
    if (data[0] > 0x80)
        return InputKind::KeyRecord;
    if (data[0] == 0x50 && (data[2] || data[3] || data[4] || data[5]))
        return InputKind::Pairing;
    return InputKind::Other;
}

std::optional<KeyRecordResponse> parseKeyRecord(std::span<const quint8> data)
{
    if (classifyInput(data) != InputKind::KeyRecord)
        return std::nullopt;
    return KeyRecordResponse{data[0], data[1], data[2], data[3], data[4], data[5], data[6]};
}

std::optional<PairingResponse> parsePairing(std::span<const quint8> data)
{
    if (classifyInput(data) != InputKind::Pairing)
        return std::nullopt;
    return PairingResponse{data[1], {data[2], data[3], data[4], data[5], data[6]}};
}

QString sentLogLine(std::span<const quint8> report, int written)
{
    QString line = QStringLiteral("W ") + hexByte(report.empty() ? 0 : report[0]) + QLatin1String("  ");
    const std::size_t end = std::min<std::size_t>(written > 0 ? std::size_t(written) : 0, report.size());
    for (std::size_t i = 1; i < end; ++i)
        line += hexByte(report[i]) + QLatin1Char(' ');
    return line;
}

QString notTakenLogLine(std::span<const quint8> report, int written)
{
    return QStringLiteral("! ") + sentLogLine(report, written);
}

QString receivedLogLine(quint8 reportId, std::span<const quint8> data)
{
    QString line = QStringLiteral("R ") + hexByte(reportId) + QLatin1String("  ");
    for (quint8 b : data)
        line += hexByte(b) + QLatin1Char(' ');
    return line;
}

}  // namespace tavrel
