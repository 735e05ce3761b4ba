#pragma once
// The outcome of one piece of device I/O (opening, writing, reading a node), the one way a
// failure travels up from the platform layer through the device layer to the session and the
// windows, which put it into the user's words in one place.

#include <QString>
#include <cerrno>

namespace tavrel {

struct IoResult {
    enum class Status {
        Ok,
        NoDevice,      // nothing to send to: no device selected, or the device was released
        NotPermitted,  // the node exists but this user may not open it (the udev rule is missing)
        Gone,          // the device was unplugged (ENODEV, ENOENT, ENXIO, EIO), or its node now belongs
                       // to another device (ESTALE)
        TimedOut,      // the driver did not take the report in time
        Failed,        // any other error; `error` holds errno
    };

    Status status = Status::NoDevice;
    int written = 0;  // bytes the driver took
    int error = 0;    // errno, when there is one
    QString message;  // for the report log and diagnostics; never shown as is

    bool ok() const { return status == Status::Ok; }

    // The one place where an errno becomes a status.
    static Status statusFor(int error)
    {
        switch (error) {
        case ENODEV:
        case ENOENT:
        case ENXIO:
        case EIO:
        case ESTALE:
            return Status::Gone;
        case EACCES:
        case EPERM:
            return Status::NotPermitted;
        case ETIMEDOUT:
            return Status::TimedOut;
        default:
            return Status::Failed;
        }
    }

    static IoResult success(int written) { return {Status::Ok, written, 0, {}}; }
    static IoResult fromErrno(int error, QString message = {})
    {
        return {statusFor(error), 0, error, std::move(message)};
    }
    static IoResult failure(Status status, int error = 0, QString message = {})
    {
        return {status, 0, error, std::move(message)};
    }
};

}  // namespace tavrel
