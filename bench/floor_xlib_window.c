/* The absolute floor for a window: one bare X11 window with the caption,
 * open until the window manager (or the benchmark) asks it to close. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main(void) {
    Display *display = XOpenDisplay(NULL);
    if (!display)
        return 2;
    int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 356, 290, 312, 187, 0,
                                        BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, "Tevra Pocsag Display");
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && (Atom)event.xclient.data.l[0] == deleteWindow)
            break;
    }
    XCloseDisplay(display);
    return 0;
}
