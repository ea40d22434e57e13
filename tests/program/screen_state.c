/* Prints the X server's screen saver state (on, off or disabled) and, where
   the server has DPMS and the monitor can, the monitor's power level (on,
   standby, suspend, off), for the tests of an alarm waking the screen.
     screen_state */
#include <stdio.h>
#include <stdlib.h>
#include <xcb/dpms.h>
#include <xcb/screensaver.h>
#include <xcb/xcb.h>

int main(void) {
    static const char* const saver[] = {"off", "on", "cycle", "disabled"};
    static const char* const levels[] = {"on", "standby", "suspend", "off"};
    int number = 0;
    xcb_connection_t* connection = xcb_connect(NULL, &number);
    if (xcb_connection_has_error(connection))
        return 2;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_screensaver_query_info_reply_t* info = xcb_screensaver_query_info_reply(
        connection, xcb_screensaver_query_info(connection, screen->root), NULL);
    if (!info || info->state > 3)
        return 2;
    printf("%s", saver[info->state]);
    xcb_dpms_capable_reply_t* capable = xcb_dpms_capable_reply(connection, xcb_dpms_capable(connection), NULL);
    xcb_dpms_info_reply_t* dpms = capable && capable->capable
                                      ? xcb_dpms_info_reply(connection, xcb_dpms_info(connection), NULL)
                                      : NULL;
    if (dpms && dpms->state && dpms->power_level <= 3)
        printf(" %s", levels[dpms->power_level]);
    printf("\n");
    free(info), free(capable), free(dpms);
    xcb_disconnect(connection);
    return 0;
}
