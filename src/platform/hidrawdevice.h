#pragma once
// An open hidraw node. Reports go out and come in report ID first, also for devices whose
// descriptor declares no report IDs (their ID reads as 0).

#include "platform/hididentity.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>

namespace tavrel::platform {

class HidrawDevice {
public:
    enum class Mode { ReadWrite, Read };

    struct WriteResult {
        bool ok = false;
        int written = 0;
    };

    struct ReadResult {
        enum Kind {
            Report,   // size bytes, report ID first
            Nothing,  // no report within the time-out
            Woken,    // the wake descriptor became readable
            Failed,   // error holds errno; the node is gone or broken
        };
        Kind kind = Nothing;
        int size = 0;
        int error = 0;
    };

    HidrawDevice() = default;
    ~HidrawDevice();
    HidrawDevice(HidrawDevice&& other) noexcept;
    HidrawDevice& operator=(HidrawDevice&& other) noexcept;
    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    // Opened non-blocking for reads; check isOpen() and lastErrno().
    static HidrawDevice open(const QString& devnode, Mode mode);
    // Whether the node exists at all, for interfaces the user may not open.
    static bool nodeExists(const QString& devnode);

    bool isOpen() const { return m_fd >= 0; }
    void close();

    std::optional<HidIdentity> rawInfo();  // HIDIOCGRAWINFO; the version is not known there
    std::optional<QByteArray> reportDescriptor();  // HIDIOCGRDESCSIZE and HIDIOCGRDESC

    // Blocks until the driver took the report.
    WriteResult write(std::span<const quint8> report);

    // Waits up to timeoutMs for a report, or until wakeFd (if >= 0) is readable, then reads
    // whatever is there also after a time-out, as emulated nodes never signal data.
    // withoutReportIds: the device sends no ID byte; one 0 byte is put in front.
    ReadResult read(std::span<quint8> buffer, int timeoutMs, int wakeFd, bool withoutReportIds);

    int lastErrno() const { return m_lastErrno; }
    const QString& lastError() const { return m_lastError; }

private:
    void fail(int error, const char* what);

    int m_fd = -1;
    QString m_devnode;
    int m_lastErrno = 0;
    QString m_lastError;
};

}  // namespace tavrel::platform
