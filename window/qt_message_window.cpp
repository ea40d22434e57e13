#include "qt_message_window.h"

#include "control_table.h"

#include <QLabel>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QScreen>

#include <clocale>
#include <cwchar>
#include <langinfo.h>

namespace kulverant {

namespace {

QString qtString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QRect logicalRect(const TwipRect& rect) {
    return QRect(pixelsFromTwips(rect.left), pixelsFromTwips(rect.top), pixelsFromTwips(rect.width),
                 pixelsFromTwips(rect.height));
}

// Wrapping at word boundaries, Qt searches a whole overlong word for one on
// every line, which holds the window back for seconds on a word of 100 000
// characters. Such a word is broken anywhere in the end, so the text area
// then breaks everything anywhere.
bool hasOverlongWord(const QString& text) {
    constexpr qsizetype overlong = 1000;
    qsizetype current = 0;
    for (QChar c : text) {
        current = c.isSpace() ? 0 : current + 1;
        if (current > overlong)
            return true;
    }
    return false;
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
        // The plain-text control is made for long texts: a long message
        // delays the window far less than in a rich-text one.
        auto* area = new QPlainTextEdit(parent);
        // Nobody reads what is typed here, so typing is not offered; reading,
        // selecting and copying are.
        area->setReadOnly(true);
        area->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        area->setFocusPolicy(Qt::StrongFocus);
        area->setTabChangesFocus(true);
        area->setBackgroundRole(QPalette::Base);
        area->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        if (hasOverlongWord(text))
            area->setWordWrapMode(QTextOption::WrapAnywhere);
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

// Qt takes every 8-bit text on Linux for UTF-8; a decoder in a Latin-1 locale
// hands over Latin-1, which is shown as such. A locale of plain ASCII (C,
// POSIX: a service or a decoder started without LANG) decodes no umlaut at
// all, so there the text is taken for UTF-8, as Qt does. A byte that the
// locale cannot decode is shown as U+FFFD; the files keep the bytes as they came.
QString textInLocaleEncoding(const char* text, std::size_t size) {
    locale_t locale = ::newlocale(LC_CTYPE_MASK, "", nullptr);
    std::string_view codeset = locale ? ::nl_langinfo_l(CODESET, locale) : "UTF-8";
    if (codeset == "UTF-8" || codeset == "ANSI_X3.4-1968") {
        if (locale)
            ::freelocale(locale);
        return QString::fromUtf8(text, static_cast<qsizetype>(size));
    }
    locale_t previous = ::uselocale(locale);
    QString decoded;
    decoded.reserve(static_cast<qsizetype>(size));
    std::mbstate_t state{};
    for (std::size_t at = 0; at < size;) {
        wchar_t character = 0;
        std::size_t length = std::mbrtowc(&character, text + at, size - at, &state);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
            decoded += QChar::ReplacementCharacter;
            state = {};
            ++at;
            continue;
        }
        decoded += QString::fromUcs4(reinterpret_cast<const char32_t*>(&character), 1);
        at += length == 0 ? 1 : length;
    }
    ::uselocale(previous);
    ::freelocale(locale);
    return decoded;
}

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
        control->setAccessibleName(qtString(row.kind == ControlKind::TextArea ? controlTable[0].caption : row.caption));
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
    // Only now that the text area has its size and font: filled earlier, it
    // would lay a long message out once for each change.
    findChild<QPlainTextEdit*>()->setPlainText(text);
}

void MessageWindow::centreOnScreen() {
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

} // namespace kulverant
