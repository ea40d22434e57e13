// The floor for a Qt window: a bare Qt 6 Widgets window with the same four
// controls, linked to Qt the ordinary way, writing nothing.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle("Tevra Pocsag Display");
    window.setFixedSize(312, 187);
    auto font = [](double points, bool bold) {
        QFont font("Arial");
        font.setPointSizeF(points);
        font.setBold(bold);
        return font;
    };
    auto* heading = new QLabel("Der letzte Kulverant lautet", &window);
    heading->setGeometry(8, 8, 289, 25);
    heading->setAlignment(Qt::AlignCenter);
    heading->setFont(font(12, true));
    auto* area = new QTextEdit(&window);
    area->setGeometry(8, 40, 289, 81);
    area->setFont(font(9.75, false));
    area->setPlainText("ZIZ: 123 Alarm Wache");
    area->setReadOnly(true);
    auto* notice = new QLabel("kulverant, ohne Gew\u00e4hr", &window);
    notice->setGeometry(200, 168, 121, 17);
    notice->setFont(font(8.25, false));
    auto* button = new QPushButton("Beenden", &window);
    button->setGeometry(104, 128, 105, 25);
    QObject::connect(button, &QPushButton::clicked, &application, &QApplication::quit);
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    return application.exec();
}
