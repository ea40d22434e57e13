#include "window/control_table.h"
#include "window/qt_message_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QPlainTextEdit>

namespace kulverant {
namespace {

QString qtString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class QtMessageWindow : public ::testing::Test {
protected:
    void showWindow(const QString& text) {
        window = std::make_unique<MessageWindow>(text);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    template <typename Control> Control* control(std::string_view name) {
        return window->findChild<Control*>(qtString(name));
    }

    std::unique_ptr<MessageWindow> window;
};

TEST_F(QtMessageWindow, ControlsFollowTheTableInLogicalPixels) {
    showWindow("ZIZ: 123 Alarm Wache");
    EXPECT_EQ(window->windowTitle(), "Tevra Pocsag Display");
    EXPECT_EQ(window->size(), QSize(312, 187));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);

    for (const ControlSpec& row : controlTable) {
        SCOPED_TRACE(row.name);
        QWidget* widget = control<QWidget>(row.name);
        ASSERT_NE(widget, nullptr);
        const char* expectedClass = row.kind == ControlKind::Label      ? "QLabel"
                                    : row.kind == ControlKind::TextArea ? "QPlainTextEdit"
                                                                         : "QPushButton";
        EXPECT_TRUE(widget->inherits(expectedClass));
        EXPECT_EQ(widget->geometry(), QRect(pixelsFromTwips(row.rect.left), pixelsFromTwips(row.rect.top),
                                            pixelsFromTwips(row.rect.width), pixelsFromTwips(row.rect.height)));
        EXPECT_FALSE(widget->accessibleName().isEmpty());
        if (row.font) {
            EXPECT_EQ(widget->font().family(), "Arial");
            EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), row.font->points);
            EXPECT_EQ(widget->font().bold(), row.font->bold);
        }
    }
    EXPECT_EQ(control<QLabel>(headingName)->text(), "Der letzte Kulverant lautet");
    EXPECT_TRUE(control<QLabel>(headingName)->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(control<QPushButton>(endButtonName)->text(), "Beenden");
    // The notice's box runs past the window's edge; its text must not.
    auto* notice = control<QLabel>(noticeName);
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), window->width() - notice->x());
    EXPECT_EQ(control<QPlainTextEdit>(textAreaName)->toPlainText(), "ZIZ: 123 Alarm Wache");
}

TEST_F(QtMessageWindow, TextAreaHasTheFocusThenTabGoesToBeenden) {
    showWindow("ZIZ: 1");
    auto* area = control<QPlainTextEdit>(textAreaName);
    auto* button = control<QPushButton>(endButtonName);
    EXPECT_EQ(QApplication::focusWidget(), area);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), button);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), area);
}

TEST_F(QtMessageWindow, OnlyAClickOnBeendenEndsTheProgram) {
    showWindow("ZIZ: 1 Alarm");
    QSignalSpy ended(window.get(), &MessageWindow::endRequested);
    auto* area = control<QPlainTextEdit>(textAreaName);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_X})
        QTest::keyClick(area, key);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_EQ(area->toPlainText(), "ZIZ: 1 Alarm");
    QTest::mouseClick(control<QPushButton>(endButtonName), Qt::LeftButton);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(QtMessageWindow, LongMessageScrollsInsideItsFixedBox) {
    QString text = "ZIZ: 123 " + QString("Alarm Wache ").repeated(400);
    showWindow(text);
    auto* area = control<QPlainTextEdit>(textAreaName);
    EXPECT_EQ(window->size(), QSize(312, 187));
    EXPECT_EQ(area->size(), QSize(289, 81));
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(area->toPlainText(), text);
}

} // namespace
} // namespace kulverant

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
