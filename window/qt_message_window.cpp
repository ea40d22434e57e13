#include "qt_message_window.h"

#include "control_table.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

namespace kulverant {

namespace {

QString qtString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect logicalRect(const TwipRect& rect) {
    return QRect(pixelsFromTwips(rect.left), pixelsFromTwips(rect.top), pixelsFromTwips(rect.width),
                 pixelsFromTwips(rect.height));
}

QWidget* createControl(const ControlSpec& row, const QString& text, QWidget* parent) {
    switch (row.kind) {
    case ControlKind::Label: {
        auto* label = new QLabel(qtString(row.caption), parent);
        label->setAlignment((row.alignment == TextAlignment::Centre ? Qt::AlignHCenter : Qt::AlignLeft) |
                            Qt::AlignVCenter);
        return label;
    }
    case ControlKind::TextArea: {
        auto* area = new QTextEdit(parent);
        area->setAcceptRichText(false);
        area->setPlainText(text);
        // Nobody reads what is typed here, so typing is not offered; reading,
        // selecting and copying are.
        area->setReadOnly(true);
        area->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        area->setFocusPolicy(Qt::StrongFocus);
        area->setBackgroundRole(QPalette::Base);
        area->setLineWrapMode(QTextEdit::WidgetWidth);
        return area;
    }
    case ControlKind::Button: {
        auto* button = new QPushButton(qtString(row.caption), parent);
        // Enter and Escape must not end the program by accident.
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    }
    return nullptr;
}

} // namespace

MessageWindow::MessageWindow(const QString& text, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(qtString(windowName));
    setWindowTitle(qtString(windowCaption));
    setFixedSize(pixelsFromTwips(clientWidthTwips), pixelsFromTwips(clientHeightTwips));

    QWidget* previous = nullptr;
    for (const ControlSpec& row : controlTable) {
        QWidget* control = createControl(row, text, this);
        control->setObjectName(qtString(row.name));
        control->setAccessibleName(qtString(row.accessibleName));
        control->setGeometry(logicalRect(row.rect));
        if (row.font) {
            QFont font(qtString(row.font->face));
            font.setPointSizeF(row.font->points);
            font.setBold(row.font->bold);
            control->setFont(font);
        }
        if (row.kind == ControlKind::Label)
            continue;
        if (previous)
            setTabOrder(previous, control);
        else
            control->setFocus(Qt::OtherFocusReason);
        previous = control;
        if (auto* button = qobject_cast<QPushButton*>(control))
            connect(button, &QPushButton::clicked, this, &MessageWindow::endRequested);
    }
}

void MessageWindow::centreOnScreen() {
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace kulverant
