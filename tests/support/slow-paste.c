/* Pastes the CLIPBOARD's image/png to stdout in an INCR transfer that pauses after the first
 * chunk: it prints "paused" on stderr and goes on once a line arrives on stdin. Exits 1 when the
 * transfer is not INCR or does not complete. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

static xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
}

static xcb_generic_event_t* next(xcb_connection_t* c, int type)
{
    xcb_generic_event_t* e;
    while ((e = xcb_wait_for_event(c)) && (e->response_type & 0x7f) != type)
        free(e);
    return e;
}

int main(void)
{
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_window_t w = xcb_generate_id(c);
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, 0, w, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, 0, XCB_CW_EVENT_MASK, &mask);
    xcb_atom_t prop = atom(c, "SLOW_PASTE"), incr = atom(c, "INCR");
    xcb_convert_selection(c, w, atom(c, "CLIPBOARD"), atom(c, "image/png"), prop, XCB_CURRENT_TIME);
    xcb_flush(c);
    free(next(c, XCB_SELECTION_NOTIFY));
    int chunks = 0;
    for (;;) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            c, xcb_get_property(c, 1, w, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 28), NULL);
        if (!r || (chunks == 0 && r->type != incr))
            return 1;
        int length = xcb_get_property_value_length(r);
        if (chunks > 0)
            fwrite(xcb_get_property_value(r), 1, (size_t)length, stdout);
        free(r);
        if (chunks > 0 && length == 0)
            return 0;
        if (++chunks == 2) {
            char line[8];
            fputs("paused\n", stderr);
            if (!fgets(line, sizeof line, stdin))
                return 1;
        }
        xcb_flush(c);
        int state;
        do {
            xcb_generic_event_t* e = next(c, XCB_PROPERTY_NOTIFY);
            if (!e)
                return 1;
            state = ((xcb_property_notify_event_t*)e)->state;
            free(e);
        } while (state != XCB_PROPERTY_NEW_VALUE);
    }
}
