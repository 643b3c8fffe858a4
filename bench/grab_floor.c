/* zl_bench_floor [--shell|--login-shell] -- COMMAND [ARG...]: the least a hotkey daemon can do. One
 * passive grab of Super+Alt+Shift+E on the root window (once per combination of the lock
 * modifiers), a blocking event loop, and on each press a fork+exec of COMMAND; of
 * /bin/sh -c "COMMAND ARG..." with --shell, the way the shell-based daemons run theirs; or of
 * /bin/sh -lc with --login-shell, the way a command shortcut of ours runs. */
#define _GNU_SOURCE
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { KeysymE = 0x0065, KeysymNumLock = 0xff7f, KeysymScrollLock = 0xff14 };

static xcb_keycode_t keycode_of(xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t code = codes ? codes[0] : 0;
    free(codes);
    return code;
}

static uint16_t modifier_of(xcb_connection_t *c, xcb_keycode_t key)
{
    xcb_get_modifier_mapping_reply_t *map = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), NULL);
    uint16_t mask = 0;
    if (map && key) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map);
        for (int mod = 0; mod < 8; mod++)
            for (int i = 0; i < map->keycodes_per_modifier; i++)
                if (codes[mod * map->keycodes_per_modifier + i] == key)
                    mask |= (uint16_t)(1u << mod);
    }
    free(map);
    return mask;
}

int main(int argc, char **argv)
{
    const char *shell = NULL;
    int first = 1;
    if (first < argc && strcmp(argv[first], "--shell") == 0) {
        shell = "-c";
        first++;
    } else if (first < argc && strcmp(argv[first], "--login-shell") == 0) {
        shell = "-lc";
        first++;
    }
    if (first + 1 >= argc || strcmp(argv[first], "--") != 0) {
        fprintf(stderr, "usage: zl_bench_floor [--shell|--login-shell] -- COMMAND [ARG...]\n");
        return 2;
    }
    char **command = argv + first + 1;
    size_t length = 1;
    for (char **a = command; *a; a++)
        length += strlen(*a) + 1;
    char *line = calloc(1, length);
    for (char **a = command; *a; a++) {
        if (a != command)
            strcat(line, " ");
        strcat(line, *a);
    }

    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "zl_bench_floor: cannot open the display\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
    const xcb_keycode_t key = keycode_of(symbols, KeysymE);
    const uint16_t locks[3] = {XCB_MOD_MASK_LOCK, modifier_of(c, keycode_of(symbols, KeysymNumLock)),
                               modifier_of(c, keycode_of(symbols, KeysymScrollLock))};
    const uint16_t base = XCB_MOD_MASK_4 | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT;
    for (int subset = 0; subset < 8; subset++) {
        uint16_t state = base;
        for (int i = 0; i < 3; i++)
            if (subset & (1 << i))
                state |= locks[i];
        /* Repeating a grab with the same state is harmless; the server keeps one. */
        xcb_grab_key(c, 0, root, state, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));

    signal(SIGCHLD, SIG_IGN);
    for (xcb_generic_event_t *event; (event = xcb_wait_for_event(c)) != NULL; free(event)) {
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
            continue;
        if (fork() != 0)
            continue;
        signal(SIGCHLD, SIG_DFL);
        if (shell)
            execl("/bin/sh", "sh", shell, line, (char *)NULL);
        else
            execv(command[0], command);
        _exit(127);
    }
    return 0;
}
