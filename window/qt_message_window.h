#pragma once

#include <QWidget>


namespace kulverant {

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
