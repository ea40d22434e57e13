#include "qt_wayland_attention.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <qpa/qplatformnativeinterface.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <wayland-client.h>

#include "idle-inhibit-unstable-v1-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"

namespace kulverant {

namespace {

struct Globals {
    zwp_idle_inhibit_manager_v1* idle = nullptr;
    xdg_activation_v1* activation = nullptr;
};

void announce(void* data, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    auto* globals = static_cast<Globals*>(data);
    if (!globals->idle && std::strcmp(interface, zwp_idle_inhibit_manager_v1_interface.name) == 0)
        globals->idle = static_cast<zwp_idle_inhibit_manager_v1*>(
            wl_registry_bind(registry, name, &zwp_idle_inhibit_manager_v1_interface, 1));
    else if (!globals->activation && std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        globals->activation =
            static_cast<xdg_activation_v1*>(wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

void withdraw(void*, wl_registry*, std::uint32_t) {}

constexpr wl_registry_listener registryListener{announce, withdraw};

void tokenDone(void* data, xdg_activation_token_v1*, const char* token) {
    static_cast<std::string*>(data)->assign(token);
}

constexpr xdg_activation_token_v1_listener tokenListener{tokenDone};

} // namespace

std::unique_ptr<WaylandAttention> WaylandAttention::take(QWindow& window) {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return nullptr;
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
    auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", &window));
    if (!display || !surface)
        return nullptr;
    return std::unique_ptr<WaylandAttention>(new WaylandAttention(window, display, surface));
}

WaylandAttention::WaylandAttention(QWindow& window, wl_display* display, wl_surface* surface)
    : window_(window), display_(display), surface_(surface) {
    queue_ = wl_display_create_queue(display_);
    // The registry, and what is bound through it, answer on our queue.
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display_));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue_);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    Globals globals;
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip_queue(display_, queue_);
    // Globals announced later are not ours to wait for.
    wl_registry_destroy(registry);
    idle_ = globals.idle;
    activation_ = globals.activation;
    if (idle_)
        inhibitor_ = zwp_idle_inhibit_manager_v1_create_inhibitor(idle_, surface_);
    // A compositor activates only a mapped surface, and Qt maps it with the
    // first frame it draws once exposed.
    if (activation_)
        window_.installEventFilter(this);
    wl_display_flush(display_);
}

WaylandAttention::~WaylandAttention() {
    window_.removeEventFilter(this);
    if (inhibitor_)
        zwp_idle_inhibitor_v1_destroy(inhibitor_);
    if (idle_)
        zwp_idle_inhibit_manager_v1_destroy(idle_);
    if (activation_)
        xdg_activation_v1_destroy(activation_);
    wl_display_flush(display_);
    wl_event_queue_destroy(queue_);
}

bool WaylandAttention::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Expose && window_.isExposed()) {
        window_.removeEventFilter(this);
        QTimer::singleShot(0, this, &WaylandAttention::activate);
    }
    return false;
}

// A token asked for without an input event's serial: a compositor may still
// bring the window to the front with it, or mark it as wanting attention.
void WaylandAttention::activate() {
    std::string token;
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation_);
    xdg_activation_token_v1_add_listener(request, &tokenListener, &token);
    xdg_activation_token_v1_commit(request);
    wl_display_roundtrip_queue(display_, queue_);
    xdg_activation_token_v1_destroy(request);
    if (!token.empty())
        xdg_activation_v1_activate(activation_, token.c_str(), surface_);
    wl_display_flush(display_);
}

} // namespace kulverant
