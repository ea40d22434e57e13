#include "message/plain_text.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

// A conversion that fails is an error, never an empty file. The bytes for
// Windows-1252 and for UTF-8 are end-to-end cases.
TEST(PlainText, AFailedConversionIsAnError) {
    EXPECT_FALSE(plainTextBytes("Alarm", 12345).has_value());
}

} // namespace
} // namespace kulverant
