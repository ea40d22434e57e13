#include "window/control_table.h"

#include <gtest/gtest.h>

namespace kulverant {
namespace {

TEST(ControlTable, ControlsStackWithoutOverlapAndTheButtonSitsInTheMiddle) {
    for (std::size_t i = 0; i < controlTable.size(); ++i) {
        SCOPED_TRACE(controlTable[i].name);
        EXPECT_EQ(controlTable[i].tabIndex, static_cast<int>(i));
        if (i > 0) {
            const TwipRect& above = controlTable[i - 1].rect;
            const TwipRect& rect = controlTable[i].rect;
            bool overlaps = rect.top < above.top + above.height && above.top < rect.top + rect.height &&
                            rect.left < above.left + above.width && above.left < rect.left + rect.width;
            EXPECT_FALSE(overlaps);
        }
    }
    // Top to bottom: heading, text area, button, notice.
    const TwipRect& button = controlTable[3].rect;
    const TwipRect& notice = controlTable[2].rect;
    EXPECT_LT(button.top + button.height, notice.top);
    EXPECT_LE(std::abs(2 * button.left + button.width - clientWidthTwips), 15);
    EXPECT_LE(notice.top + notice.height, clientHeightTwips);
}

TEST(ControlTable, TwipsBecomePixelsAtTheScreensResolution) {
    EXPECT_EQ(pixelsFromTwips(clientWidthTwips), 312);
    EXPECT_EQ(pixelsFromTwips(clientHeightTwips), 187);
    EXPECT_EQ(pixelsFromTwips(4335, 144), 434);
    EXPECT_EQ(pixelsFromTwips(1215, 120), 101);
}

} // namespace
} // namespace kulverant
