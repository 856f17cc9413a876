/* Asks the window given by its X id (decimal or 0x hex) to close, as a window manager's close button
 * does: a WM_DELETE_WINDOW client message. Exits 2 when the display cannot be reached. */
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

static xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t result = reply ? reply->atom : XCB_NONE;
    free(reply);
    return result;
}

int main(int argc, char** argv)
{
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (argc != 2 || xcb_connection_has_error(c))
        return 2;
    xcb_client_message_event_t event = {0};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = (xcb_window_t)strtoul(argv[1], NULL, 0);
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT, (const char*)&event);
    int status = xcb_flush(c) > 0 ? 0 : 2;
    xcb_disconnect(c);
    return status;
}
