// Presses physical keys on a Wayland compositor through a virtual keyboard with the standard us
// keymap, the counterpart of xdotool for bindcode bindings. Each argument is one chord of evdev
// codes joined by '+', pressed in order and released in reverse: key_presser 29+56+18 (Ctrl+Alt+E).
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

static struct wl_seat *seat;
static struct zwp_virtual_keyboard_manager_v1 *manager;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

// The compositor does not track modifiers of a virtual keyboard: every change is sent.
static void key(struct zwp_virtual_keyboard_v1 *keyboard, struct xkb_state *state, unsigned code, int down)
{
    zwp_virtual_keyboard_v1_key(keyboard, now_ms(), code,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(keyboard, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(state, XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(state, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE));
}

int main(int argc, char **argv)
{
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "key_presser: no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &listener, NULL);
    wl_display_roundtrip(display);
    if (!seat || !manager) {
        fprintf(stderr, "key_presser: no seat or no virtual keyboard protocol\n");
        return 1;
    }
    struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const struct xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    struct xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : NULL;
    int fd = memfd_create("keymap", MFD_CLOEXEC);
    if (!text || fd < 0 || write(fd, text, strlen(text) + 1) != (ssize_t)(strlen(text) + 1)) {
        fprintf(stderr, "key_presser: no keymap\n");
        return 1;
    }
    struct zwp_virtual_keyboard_v1 *keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager, seat);
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, (uint32_t)fd, (uint32_t)(strlen(text) + 1));
    wl_display_roundtrip(display);
    struct xkb_state *state = xkb_state_new(keymap);
    for (int i = 1; i < argc; ++i) {
        unsigned codes[8];
        int count = 0;
        for (char *part = strtok(argv[i], "+"); part && count < 8; part = strtok(NULL, "+"))
            codes[count++] = (unsigned)strtoul(part, NULL, 10);
        for (int k = 0; k < count; ++k)
            key(keyboard, state, codes[k], 1);
        for (int k = count - 1; k >= 0; --k)
            key(keyboard, state, codes[k], 0);
        wl_display_roundtrip(display);
    }
    zwp_virtual_keyboard_v1_destroy(keyboard);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
