#include "system_error.h"

#include <cerrno>
#include <cstring>

namespace kulverant {

namespace {

ErrorNumber errorNumberForErrno(int code) {
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return ErrorNumber::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return ErrorNumber::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ErrorNumber::DiskFull;
    case ENAMETOOLONG:
    case EILSEQ:
    case EINVAL:
        return ErrorNumber::BadFileName;
    default:
        return ErrorNumber::PathFileAccess;
    }
}

} // namespace

SystemError systemError(int code) {
    return {errorNumberForErrno(code), std::strerror(code)};
}

SystemError lastSystemError() {
    return systemError(errno);
}

} // namespace kulverant
