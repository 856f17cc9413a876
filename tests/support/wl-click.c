/* wl-click X Y : a left click at X,Y of the layout of the Wayland session in WAYLAND_DISPLAY, through
 * wlroots' virtual pointer, as a person's mouse makes it; for headless compositors, which have no mouse.
 * Exits 0 once the compositor has the click, 1 with a line on stderr when it cannot be made. */
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-client.h>

struct globals {
    struct zwlr_virtual_pointer_manager_v1* pointers;
    struct wl_seat* seat;
    struct wl_output* output;
    int width, height;
};

static void output_handle_geometry(void* data, struct wl_output* output, int32_t x, int32_t y, int32_t pw,
                                   int32_t ph, int32_t subpixel, const char* make, const char* model,
                                   int32_t transform)
{
    (void)data, (void)output, (void)x, (void)y, (void)pw, (void)ph, (void)subpixel, (void)make, (void)model,
        (void)transform;
}

static void output_handle_mode(void* data, struct wl_output* output, uint32_t flags, int32_t width,
                               int32_t height, int32_t refresh)
{
    struct globals* g = data;
    (void)output, (void)refresh;
    if (flags & WL_OUTPUT_MODE_CURRENT)
        g->width = width, g->height = height;
}

static void output_handle_done(void* data, struct wl_output* output)
{
    (void)data, (void)output;
}
static void output_handle_scale(void* data, struct wl_output* output, int32_t scale)
{
    (void)data, (void)output, (void)scale;
}

static const struct wl_output_listener output_listener = {
    .geometry = output_handle_geometry,
    .mode = output_handle_mode,
    .done = output_handle_done,
    .scale = output_handle_scale,
};

static void registry_handle_global(void* data, struct wl_registry* registry, uint32_t name,
                                   const char* interface, uint32_t version)
{
    struct globals* g = data;
    (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        g->pointers = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !g->seat)
        g->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, wl_output_interface.name) == 0 && !g->output) {
        g->output = wl_registry_bind(registry, name, &wl_output_interface, 2);
        wl_output_add_listener(g->output, &output_listener, g);
    }
}

static void registry_handle_global_remove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registry_listener = {
    .global = registry_handle_global,
    .global_remove = registry_handle_global_remove,
};

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: wl-click X Y\n");
        return 1;
    }
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "wl-click: cannot connect to the Wayland session\n");
        return 1;
    }
    struct globals g = {0};
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &g);
    /* The globals, then the output's mode. */
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (!g.pointers || !g.width) {
        fprintf(stderr, "wl-click: the compositor offers no virtual pointer or no output\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g.pointers, g.seat);
    /* The new pointer reaches the clients as a change of the seat; they need a moment to take it up before
     * it moves, or the window under it never hears of it. */
    wl_display_roundtrip(display);
    usleep(200 * 1000);
    /* The first output spans the layout in a session of one output, the tests' case. */
    zwlr_virtual_pointer_v1_motion_absolute(pointer, 0, (uint32_t)atoi(argv[1]), (uint32_t)atoi(argv[2]),
                                            (uint32_t)g.width, (uint32_t)g.height);
    zwlr_virtual_pointer_v1_frame(pointer);
    zwlr_virtual_pointer_v1_button(pointer, 1, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    zwlr_virtual_pointer_v1_frame(pointer);
    zwlr_virtual_pointer_v1_button(pointer, 2, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
    const int status = wl_display_roundtrip(display) < 0 ? 1 : 0;
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(g.pointers);
    if (g.seat)
        wl_seat_destroy(g.seat);
    wl_output_destroy(g.output);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return status;
}
