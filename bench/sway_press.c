/* zl_bench_swaypress: the Wayland counterpart of zl_bench_press. Presses physical keys on sway
 * through one virtual keyboard (standard us keymap) and matches each press with the action the
 * recorder logs; or starts a command and matches its start with the action. One line of key=value.
 *
 *   ready   --log L --chord 125+56+42+18 [--timeout-ms 20000]
 *           presses every 50 ms until an action appears (the program binds after its window shows)
 *   measure --log L --chord 125+56+42+18 [-n 1000] [--gap-ms 10] [--timeout-ms 1000]
 *           closed loop: modifiers down, clock, key down; wait for the action; release; next
 *   run     --log L [-n 1000] [--gap-ms 10] [--timeout-ms 1000] -- COMMAND ARGS...
 *           clock, posix_spawn COMMAND; wait for the action and for COMMAND to exit; next
 * Chords are evdev codes joined by '+'; the last one is the key, the others are held modifiers. */
#define _GNU_SOURCE
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "action_log.h"

extern char **environ;

static void die(const char *message)
{
    fprintf(stderr, "zl_bench_swaypress: %s\n", message);
    exit(2);
}

/* ---- the virtual keyboard */

typedef struct {
    struct wl_display *display;
    struct wl_seat *seat;
    struct zwp_virtual_keyboard_manager_v1 *manager;
    struct zwp_virtual_keyboard_v1 *keyboard;
    struct xkb_state *state;
    unsigned codes[8];
    int count;
} Keys;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface, uint32_t version)
{
    Keys *k = data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !k->seat)
        k->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
        k->manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener listener = {global, global_remove};

static uint32_t millis(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static void keys_open(Keys *k, const char *chord)
{
    memset(k, 0, sizeof *k);
    char copy[128];
    snprintf(copy, sizeof copy, "%s", chord);
    for (char *part = strtok(copy, "+"); part && k->count < 8; part = strtok(NULL, "+"))
        k->codes[k->count++] = (unsigned)strtoul(part, NULL, 10);
    if (k->count == 0)
        die("no chord");
    k->display = wl_display_connect(NULL);
    if (!k->display)
        die("no Wayland display");
    struct wl_registry *registry = wl_display_get_registry(k->display);
    wl_registry_add_listener(registry, &listener, k);
    wl_display_roundtrip(k->display);
    if (!k->seat || !k->manager)
        die("no seat or no virtual keyboard protocol");
    struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const struct xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    struct xkb_keymap *keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : NULL;
    const int fd = memfd_create("keymap", MFD_CLOEXEC);
    if (!text || fd < 0 || write(fd, text, strlen(text) + 1) != (ssize_t)(strlen(text) + 1))
        die("no keymap");
    k->keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(k->manager, k->seat);
    zwp_virtual_keyboard_v1_keymap(k->keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, (uint32_t)fd,
                                   (uint32_t)(strlen(text) + 1));
    wl_display_roundtrip(k->display);
    k->state = xkb_state_new(keymap);
    free(text);
}

/* The compositor does not track a virtual keyboard's modifiers: every change is sent. */
static void key(Keys *k, unsigned code, int down)
{
    zwp_virtual_keyboard_v1_key(k->keyboard, millis(), code,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(k->state, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(k->keyboard, xkb_state_serialize_mods(k->state, XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(k->state, XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(k->state, XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(k->state, XKB_STATE_LAYOUT_EFFECTIVE));
}

static void modifiers_down(Keys *k)
{
    for (int i = 0; i < k->count - 1; i++)
        key(k, k->codes[i], 1);
    wl_display_roundtrip(k->display);
}

static void key_down(Keys *k)
{
    key(k, k->codes[k->count - 1], 1);
    wl_display_flush(k->display);
}

static void all_up(Keys *k)
{
    for (int i = k->count - 1; i >= 0; i--)
        key(k, k->codes[i], 0);
    wl_display_roundtrip(k->display);
}

/* ---- statistics */

static int compare(const void *a, const void *b)
{
    const ns_t x = *(const ns_t *)a, y = *(const ns_t *)b;
    return (x > y) - (x < y);
}

static ns_t percentile(const ns_t *sorted, int n, double q)
{
    int rank = (int)(q * n + 0.999999);
    rank = rank < 1 ? 1 : rank > n ? n : rank;
    return sorted[rank - 1];
}

static void print_result(ns_t *values, int n, int matched, int strays)
{
    printf("n=%d ok=%d lost=%d strays=%d ", n, matched, n - matched, strays);
    if (matched == 0) {
        printf("median_us=NA p90_us=NA p99_us=NA max_us=NA\n");
        return;
    }
    qsort(values, (size_t)matched, sizeof *values, compare);
    printf("median_us=%.1f p90_us=%.1f p99_us=%.1f max_us=%.1f\n", percentile(values, matched, 0.5) / 1e3,
           percentile(values, matched, 0.9) / 1e3, percentile(values, matched, 0.99) / 1e3,
           values[matched - 1] / 1e3);
}

/* ---- modes */

typedef struct {
    const char *log, *chord;
    char **command;
    int n;
    ns_t gap, timeout;
} Options;

static int run_ready(const Options *o)
{
    Keys k;
    keys_open(&k, o->chord);
    ActionLog log;
    log_open(&log, o->log, 1);
    const ns_t start = now_ns();
    ns_t stamp;
    int probes = 0;
    while (now_ns() < start + o->timeout) {
        modifiers_down(&k);
        key_down(&k);
        all_up(&k);
        probes++;
        if (log_next(&log, &stamp, now_ns() + 50 * MS)) {
            /* Later probes may still be on their way: let them land before measuring. */
            while (log_next(&log, &stamp, now_ns() + 300 * MS)) {
            }
            printf("ready=1 probes=%d\n", probes);
            return 0;
        }
    }
    printf("ready=0 probes=%d\n", probes);
    return 1;
}

static int run_measure(const Options *o)
{
    Keys k;
    keys_open(&k, o->chord);
    all_up(&k);
    ActionLog log;
    log_open(&log, o->log, 1);
    ns_t *latency = calloc((size_t)o->n, sizeof *latency);
    int matched = 0, strays = 0, lost_in_row = 0, sent = 0;
    ns_t next = now_ns(), stamp;
    for (; sent < o->n && lost_in_row < 10; sent++) {
        sleep_until(next);
        modifiers_down(&k); /* the compositor has the modifiers before the clock starts */
        const ns_t t = now_ns();
        key_down(&k);
        ns_t action = 0;
        int released = 0;
        while (!action) {
            const ns_t until = released ? t + o->timeout : t + 100 * MS;
            if (log_next(&log, &stamp, until)) {
                if (stamp >= t)
                    action = stamp;
                else
                    strays++;
            } else if (!released) {
                all_up(&k);
                released = 1;
            } else {
                break;
            }
        }
        if (!released)
            all_up(&k);
        if (action) {
            latency[matched++] = action - t;
            lost_in_row = 0;
        } else {
            lost_in_row++;
        }
        next = t + o->gap;
    }
    const ns_t settle = now_ns() + 300 * MS;
    while (log_next(&log, &stamp, settle))
        strays++;
    print_result(latency, o->n, matched, strays);
    return 0;
}

static int run_command(const Options *o)
{
    ActionLog log;
    log_open(&log, o->log, 1);
    const int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devnull, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devnull, STDOUT_FILENO);
    ns_t *latency = calloc((size_t)o->n, sizeof *latency);
    int matched = 0, strays = 0, lost_in_row = 0, failed = 0;
    ns_t next = now_ns(), stamp;
    for (int sent = 0; sent < o->n && lost_in_row < 10; sent++) {
        sleep_until(next);
        const ns_t t = now_ns();
        pid_t pid;
        if (posix_spawn(&pid, o->command[0], &actions, NULL, o->command, environ) != 0)
            die("cannot start the command");
        ns_t action = 0;
        while (!action && log_next(&log, &stamp, t + o->timeout)) {
            if (stamp >= t)
                action = stamp;
            else
                strays++;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        if (action) {
            latency[matched++] = action - t;
            lost_in_row = 0;
        } else {
            lost_in_row++;
        }
        next = t + o->gap;
    }
    const ns_t settle = now_ns() + 300 * MS;
    while (log_next(&log, &stamp, settle))
        strays++;
    printf("failed=%d ", failed);
    print_result(latency, o->n, matched, strays);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        die("usage: ready|measure|run --log L ...");
    Options o = {NULL, NULL, NULL, 1000, 10 * MS, 1000 * MS};
    int timeoutSet = 0;
    for (int i = 2; i < argc; i++) {
        if (strcmp(argv[i], "--") == 0) {
            o.command = argv + i + 1;
            break;
        }
        if (i + 1 >= argc)
            die("an option lacks its value");
        const char *value = argv[++i];
        if (strcmp(argv[i - 1], "--log") == 0)
            o.log = value;
        else if (strcmp(argv[i - 1], "--chord") == 0)
            o.chord = value;
        else if (strcmp(argv[i - 1], "-n") == 0)
            o.n = atoi(value);
        else if (strcmp(argv[i - 1], "--gap-ms") == 0)
            o.gap = atoll(value) * MS;
        else if (strcmp(argv[i - 1], "--timeout-ms") == 0) {
            o.timeout = atoll(value) * MS;
            timeoutSet = 1;
        } else
            die("unknown option");
    }
    if (!o.log || o.n < 1)
        die("--log and a positive -n are needed");
    if (strcmp(argv[1], "ready") == 0 && o.chord) {
        if (!timeoutSet)
            o.timeout = 20000 * MS;
        return run_ready(&o);
    }
    if (strcmp(argv[1], "measure") == 0 && o.chord)
        return run_measure(&o);
    if (strcmp(argv[1], "run") == 0 && o.command && o.command[0])
        return run_command(&o);
    die("unknown mode or missing --chord / command");
}
