#include "system_error.h"

#include <cerrno>
#include <cstring>
#include <locale.h>
#include <string.h>

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

// The reason in the user's language and character set: the messages alone
// would come out in the C locale's ASCII, umlauts as '?'. The locale is looked
// up only here, when something has failed, so a successful start does not
// pay for it.
SystemError systemError(int code) {
    std::string reason;
    if (locale_t messages = ::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0))) {
        reason = ::strerror_l(code, messages);
        ::freelocale(messages);
    } else {
        reason = std::strerror(code);
    }
    return {errorNumberForErrno(code), std::move(reason)};
}

SystemError lastSystemError() {
    return systemError(errno);
}

} // namespace kulverant
