#include "platform/system_errors.h"

#include <cerrno>

#ifdef _WIN32
#include "common/windows_api.h"
// Older mingw-w64 headers lack it.
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif
#endif

namespace kavrel::platform {

namespace {

std::string otherReason(unsigned long code) {
    return std::string(kReasonOtherPrefix) + std::to_string(code) + ").";
}

} // namespace

std::string errnoReason(int error) {
    switch (error) {
    case ENOENT:
        return kReasonNoFile;
    case EACCES:
    case EPERM:
        return kReasonAccessDenied;
    case EISDIR:
        return kReasonIsFolder;
    case ENOTDIR:
        return kReasonNotAFolder;
    case ENOSPC:
        return kReasonDiskFull;
#ifdef EDQUOT
    case EDQUOT:
        return kReasonQuota;
#endif
    case EROFS:
        return kReasonReadOnly;
    case ENAMETOOLONG:
        return kReasonNameTooLong;
    case EINVAL:
        return kReasonBadName;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return kReasonInUse;
    case EMFILE:
    case ENFILE:
        return kReasonTooManyOpen;
    case EFBIG:
#ifdef EOVERFLOW
    case EOVERFLOW:
#endif
        return kReasonTooLarge;
    case EIO:
        return kReasonIo;
#ifdef ELOOP
    case ELOOP:
        return kReasonLinks;
#endif
    case ENOMEM:
        return kReasonNoMemory;
    default:
        return otherReason(static_cast<unsigned long>(error));
    }
}

#ifdef _WIN32
std::string lastErrorReason(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return kReasonNoFile;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return kReasonNoFolder;
    case ERROR_ACCESS_DENIED:
        return kReasonAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return kReasonInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return kReasonDiskFull;
    case ERROR_DISK_QUOTA_EXCEEDED:
        return kReasonQuota;
    case ERROR_WRITE_PROTECT:
        return kReasonReadOnly;
    case ERROR_FILENAME_EXCED_RANGE:
        return kReasonNameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return kReasonBadName;
    case ERROR_TOO_MANY_OPEN_FILES:
        return kReasonTooManyOpen;
    case ERROR_FILE_TOO_LARGE:
        return kReasonTooLarge;
    case ERROR_NOT_READY:
        return kReasonNotReady;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return kReasonNetwork;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return kReasonNoMemory;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
        return kReasonIo;
    default:
        return otherReason(error);
    }
}
#endif

} // namespace kavrel::platform
