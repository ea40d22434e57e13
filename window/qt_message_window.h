#pragma once

#include <QWidget>

#include <cstddef>

namespace kulverant {

/// The message's bytes as text in the encoding of the locale (LC_CTYPE).
QString textInLocaleEncoding(const char* text, std::size_t size);

/// The window `kulverant`: heading, the text area with the message, the
/// notice and "Beenden", laid out from the control table.
class MessageWindow : public QWidget {
    Q_OBJECT

public:
    explicit MessageWindow(const QString& text, QWidget* parent = nullptr);

    /// Centres the window on the screen it will appear on.
    void centreOnScreen();

signals:
    /// "Beenden" was pressed.
    void endRequested();
};

} // namespace kulverant
