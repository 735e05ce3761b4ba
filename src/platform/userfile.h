#pragma once
// The one way a file of the user's is written (a key file from tavrelctl backup or the window's
// save, the state snapshot) and the one way a key file is read. Paths are bytes, as the kernel
// takes them: QFile::encodeName() of what the user gave.

#include "platform/ioresult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <string>

namespace tavrel::platform {

enum class FileAccess {
    AsUmaskAllows,  // a new file gets 0666 less the umask; a replaced one keeps its permissions
    OwnerOnly,      // 0600 whatever the umask, for what only its user should read
};

// Replaces the file at path whole with the bytes. They go to a new file beside it (a unique
// name, O_EXCL | O_NOFOLLOW), which is synced and then renamed over the path, so a reader never
// sees half a file and a crash leaves the old one. A symbolic link at the path is refused, never
// followed: whoever could write the folder could otherwise point the write at any file of the
// user's. Anything else but a regular file there (a folder, a FIFO, a device) is refused too, and
// so is a folder that others may write to without the sticky bit, as anyone could swap the file
// there between the write and the rename.
IoResult writeUserFile(const std::string& path, QByteArrayView bytes, FileAccess access = FileAccess::AsUmaskAllows);

struct FileRead {
    IoResult outcome;  // Ok with the bytes, or why there are none
    QByteArray bytes;
};

// The bytes of a regular file of at most maxBytes, without ever blocking: what the path names is
// looked at before it is opened for reading, so a FIFO or a device is refused at once and never
// opened (opening some devices does something, a serial port's resets the board behind it). A
// symbolic link to a regular file is read: reading through it changes nothing, and people keep
// their files behind links. A file that grows beyond maxBytes while it is read is refused.
FileRead readUserFile(const std::string& path, qint64 maxBytes);

}  // namespace tavrel::platform
