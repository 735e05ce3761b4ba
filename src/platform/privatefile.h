#pragma once
// Writing a file that only its user should read, at a path the environment names: the state
// snapshot holds serial numbers, the report log and the captured combination.

#include <string>
#include <string_view>

namespace tavrel::platform {

struct PrivateFileResult {
    bool written = false;
    std::string why;  // when nothing was written: why, as a sentence for standard error
};

// Replaces the file at path whole with the bytes, mode 0600. The bytes go to a new file beside
// it (O_CREAT | O_EXCL | O_NOFOLLOW), which is then renamed over the path: a reader never sees
// half a file, and a symbolic link at the path is replaced, never followed. Nothing is written
// into a folder that others may write to without the sticky bit, as anyone could swap the file
// there for a link between the check and the write.
PrivateFileResult writePrivateFile(const std::string& path, std::string_view bytes);

}  // namespace tavrel::platform
