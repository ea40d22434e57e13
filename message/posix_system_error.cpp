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
    case EWOULDBLOCK: // another program keeps the file locked
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

// The reason in the user's language (LC_MESSAGES), always in UTF-8 like the
// rest of the report: in the C locale it would be English ASCII, and in a
// Latin-1 locale its umlauts would be single bytes among UTF-8 text. The
// locale is looked up only here, when something has failed, so a successful
// start does not pay for it.
SystemError systemError(int code) {
    std::string reason;
    locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    locale_t messages = utf8 ? ::newlocale(LC_MESSAGES_MASK, "", utf8) : static_cast<locale_t>(0);
    if (messages) {
        reason = ::strerror_l(code, messages);
        ::freelocale(messages);
    } else {
        if (utf8)
            ::freelocale(utf8);
        reason = std::strerror(code);
    }
    return {errorNumberForErrno(code), std::move(reason)};
}

SystemError lastSystemError() {
    return systemError(errno);
}

} // namespace kulverant
