#include "qt_window_library.h"

#include "control_table.h"
#include "qt_attention.h"
#include "qt_message_window.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// What to do when Qt finds no display while it starts: Qt's own answer is a
// fatal message followed by abort(), which would leave a core dump.
struct NoDisplay {
    const char* note; // said on standard error first, if anything
    int status;
};
const NoDisplay* noDisplay = nullptr;

void handleQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (noDisplay && type != QtFatalMsg)
        return;
    if (noDisplay) {
        if (noDisplay->note)
            std::fprintf(stderr, "%s\n(%s)\n", noDisplay->note, message.toLocal8Bit().constData());
        std::fflush(stderr);
        ::_exit(noDisplay->status);
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

// Qt 6.4's Wayland plugin can hang for good while Qt is taken apart: its
// destructor waits for its event thread, which waits for the display that is
// going away. On Wayland the program therefore ends once the window or the
// box has ended, without taking Qt apart; there is nothing left to do. The
// plugin goes by several names ("wayland", "wayland-egl", "wayland-brcm").
void endAtOnceOnWayland(int status) {
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        std::fflush(nullptr);
        ::_exit(status);
    }
}

// Qt sees only the program's name, never the message: a message such as
// '-reverse Alarm' must be shown and saved, not taken as a Qt option.
std::unique_ptr<QApplication> startQt(const char* programName, const NoDisplay& whenNoDisplay) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(programName), nullptr};
    qInstallMessageHandler(handleQtMessage);
    noDisplay = &whenNoDisplay;
    auto application = std::make_unique<QApplication>(argc, argv);
    noDisplay = nullptr;
    application->setWindowIcon(QIcon(":/kulverant.ico"));
    return application;
}

} // namespace

extern "C" int kulverant_show_message(const char* programName, const char* text, std::size_t size) {
    static constexpr NoDisplay noWindow = {
        "Kein Bildschirm erreichbar: Die Meldung ist gespeichert, ein Fenster kann nicht gezeigt werden.", 2};
    std::unique_ptr<QApplication> application = startQt(programName, noWindow);
    kulverant::MessageWindow window(kulverant::textInLocaleEncoding(text, size));
    QObject::connect(&window, &kulverant::MessageWindow::endRequested, application.get(), &QApplication::quit);
    window.centreOnScreen();
    window.show();
    int status = 0;
    {
        // Let go before the program ends at once on Wayland.
        kulverant::Attention attention(window);
        status = application->exec();
    }
    endAtOnceOnWayland(status);
    return status;
}

extern "C" void kulverant_show_failure(const char* programName, const char* report) {
    // The report is on standard error already.
    static constexpr NoDisplay noBox = {nullptr, 1};
    std::unique_ptr<QApplication> application = startQt(programName, noBox);
    QMessageBox::critical(nullptr, QString::fromUtf8(kulverant::windowCaption.data(),
                                                     static_cast<qsizetype>(kulverant::windowCaption.size())),
                          QString::fromUtf8(report));
    endAtOnceOnWayland(/*status=*/1);
}
