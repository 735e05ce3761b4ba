#pragma once
// Why a file of the user's (a key file, the state snapshot) was not read or written, and that
// reason in the user's words. The reasons are written in English and translated in the context
// "tavrel::files", as tavrelctl's messages are; a system error becomes a sentence of our own, as
// the C library's texts follow no language rule of ours.

#include <QString>

namespace tavrel {

enum class FileFault {
    None,
    NotAFileName,     // empty, or ends with "/"
    NotAFolder,       // what the path's folder part names is no folder
    FolderOpenToAll,  // others may write the folder and it has no sticky bit
    IsLink,           // a symbolic link stands at the path where a file is written
    IsFolder,
    IsPipe,  // a FIFO or a socket
    IsDevice,
    TooLarge,  // more bytes than a key file can hold
    System,    // a system call failed; the outcome's error holds errno
};

struct FileOutcome {
    FileFault fault = FileFault::None;
    int error = 0;  // errno, for FileFault::System

    bool ok() const { return fault == FileFault::None; }
    friend bool operator==(const FileOutcome&, const FileOutcome&) = default;
};

// The reason as a clause that follows "FILE cannot be read: " or "FILE cannot be written: ".
QString fileFaultText(const FileOutcome& outcome);

// An errno in our own words: "there is no such file or folder", "the disk is full".
QString systemErrorText(int error);

}  // namespace tavrel
