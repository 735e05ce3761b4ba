#pragma once
// The 8-byte report protocol between Tavrel and a device: output report builders, input report
// classification and the report log's line formats.

#include "config/keyrecord.h"

#include <QString>
#include <array>
#include <optional>
#include <span>

namespace tavrel {

constexpr quint8 OutputReportId = 0x02;
constexpr quint8 ReadKeyCommand = 0x01;
constexpr quint8 WriteKeyCommand = 0x02;
constexpr quint8 PairCommand = 0x05;
constexpr quint8 PairBindAction = 0x01;
constexpr quint8 PairClearAction = 0x03;

constexpr int ReportSize = 8;
constexpr int InputDataSize = 7;  // data bytes D0..D6 after the report id

using OutputReport = std::array<quint8, ReportSize>;

OutputReport readKeyReport(int key);
OutputReport writeKeyReport(int key, const KeyRecord& record);
OutputReport pairReport(quint8 subCommand);

struct PairingResponse {
    quint8 status = 0;           // D1: high nibble 0 = newly bound; low nibble = number shown
    std::array<quint8, 5> id{};  // D2..D6, the transmitter's identity

    bool newlyBound() const { return (status >> 4) == 0; }
    // "1A 2B 3C 4D 5E (02 )"
    QString identityText() const;
};

enum class InputKind { Other, KeyRecord, Pairing };

// What an input report's data bytes (D0 first) carry. A report with fewer than seven data
// bytes carries nothing: both responses need all seven.
InputKind classifyInput(std::span<const quint8> data);
std::optional<KeyRecordResponse> parseKeyRecord(std::span<const quint8> data);
std::optional<PairingResponse> parsePairing(std::span<const quint8> data);

// "W 02  01 03 00 00 00 00 00 ": the report id, then bytes 1..written-1.
QString sentLogLine(std::span<const quint8> report, int written);
// "! W 02  01 03 ": a request the driver did not take whole, with the bytes it took.
QString notTakenLogLine(std::span<const quint8> report, int written);
// "R 01  81 63 ...": the report id, then every data byte delivered.
QString receivedLogLine(quint8 reportId, std::span<const quint8> data);

}  // namespace tavrel
