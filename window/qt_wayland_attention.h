#pragma once

#include <QObject>

#include <memory>

class QWindow;
struct wl_display;
struct wl_event_queue;
struct wl_surface;
struct xdg_activation_v1;
struct zwp_idle_inhibit_manager_v1;
struct zwp_idle_inhibitor_v1;

namespace kulverant {

/// A Wayland compositor keeps the screen on while a surface that holds an
/// idle inhibitor is visible, and may bring a surface to the front that asks
/// with an activation token. Qt asks for neither: it activates only with a
/// token from an input event or from its starter, and an alarm started in the
/// background has none.
class WaylandAttention : public QObject {
public:
    /// Holds an idle inhibitor for the window's surface and asks for its
    /// activation once it is first shown, as far as the compositor offers
    /// either. Null where the window is not a Wayland surface.
    static std::unique_ptr<WaylandAttention> take(QWindow& window);
    ~WaylandAttention() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WaylandAttention(QWindow& window, wl_display* display, wl_surface* surface);
    void activate();

    QWindow& window_;
    wl_display* display_;
    wl_surface* surface_;
    // Our own queue, so that the answers we wait for never run through Qt's.
    wl_event_queue* queue_ = nullptr;
    zwp_idle_inhibit_manager_v1* idle_ = nullptr;
    zwp_idle_inhibitor_v1* inhibitor_ = nullptr;
    xdg_activation_v1* activation_ = nullptr;
};

} // namespace kulverant
