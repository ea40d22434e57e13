#include "qt_attention.h"

#include "qt_wayland_attention.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

namespace kulverant {

namespace {

constexpr int alertAfterMilliseconds = 1000;

bool hasExtension(xcb_connection_t* connection, xcb_extension_t* extension) {
    const xcb_query_extension_reply_t* data = xcb_get_extension_data(connection, extension);
    return data && data->present;
}

// Whether the server's MIT-SCREEN-SAVER can suspend its timers (1.1 and later).
bool canSuspend(xcb_connection_t* connection) {
    if (!hasExtension(connection, &xcb_screensaver_id))
        return false;
    xcb_screensaver_query_version_reply_t* version = xcb_screensaver_query_version_reply(
        connection, xcb_screensaver_query_version(connection, 1, 1), nullptr);
    bool suspends = version && (version->server_major_version > 1 ||
                                (version->server_major_version == 1 && version->server_minor_version >= 1));
    std::free(version);
    return suspends;
}

// Switches the monitor on where the server has DPMS and the monitor can.
void switchMonitorOn(xcb_connection_t* connection) {
    if (!hasExtension(connection, &xcb_dpms_id))
        return;
    xcb_dpms_capable_reply_t* capable = xcb_dpms_capable_reply(connection, xcb_dpms_capable(connection), nullptr);
    if (capable && capable->capable)
        xcb_dpms_force_level(connection, XCB_DPMS_DPMS_MODE_ON);
    std::free(capable);
}

} // namespace

Attention::Attention(QWidget& window) {
    window.raise();
    window.activateWindow();
    // A window system that refuses the focus (to a program started in the
    // background while someone works elsewhere) still lets it ask for
    // attention: the taskbar entry flashes or the urgency hint is set,
    // until the window is activated.
    QTimer::singleShot(alertAfterMilliseconds, &window, [&window] {
        if (!window.isActiveWindow())
            QApplication::alert(&window);
    });
    if (QWindow* handle = window.windowHandle())
        wayland_ = WaylandAttention::take(*handle);
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    // Ends a running screen saver and restarts its timer, as input would.
    xcb_force_screen_saver(connection, XCB_SCREEN_SAVER_RESET);
    switchMonitorOn(connection);
    if (canSuspend(connection)) {
        xcb_screensaver_suspend(connection, 1);
        x11_ = connection;
    }
    xcb_flush(connection);
}

Attention::~Attention() {
    if (x11_) {
        xcb_screensaver_suspend(x11_, 0);
        xcb_flush(x11_);
    }
}

} // namespace kulverant
