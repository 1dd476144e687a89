/*
 * A stand-in for a desktop's launcher on a Wayland compositor: it maps a
 * small window, and once that window has the keyboard it asks the
 * compositor for an activation token (xdg-activation-v1) tied to the key
 * focus, as a launcher does for the program it starts. It prints
 *
 *   TOKEN <token>   once the compositor gave one
 *   LEAVE           whenever its window loses the keyboard
 *   ENTER           whenever it gets the keyboard again
 *
 * on standard output and runs until it is ended by a signal.
 */
#define _GNU_SOURCE
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

enum { kWidth = 240, kHeight = 120 };

struct launcher {
    struct wl_compositor* compositor;
    struct wl_shm* shm;
    struct wl_seat* seat;
    struct wl_keyboard* keyboard;
    struct xdg_wm_base* wm_base;
    struct xdg_activation_v1* activation;
    struct wl_surface* surface;
    struct xdg_surface* xdg_surface;
    struct xdg_toplevel* toplevel;
    struct wl_buffer* buffer;
    int asked;
    int configured;
};

static void fail(const char* what) {
    fprintf(stderr, "wl_launcher: %s\n", what);
    exit(1);
}

static struct wl_buffer* make_buffer(struct wl_shm* shm) {
    const int stride = kWidth * 4;
    const int size = stride * kHeight;
    const int fd = memfd_create("wl_launcher", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, size) != 0) {
        fail("no shared memory for the window");
    }
    uint32_t* pixels = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pixels == MAP_FAILED) {
        fail("cannot map the window's memory");
    }
    for (int i = 0; i < kWidth * kHeight; ++i) {
        pixels[i] = 0xff2e7d32; /* green */
    }
    munmap(pixels, size);
    struct wl_shm_pool* pool = wl_shm_create_pool(shm, fd, size);
    struct wl_buffer* buffer =
        wl_shm_pool_create_buffer(pool, 0, kWidth, kHeight, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    return buffer;
}

static void token_done(void* data, struct xdg_activation_token_v1* token, const char* text) {
    (void)data;
    printf("TOKEN %s\n", text);
    fflush(stdout);
    xdg_activation_token_v1_destroy(token);
}

static const struct xdg_activation_token_v1_listener token_listener = {.done = token_done};

static void keyboard_keymap(void* data, struct wl_keyboard* keyboard, uint32_t format, int fd,
                            uint32_t size) {
    (void)data, (void)keyboard, (void)format, (void)size;
    close(fd);
}

static void keyboard_enter(void* data, struct wl_keyboard* keyboard, uint32_t serial,
                           struct wl_surface* surface, struct wl_array* keys) {
    (void)keyboard, (void)keys;
    struct launcher* l = data;
    if (surface != l->surface) {
        return;
    }
    if (l->asked) {
        printf("ENTER\n");
        fflush(stdout);
        return;
    }
    l->asked = 1;
    struct xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(l->activation);
    xdg_activation_token_v1_add_listener(token, &token_listener, l);
    xdg_activation_token_v1_set_serial(token, serial, l->seat);
    xdg_activation_token_v1_set_surface(token, l->surface);
    xdg_activation_token_v1_set_app_id(token, "org.tavlin.Tavlin");
    xdg_activation_token_v1_commit(token);
}

static void keyboard_leave(void* data, struct wl_keyboard* keyboard, uint32_t serial,
                           struct wl_surface* surface) {
    (void)keyboard, (void)serial;
    struct launcher* l = data;
    if (surface == l->surface) {
        printf("LEAVE\n");
        fflush(stdout);
    }
}

static void keyboard_key(void* data, struct wl_keyboard* keyboard, uint32_t serial, uint32_t time,
                         uint32_t key, uint32_t state) {
    (void)data, (void)keyboard, (void)serial, (void)time, (void)key, (void)state;
}

static void keyboard_modifiers(void* data, struct wl_keyboard* keyboard, uint32_t serial,
                               uint32_t depressed, uint32_t latched, uint32_t locked,
                               uint32_t group) {
    (void)data, (void)keyboard, (void)serial, (void)depressed, (void)latched, (void)locked,
        (void)group;
}

static void keyboard_repeat(void* data, struct wl_keyboard* keyboard, int32_t rate,
                            int32_t delay) {
    (void)data, (void)keyboard, (void)rate, (void)delay;
}

static const struct wl_keyboard_listener keyboard_listener = {
    .keymap = keyboard_keymap,
    .enter = keyboard_enter,
    .leave = keyboard_leave,
    .key = keyboard_key,
    .modifiers = keyboard_modifiers,
    .repeat_info = keyboard_repeat,
};

static void seat_capabilities(void* data, struct wl_seat* seat, uint32_t capabilities) {
    struct launcher* l = data;
    if ((capabilities & WL_SEAT_CAPABILITY_KEYBOARD) && l->keyboard == NULL) {
        l->keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(l->keyboard, &keyboard_listener, l);
    }
}

static void seat_name(void* data, struct wl_seat* seat, const char* name) {
    (void)data, (void)seat, (void)name;
}

static const struct wl_seat_listener seat_listener = {.capabilities = seat_capabilities,
                                                      .name = seat_name};

static void wm_base_ping(void* data, struct xdg_wm_base* wm_base, uint32_t serial) {
    (void)data;
    xdg_wm_base_pong(wm_base, serial);
}

static const struct xdg_wm_base_listener wm_base_listener = {.ping = wm_base_ping};

static void xdg_surface_configure(void* data, struct xdg_surface* surface, uint32_t serial) {
    struct launcher* l = data;
    xdg_surface_ack_configure(surface, serial);
    if (!l->configured) {
        l->configured = 1;
        wl_surface_attach(l->surface, l->buffer, 0, 0);
        wl_surface_damage(l->surface, 0, 0, kWidth, kHeight);
    }
    wl_surface_commit(l->surface);
}

static const struct xdg_surface_listener xdg_surface_listener = {.configure =
                                                                     xdg_surface_configure};

static void toplevel_configure(void* data, struct xdg_toplevel* toplevel, int32_t width,
                               int32_t height, struct wl_array* states) {
    (void)data, (void)toplevel, (void)width, (void)height, (void)states;
}

static void toplevel_close(void* data, struct xdg_toplevel* toplevel) {
    (void)data, (void)toplevel;
}

static const struct xdg_toplevel_listener toplevel_listener = {.configure = toplevel_configure,
                                                               .close = toplevel_close};

static void registry_global(void* data, struct wl_registry* registry, uint32_t name,
                            const char* interface, uint32_t version) {
    (void)version;
    struct launcher* l = data;
    if (strcmp(interface, wl_compositor_interface.name) == 0) {
        l->compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 4);
    } else if (strcmp(interface, wl_shm_interface.name) == 0) {
        l->shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && l->seat == NULL) {
        l->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
        wl_seat_add_listener(l->seat, &seat_listener, l);
    } else if (strcmp(interface, xdg_wm_base_interface.name) == 0) {
        l->wm_base = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
        xdg_wm_base_add_listener(l->wm_base, &wm_base_listener, l);
    } else if (strcmp(interface, xdg_activation_v1_interface.name) == 0) {
        l->activation = wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1);
    }
}

static void registry_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registry_listener = {.global = registry_global,
                                                              .global_remove = registry_remove};

int main(void) {
    struct launcher l;
    memset(&l, 0, sizeof l);
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fail("cannot connect to the Wayland display");
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &l);
    wl_display_roundtrip(display);
    if (!l.compositor || !l.shm || !l.seat || !l.wm_base) {
        fail("the compositor lacks wl_compositor, wl_shm, wl_seat or xdg_wm_base");
    }
    if (!l.activation) {
        fail("the compositor offers no xdg_activation_v1");
    }
    l.buffer = make_buffer(l.shm);
    l.surface = wl_compositor_create_surface(l.compositor);
    l.xdg_surface = xdg_wm_base_get_xdg_surface(l.wm_base, l.surface);
    xdg_surface_add_listener(l.xdg_surface, &xdg_surface_listener, &l);
    l.toplevel = xdg_surface_get_toplevel(l.xdg_surface);
    xdg_toplevel_add_listener(l.toplevel, &toplevel_listener, &l);
    xdg_toplevel_set_title(l.toplevel, "Launcher");
    xdg_toplevel_set_app_id(l.toplevel, "org.tavlin.TestLauncher");
    wl_surface_commit(l.surface);
    while (wl_display_dispatch(display) != -1) {
    }
    fail("the Wayland display went away");
    return 1;
}
