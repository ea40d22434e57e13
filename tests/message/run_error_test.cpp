#include "message/run_error.h"
#include "message/system_error.h"

#include <gtest/gtest.h>

#ifndef _WIN32
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

#ifndef _WIN32
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
