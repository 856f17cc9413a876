/* Grabs the X server on $DISPLAY, which then answers no other client: prints "grabbed" once the
 * grab is in force and holds it until stdin ends. Exits 1 when the display cannot be opened. */
#include <stdio.h>
#include <stdlib.h>
#include <xcb/xcb.h>

int main(void)
{
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_grab_server(c);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
    puts("grabbed");
    fflush(stdout);
    while (getchar() != EOF) {
    }
    xcb_disconnect(c);
    return 0;
}
