#pragma once
// The outcome of one piece of I/O (opening, writing, reading a device's node; reading or writing a
// file of the user's; loading the hook library), the one way a failure of the system travels up
// from the platform layer to the session, the windows and tavrelctl, which each put it into the
// user's words in one place.

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

        // What a path of the user's names rules the file out; `error` is 0.
        NotAFileName,     // empty, or ends with "/"
        NotAFolder,       // what the path's folder part names is no folder
        FolderOpenToAll,  // others may write the folder and it has no sticky bit
        IsLink,           // a symbolic link stands at the path where a file is written
        IsFolder,
        IsPipe,  // a FIFO or a socket
        IsDevice,
        TooLarge,  // more bytes than the reader takes

        // Keyboard capture cannot be set up.
        HookLibraryMissing,      // the hook library cannot be loaded
        HookEntryPointsMissing,  // it lacks HookOn or HookOff
        SharedMemoryFailed,      // "TestHook" cannot be created or written
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

    static IoResult success(int written = 0) { return {Status::Ok, written, 0, {}}; }
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
