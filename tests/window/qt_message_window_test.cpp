// The Qt window in-process, for what a screen shot cannot tell: each control's
// box, font and accessible name, the notice's width and a long message kept
// inside its box. Keys, clicks and the text shown in each locale are tested
// with real input in xvfb_window_test.sh.
#include "window/control_table.h"
#include "window/qt_message_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>


namespace kulverant {
namespace {

QWidget* control(const MessageWindow& window, std::string_view name) {
    return window.findChild<QWidget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

// The geometry that the window has always had, written down by hand: the
// table and its conversion must reproduce it.
TEST(QtMessageWindow, ControlsKeepTheirPlacesAndNames) {
    struct Expected {
        std::string_view name;
        QRect geometry;
        double points;
        const char* accessibleName;
    };
    const Expected controls[] = {
        {headingName, {8, 8, 289, 25}, 12.0, "Der letzte Kulverant lautet"},
        {textAreaName, {8, 40, 289, 81}, 9.75, "Der letzte Kulverant lautet"},
        {noticeName, {200, 168, 121, 17}, 8.25, "Ohne Gew\u00e4hr"},
        {endButtonName, {104, 128, 105, 25}, 0, "Beenden"},
    };
    MessageWindow window("ZIZ: 123 Alarm Wache");
    window.show();
    EXPECT_EQ(window.size(), QSize(312, 187));
    for (const Expected& expected : controls) {
        SCOPED_TRACE(expected.name);
        QWidget* widget = control(window, expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), expected.geometry);
        if (expected.points > 0) {
            EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), expected.points);
        }
        EXPECT_EQ(widget->accessibleName(), QString::fromUtf8(expected.accessibleName));
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), widget->accessibleName());
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), widget->accessibleName());
        }
    }
    EXPECT_TRUE(control(window, headingName)->font().bold());
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
