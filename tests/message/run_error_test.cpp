#include "message/run_error.h"
#include "message/system_error.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

namespace kulverant {
namespace {

TEST(RunError, ReportNamesNumberTextPathAndReason) {
    EXPECT_EQ(formatReport({ErrorNumber::PathNotFound, "/home/anna/Pocsag/Kulverant.txt", "No such file or directory"}),
              "Laufzeitfehler '76':\nPfad nicht gefunden\n/home/anna/Pocsag/Kulverant.txt: No such file or directory");
    EXPECT_EQ(formatReport({ErrorNumber::SubscriptOutOfRange, "", "Keine Meldung angegeben."}),
              "Laufzeitfehler '9':\nIndex außerhalb des gültigen Bereichs\nKeine Meldung angegeben.");
}

#ifdef _WIN32
TEST(SystemError, MapsWindowsErrorsToTheClosestRunTimeError) {
    const std::pair<DWORD, ErrorNumber> cases[] = {
        {ERROR_PATH_NOT_FOUND, ErrorNumber::PathNotFound},    {ERROR_FILE_NOT_FOUND, ErrorNumber::PathNotFound},
        {ERROR_ACCESS_DENIED, ErrorNumber::PermissionDenied}, {ERROR_SHARING_VIOLATION, ErrorNumber::PermissionDenied},
        {ERROR_DISK_FULL, ErrorNumber::DiskFull},             {ERROR_HANDLE_DISK_FULL, ErrorNumber::DiskFull},
        {ERROR_INVALID_NAME, ErrorNumber::BadFileName},       {ERROR_FILENAME_EXCED_RANGE, ErrorNumber::BadFileName},
        {ERROR_ALREADY_EXISTS, ErrorNumber::PathFileAccess},
    };
    for (auto [code, number] : cases) {
        SCOPED_TRACE(code);
        SystemError error = systemError(static_cast<int>(code));
        EXPECT_EQ(error.number, number);
        EXPECT_FALSE(error.reason.empty());
        EXPECT_NE(error.reason.back(), '\n');
    }
}
#else
TEST(SystemError, MapsErrnoToTheClosestRunTimeError) {
    const std::pair<int, ErrorNumber> cases[] = {
        {ENOENT, ErrorNumber::PathNotFound},     {ENOTDIR, ErrorNumber::PathNotFound},
        {EACCES, ErrorNumber::PermissionDenied}, {EROFS, ErrorNumber::PermissionDenied},
        {ENOSPC, ErrorNumber::DiskFull},         {EFBIG, ErrorNumber::DiskFull},
        {EDQUOT, ErrorNumber::DiskFull},         {ENAMETOOLONG, ErrorNumber::BadFileName},
        {EISDIR, ErrorNumber::PathFileAccess},   {EIO, ErrorNumber::PathFileAccess},
    };
    for (auto [code, number] : cases) {
        SCOPED_TRACE(code);
        SystemError error = systemError(code);
        EXPECT_EQ(error.number, number);
        EXPECT_FALSE(error.reason.empty());
    }
}
#endif

} // namespace
} // namespace kulverant
