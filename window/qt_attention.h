#pragma once

#include <memory>

class QWidget;
struct xcb_connection_t;

namespace kulverant {

class WaylandAttention;

/// An alarm counts only once someone sees it. Once the window is shown, this
/// brings it above the other windows with the focus, where the window system
/// allows that, and marks it urgent where it does not; on X11 it also ends a
/// running screen saver, switches the monitor on and keeps both from coming
/// back while it lives, and on Wayland it keeps the screen from going idle.
/// Afterwards the system's own settings apply again.
class Attention {
public:
    explicit Attention(QWidget& window);
    ~Attention();
    Attention(const Attention&) = delete;
    Attention& operator=(const Attention&) = delete;

private:
    xcb_connection_t* x11_ = nullptr; // where the screen saver is suspended
    std::unique_ptr<WaylandAttention> wayland_;
};

} // namespace kulverant
