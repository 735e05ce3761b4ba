#pragma once
// Writing a file that only its user should read, at a path the environment names: the state
// snapshot holds serial numbers, the report log and the captured combination.

#include "platform/userfile.h"

namespace tavrel::platform {

// writeUserFile() with mode 0600, whatever the umask.
inline IoResult writePrivateFile(const std::string& path, QByteArrayView bytes)
{
    return writeUserFile(path, bytes, FileAccess::OwnerOnly);
}

}  // namespace tavrel::platform
