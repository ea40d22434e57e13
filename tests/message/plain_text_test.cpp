#include "message/plain_text.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

// The file's bytes for each kind of Windows code page; a conversion that
// fails is an error, never an empty file.
TEST(PlainText, BytesInTheCodePageOrAnError) {
    const std::tuple<unsigned, std::string_view, std::optional<std::string_view>> cases[] = {
        {1252, "Gr\xc3\xbc\xc3\x9f""e \xe2\x88\x95\xce\xb1", "Gr\xfc\xdf""e ??"},
        {65001, "Gr\xc3\xbc\xc3\x9f""e \xe2\x88\x95\xce\xb1", "Gr\xc3\xbc\xc3\x9f""e \xe2\x88\x95\xce\xb1"},
        {12345, "Alarm", std::nullopt},
    };
    for (auto [codePage, text, bytes] : cases) {
        SCOPED_TRACE(codePage);
        auto converted = plainTextBytes(text, codePage);
        ASSERT_EQ(converted.has_value(), bytes.has_value());
        if (bytes) {
            EXPECT_EQ(*converted, *bytes);
        }
    }
}

} // namespace
} // namespace kulverant
