#pragma once
// The one path every request takes to the device, and the dispatcher every input report
// passes through. Both log what they move to the report log.

#include "config/reports.h"

#include <functional>
#include <span>

namespace tavrel {

struct WriteResult {
    bool ok = false;
    int written = 0;
};

// What the protocol needs of the device layer.
class ReportTransport {
public:
    virtual ~ReportTransport() = default;
    // The device list's selected entry becomes the current device; with no selected entry the
    // current device stays as it was.
    virtual void takeSelectedDevice() = 0;
    // One blocking write to the current device; {false, 0} when there is none.
    virtual WriteResult writeToCurrent(std::span<const quint8> report) = 0;
};

// The report log: one line per report sent or received, never trimmed.
class ReportLog {
public:
    virtual ~ReportLog() = default;
    virtual void append(const QString& line) = 0;
};

class ReportChannel {
public:
    ReportChannel(ReportTransport& transport, ReportLog& log) : m_transport(transport), m_log(log) {}

    // Once per operation (a read, a write, a pairing request), before its first request.
    void beginOperation() { m_transport.takeSelectedDevice(); }
    // Writes one report to the current device and logs it, also when the write fails.
    WriteResult send(const OutputReport& report);

private:
    ReportTransport& m_transport;
    ReportLog& m_log;
};

struct ReportHandlers {
    std::function<void(const KeyRecordResponse&)> keyRecord;
    std::function<void(const PairingResponse&)> pairing;
};

// Hands a key-record or pairing response to its handler, then logs the report whatever it
// was. A short report is logged with exactly the bytes delivered and otherwise ignored.
void dispatchReport(quint8 reportId, std::span<const quint8> data, const ReportHandlers& handlers,
                    ReportLog& log);

}  // namespace tavrel
