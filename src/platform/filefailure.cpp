#include "platform/filefailure.h"

#include "config/configfile.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstring>

namespace tavrel {

QString systemErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return QCoreApplication::translate("tavrel::files", "there is no such file or folder");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("tavrel::files", "permission denied");
    case ENOSPC:
        return QCoreApplication::translate("tavrel::files", "the disk is full");
    case EDQUOT:
        return QCoreApplication::translate("tavrel::files", "the disk quota is used up");
    case EROFS:
        return QCoreApplication::translate("tavrel::files", "the file system is read-only");
    case ENOTDIR:
        return QCoreApplication::translate("tavrel::files", "a part of the path is not a folder");
    case EISDIR:
        return QCoreApplication::translate("tavrel::files", "it is a folder");
    case ENAMETOOLONG:
        return QCoreApplication::translate("tavrel::files", "the name is too long");
    case ELOOP:
        return QCoreApplication::translate("tavrel::files", "the path has too many symbolic links");
    case EIO:
        return QCoreApplication::translate("tavrel::files", "the disk reported an input/output error");
    case EMFILE:
    case ENFILE:
        return QCoreApplication::translate("tavrel::files", "too many files are open");
    case EBUSY:
    case ETXTBSY:
        return QCoreApplication::translate("tavrel::files", "it is in use");
    default:
        // A rare error: its number and the C library's own words, which a search finds.
        return QCoreApplication::translate("tavrel::files", "system error %1 (%2)")
            .arg(error)
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString fileFailureText(const IoResult& result)
{
    using Status = IoResult::Status;
    switch (result.status) {
    case Status::NotAFileName:
        return QCoreApplication::translate("tavrel::files", "it does not name a file");
    case Status::NotAFolder:
        return QCoreApplication::translate("tavrel::files", "a part of the path is not a folder");
    case Status::FolderOpenToAll:
        return QCoreApplication::translate("tavrel::files", "anyone may write to its folder, which has no sticky "
                                                            "bit, so anyone could swap the file while it is written");
    case Status::IsLink:
        return QCoreApplication::translate("tavrel::files", "it is a symbolic link; a link is not written through, "
                                                            "so name the file it points to");
    case Status::IsFolder:
        return QCoreApplication::translate("tavrel::files", "it is a folder");
    case Status::IsPipe:
        return QCoreApplication::translate("tavrel::files", "it is a pipe or a socket, not a file");
    case Status::IsDevice:
        return QCoreApplication::translate("tavrel::files", "it is a device, not a file");
    case Status::TooLarge:
        return QCoreApplication::translate("tavrel::files", "it is larger than %1 MiB, far more than a key file holds")
            .arg(configfile::MaxFileBytes >> 20);
    default:
        break;
    }
    // Everything else a file meets is a system call that failed, and its errno says why.
    return result.ok() ? QString() : systemErrorText(result.error != 0 ? result.error : EIO);
}

}  // namespace tavrel
