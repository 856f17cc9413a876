/* Exits 0 when the X selection named by its argument has an owner on $DISPLAY, 1 when not. */
#include <stdlib.h>
#include <string.h>
#include <xcb/xcb.h>

int main(int argc, char** argv)
{
    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (argc != 2 || xcb_connection_has_error(c))
        return 2;
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(argv[1]), argv[1]), NULL);
    xcb_get_selection_owner_reply_t* owner =
        atom ? xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), NULL) : NULL;
    int status = owner && owner->owner != XCB_NONE ? 0 : 1;
    free(owner);
    free(atom);
    xcb_disconnect(c);
    return status;
}
