// The Qt window in-process, for what a screen shot cannot tell: each control's
// box and font from the table, the notice's width, and a long message kept
// inside its box. Keys and clicks are tested with real input in
// xvfb_window_test.sh.
#include "window/control_table.h"
#include "window/qt_message_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace kulverant {
namespace {

QWidget* control(const MessageWindow& window, std::string_view name) {
    return window.findChild<QWidget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

TEST(QtMessageWindow, ControlsFollowTheTableAndTheNoticeFits) {
    MessageWindow window("ZIZ: 123 Alarm Wache");
    window.show();
    for (const ControlSpec& row : controlTable) {
        SCOPED_TRACE(row.name);
        QWidget* widget = control(window, row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), QRect(pixelsFromTwips(row.rect.left), pixelsFromTwips(row.rect.top),
                                            pixelsFromTwips(row.rect.width), pixelsFromTwips(row.rect.height)));
        if (row.font) {
            EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), row.font->points);
            EXPECT_EQ(widget->font().bold(), row.font->bold);
        }
    }
    // The notice's box runs past the window's edge; its text must not.
    auto* notice = static_cast<QLabel*>(control(window, noticeName));
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), window.width() - notice->x());
}

TEST(QtMessageWindow, LongMessagesScrollInsideTheFixedBox) {
    for (const QString& text : {"ZIZ: 123 " + QString("Alarm Wache ").repeated(400), "ZIZ: 123 " + QString(5000, 'x')}) {
        MessageWindow window(text);
        window.show();
        auto* area = static_cast<QPlainTextEdit*>(control(window, textAreaName));
        EXPECT_EQ(window.size(), QSize(312, 187));
        EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0);
        EXPECT_EQ(area->toPlainText(), text);
    }
}

} // namespace
} // namespace kulverant

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
