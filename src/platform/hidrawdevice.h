#pragma once
// An open hidraw node. Reports go out and come in report ID first, also for devices whose
// descriptor declares no report IDs (their ID reads as 0).

#include "platform/hididentity.h"
#include "platform/ioresult.h"

#include <QByteArray>
#include <QString>
#include <optional>
#include <span>

namespace tavrel::platform {

class HidrawDevice {
public:
    enum class Mode { ReadWrite, Read };

    // Which node an open descriptor is on. A node name can pass to another device once its own
    // has gone, so a reopened name is compared with what the first opening found.
    struct NodeId {
        unsigned long long rdev = 0, dev = 0, ino = 0;
        unsigned type = 0;
        bool operator==(const NodeId&) const = default;
    };

    struct ReadResult {
        enum Kind {
            Report,   // size bytes, report ID first
            Nothing,  // no report there
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

    // A non-blocking descriptor: reads run on the event loop. Check isOpen() and lastErrno().
    static HidrawDevice open(const QString& devnode, Mode mode);
    // Whether the node exists at all, for interfaces the user may not open.
    static bool nodeExists(const QString& devnode);
    // Whether this user may open the node for reading and writing, learned without opening it.
    static bool mayReadWrite(const QString& devnode);

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    void close();

    std::optional<NodeId> nodeId() const;
    std::optional<HidIdentity> rawInfo();          // HIDIOCGRAWINFO; the version is not known there
    std::optional<QByteArray> reportDescriptor();  // HIDIOCGRDESCSIZE and HIDIOCGRDESC

    // Blocks until the driver took the report. A hidraw write waits for the USB transfer
    // whatever the descriptor's flags; on a non-blocking descriptor of another kind of node
    // the wait is bounded by writeTimeoutMs, after which the result is TimedOut.
    IoResult write(std::span<const quint8> report, int writeTimeoutMs = 2000);

    // Reads one report that is there already from a non-blocking descriptor, without waiting: Nothing
    // when there is none. End of file (a hung-up node) counts as the node gone.
    static ReadResult readAvailable(int fd, std::span<quint8> buffer, bool withoutReportIds);

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
