/* Asks the window given by its X id (decimal or 0x hex) to close, as a window manager's close button
 * does: a WM_DELETE_WINDOW client message. Exits 1 when the window does not take part in that
 * protocol, 2 when the display or the window cannot be reached. */
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

static int speaks(xcb_connection_t* c, xcb_window_t window, xcb_atom_t protocols, xcb_atom_t protocol)
{
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, protocols, XCB_ATOM_ATOM, 0, 64), NULL);
    if (!reply)
        return -1;
    const xcb_atom_t* atoms = xcb_get_property_value(reply);
    int n = xcb_get_property_value_length(reply) / (int)sizeof(xcb_atom_t), found = 0;
    for (int i = 0; i < n; ++i)
        found |= atoms[i] == protocol;
    free(reply);
    return found;
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    xcb_window_t window = (xcb_window_t)strtoul(argv[1], NULL, 0);
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c))
        return 2;
    xcb_atom_t protocols = atom(c, "WM_PROTOCOLS"), deleteWindow = atom(c, "WM_DELETE_WINDOW");
    int status = speaks(c, window, protocols, deleteWindow);
    if (status == 1) {
        xcb_client_message_event_t event = {0};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = deleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, (const char*)&event);
    }
    xcb_flush(c);
    xcb_disconnect(c);
    return status == 1 ? 0 : status == 0 ? 1 : 2;
}
