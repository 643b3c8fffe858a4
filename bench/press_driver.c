/* zl_bench_press: presses Super+Alt+Shift+E through XTest and matches each press with the action
 * it caused, read from the log the recorder appends to. Prints one line of key=value pairs.
 *
 *   ready   --log L --t0-ns T [--pid P] [--timeout-ms 5000]
 *           presses every 5 ms until an action stamped after T (the daemon's start) appears
 *   measure --log L [-n 1000] [--gap-ms 20] [--timeout-ms 1000] [--locks]
 *           closed loop: one press, wait for its action, release, next press
 *   cost    --rec R --log L [-n 200]
 *           what spawning the recorder costs, directly and through /bin/sh -c
 *   paste   --out F --expect TEXT --type T --original F2 [--timeout-ms 5000]
 *           one press; waits for F to hold TEXT, then for the clipboard's T to equal F2 again
 *   close   --window W
 *           asks window W to close, as a window manager's close button does */
#define _GNU_SOURCE
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "action_log.h"

enum {
    KeysymE = 0x0065,
    KeysymSuperL = 0xffeb,
    KeysymAltL = 0xffe9,
    KeysymShiftL = 0xffe1,
    KeysymCapsLock = 0xffe5,
    KeysymNumLock = 0xff7f,
};

static void die(const char *message)
{
    fprintf(stderr, "zl_bench_press: %s\n", message);
    exit(2);
}

/* ---- keys */

typedef struct {
    xcb_connection_t *c;
    xcb_window_t root;
    xcb_keycode_t key, modifiers[3], caps, num;
} Keys;

static xcb_keycode_t keycode_of(xcb_key_symbols_t *symbols, xcb_keysym_t keysym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, keysym);
    const xcb_keycode_t code = codes ? codes[0] : 0;
    free(codes);
    if (!code)
        die("a key the hotkey needs is missing from the keyboard map");
    return code;
}

static void keys_open(Keys *k)
{
    k->c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(k->c))
        die("cannot open the display");
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(k->c, &xcb_test_id);
    if (!xtest || !xtest->present)
        die("the X server has no XTEST extension");
    k->root = xcb_setup_roots_iterator(xcb_get_setup(k->c)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(k->c);
    k->key = keycode_of(symbols, KeysymE);
    k->modifiers[0] = keycode_of(symbols, KeysymSuperL);
    k->modifiers[1] = keycode_of(symbols, KeysymAltL);
    k->modifiers[2] = keycode_of(symbols, KeysymShiftL);
    k->caps = keycode_of(symbols, KeysymCapsLock);
    k->num = keycode_of(symbols, KeysymNumLock);
    xcb_key_symbols_free(symbols);
}

static void fake(Keys *k, uint8_t type, xcb_keycode_t code)
{
    xcb_test_fake_input(k->c, type, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

static void sync_server(Keys *k)
{
    free(xcb_get_input_focus_reply(k->c, xcb_get_input_focus(k->c), NULL));
}

static void modifiers_down(Keys *k)
{
    for (int i = 0; i < 3; i++)
        fake(k, XCB_KEY_PRESS, k->modifiers[i]);
}

static void all_up(Keys *k)
{
    fake(k, XCB_KEY_RELEASE, k->key);
    for (int i = 2; i >= 0; i--)
        fake(k, XCB_KEY_RELEASE, k->modifiers[i]);
    xcb_flush(k->c);
}

static uint16_t pointer_state(Keys *k)
{
    xcb_query_pointer_reply_t *reply = xcb_query_pointer_reply(k->c, xcb_query_pointer(k->c, k->root), NULL);
    const uint16_t mask = reply ? reply->mask : 0;
    free(reply);
    return mask;
}

/* Turns CapsLock and NumLock on or off; returns the modifier state that results. */
static uint16_t set_locks(Keys *k, int on)
{
    const xcb_keycode_t codes[2] = {k->caps, k->num};
    for (int i = 0; i < 2; i++) {
        const uint16_t before = pointer_state(k);
        fake(k, XCB_KEY_PRESS, codes[i]);
        fake(k, XCB_KEY_RELEASE, codes[i]);
        sync_server(k);
        const uint16_t after = pointer_state(k);
        /* The key toggles; whether it ended up on is read from the bits that changed. */
        if ((after > before) != on) {
            fake(k, XCB_KEY_PRESS, codes[i]);
            fake(k, XCB_KEY_RELEASE, codes[i]);
            sync_server(k);
        }
    }
    return pointer_state(k);
}

/* ---- statistics */

static int compare(const void *a, const void *b)
{
    const ns_t x = *(const ns_t *)a, y = *(const ns_t *)b;
    return (x > y) - (x < y);
}

/* Nearest rank: p99 of 1000 values is the 990th smallest. */
static ns_t percentile(const ns_t *sorted, int n, double q)
{
    int rank = (int)(q * n + 0.999999);
    rank = rank < 1 ? 1 : rank > n ? n : rank;
    return sorted[rank - 1];
}

static void print_stats(ns_t *values, int n)
{
    if (n == 0) {
        printf("median_us=NA p90_us=NA p99_us=NA max_us=NA");
        return;
    }
    qsort(values, (size_t)n, sizeof *values, compare);
    printf("median_us=%.1f p90_us=%.1f p99_us=%.1f max_us=%.1f", percentile(values, n, 0.5) / 1e3,
           percentile(values, n, 0.9) / 1e3, percentile(values, n, 0.99) / 1e3, values[n - 1] / 1e3);
}

/* ---- modes */

typedef struct {
    const char *log, *rec, *out, *expect, *type, *original;
    int n, locks, pid;
    ns_t t0, gap, timeout;
} Options;

static int alive(int pid)
{
    char path[64], text[512];
    snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    const size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    const char *paren = strrchr(text, ')');
    return paren && paren[1] == ' ' && paren[2] != 'Z' && paren[2] != 'X';
}

static int run_ready(const Options *o)
{
    Keys k;
    keys_open(&k);
    ActionLog log;
    log_open(&log, o->log, 0);
    int probes = 0;
    ns_t stamp;
    for (;;) {
        const ns_t sent = now_ns();
        if (sent > o->t0 + o->timeout || (o->pid > 0 && !alive(o->pid))) {
            printf("ready=0 probes=%d\n", probes);
            return 1;
        }
        modifiers_down(&k);
        fake(&k, XCB_KEY_PRESS, k.key);
        all_up(&k);
        sync_server(&k);
        probes++;
        while (log_next(&log, &stamp, sent + 5 * MS)) {
            if (stamp >= o->t0) {
                printf("ready=1 ready_us=%.1f probes=%d\n", (stamp - o->t0) / 1e3, probes);
                return 0;
            }
        }
    }
}

static int run_measure(const Options *o)
{
    Keys k;
    keys_open(&k);
    all_up(&k);
    sync_server(&k);
    const uint16_t state = set_locks(&k, o->locks);
    ActionLog log;
    log_open(&log, o->log, 1);
    ns_t *latency = calloc((size_t)o->n, sizeof *latency);
    int matched = 0, strays = 0, lost_in_row = 0, sent = 0;
    ns_t next = now_ns(), stamp;
    for (; sent < o->n && lost_in_row < 10; sent++) {
        sleep_until(next);
        modifiers_down(&k);
        sync_server(&k); /* the modifiers are down before the clock starts */
        const ns_t t = now_ns();
        fake(&k, XCB_KEY_PRESS, k.key);
        xcb_flush(k.c);
        ns_t action = 0;
        int released = 0;
        while (!action) {
            /* A key held longer than this would start auto-repeat in a real session. */
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
    /* Anything logged after the last press is a duplicate or a late action. */
    const ns_t settle = now_ns() + 300 * MS;
    while (log_next(&log, &stamp, settle))
        strays++;
    if (o->locks)
        set_locks(&k, 0);
    printf("n=%d ok=%d lost=%d strays=%d state=0x%x ", o->n, matched, o->n - matched, strays, state);
    print_stats(latency, matched);
    printf("\n");
    return 0;
}

static ns_t spawn_once(char *const argv[], ActionLog *log)
{
    const ns_t t = now_ns();
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv);
        _exit(127);
    }
    waitpid(pid, NULL, 0);
    ns_t stamp;
    if (!log_next(log, &stamp, now_ns() + 2000 * MS))
        die("the recorder wrote nothing");
    return stamp - t;
}

static int run_cost(const Options *o)
{
    char line[4096];
    snprintf(line, sizeof line, "%s %s", o->rec, o->log);
    char *direct[] = {(char *)o->rec, (char *)o->log, NULL};
    char *shell[] = {"/bin/sh", "-c", line, NULL};
    char *login[] = {"/bin/sh", "-lc", line, NULL};
    struct {
        const char *name;
        char **argv;
    } variants[] = {{"exec", direct}, {"sh_c", shell}, {"sh_lc", login}};
    ActionLog log;
    log_open(&log, o->log, 1);
    ns_t *values = calloc((size_t)o->n, sizeof *values);
    for (size_t v = 0; v < sizeof variants / sizeof variants[0]; v++) {
        for (int i = 0; i < o->n; i++)
            values[i] = spawn_once(variants[v].argv, &log);
        printf("spawn=%s n=%d ", variants[v].name, o->n);
        print_stats(values, o->n);
        printf("\n");
    }
    return 0;
}

static char *read_file(const char *path, size_t *size)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return NULL;
    size_t capacity = 4096, used = 0;
    char *data = malloc(capacity);
    for (size_t n; (n = fread(data + used, 1, capacity - used, f)) > 0;) {
        used += n;
        if (used == capacity)
            data = realloc(data, capacity *= 2);
    }
    fclose(f);
    *size = used;
    return data;
}

static xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, (uint16_t)strlen(name), name), NULL);
    const xcb_atom_t result = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return result;
}

/* The clipboard's content in one format, or -1 when its owner gives none in time. */
static int clipboard_equals(xcb_connection_t *c, xcb_window_t window, xcb_atom_t clipboard, xcb_atom_t type,
                            xcb_atom_t property, const char *want, size_t want_size)
{
    xcb_convert_selection(c, window, clipboard, type, property, XCB_CURRENT_TIME);
    xcb_flush(c);
    const ns_t deadline = now_ns() + 500 * MS;
    while (now_ns() < deadline) {
        xcb_generic_event_t *event = xcb_poll_for_event(c);
        if (!event) {
            struct pollfd p = {xcb_get_file_descriptor(c), POLLIN, 0};
            poll(&p, 1, 5);
            continue;
        }
        const int type_of = event->response_type & 0x7f;
        const xcb_selection_notify_event_t *notify = (const xcb_selection_notify_event_t *)event;
        if (type_of != XCB_SELECTION_NOTIFY || notify->requestor != window) {
            free(event);
            continue;
        }
        const int refused = notify->property == XCB_ATOM_NONE;
        free(event);
        if (refused)
            return 0;
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 24), NULL);
        const int same = reply && (size_t)xcb_get_property_value_length(reply) == want_size
                         && memcmp(xcb_get_property_value(reply), want, want_size) == 0;
        free(reply);
        return same;
    }
    return -1;
}

static int run_paste(const Options *o)
{
    size_t original_size = 0, expect_size = strlen(o->expect);
    char *original = read_file(o->original, &original_size);
    if (!original)
        die("cannot read the original clipboard content");
    Keys k;
    keys_open(&k);
    xcb_connection_t *c = k.c;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, k.root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, NULL);
    const xcb_atom_t clipboard = atom(c, "CLIPBOARD"), type = atom(c, o->type), property = atom(c, "ZL_BENCH");

    const ns_t t = now_ns();
    modifiers_down(&k);
    fake(&k, XCB_KEY_PRESS, k.key);
    all_up(&k);
    sync_server(&k);
    ns_t text_at = 0, restored_at = 0;
    while (!text_at && now_ns() < t + o->timeout) {
        size_t size = 0;
        char *text = read_file(o->out, &size);
        if (text && size == expect_size && memcmp(text, o->expect, size) == 0)
            text_at = now_ns();
        free(text);
        if (!text_at)
            usleep(500);
    }
    while (text_at && !restored_at && now_ns() < t + o->timeout) {
        if (clipboard_equals(c, window, clipboard, type, property, original, original_size) == 1)
            restored_at = now_ns();
        else
            usleep(2000);
    }
    printf("text_us=%s%.1f restored_us=%s%.1f\n", text_at ? "" : "NA#", text_at ? (text_at - t) / 1e3 : 0.0,
           restored_at ? "" : "NA#", restored_at ? (restored_at - t) / 1e3 : 0.0);
    return text_at && restored_at ? 0 : 1;
}

static int run_close(xcb_window_t window)
{
    xcb_connection_t *c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c))
        die("cannot open the display");
    xcb_client_message_event_t event;
    memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, (const char *)&event);
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
    xcb_disconnect(c);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        die("usage: zl_bench_press ready|measure|cost|paste [options]");
    Options o = {.n = 1000, .gap = 20 * MS, .timeout = 1000 * MS};
    xcb_window_t window = 0;
    const char *mode = argv[1];
    int timeout_given = 0;
    for (int i = 2; i < argc; i++) {
        const char *name = argv[i];
        if (strcmp(name, "--locks") == 0) {
            o.locks = 1;
            continue;
        }
        if (i + 1 >= argc)
            die("an option lacks its value");
        const char *value = argv[++i];
        if (strcmp(name, "--log") == 0)
            o.log = value;
        else if (strcmp(name, "--rec") == 0)
            o.rec = value;
        else if (strcmp(name, "--out") == 0)
            o.out = value;
        else if (strcmp(name, "--expect") == 0)
            o.expect = value;
        else if (strcmp(name, "--type") == 0)
            o.type = value;
        else if (strcmp(name, "--original") == 0)
            o.original = value;
        else if (strcmp(name, "--window") == 0)
            window = (xcb_window_t)strtoul(value, NULL, 0);
        else if (strcmp(name, "-n") == 0)
            o.n = atoi(value);
        else if (strcmp(name, "--pid") == 0)
            o.pid = atoi(value);
        else if (strcmp(name, "--t0-ns") == 0)
            o.t0 = atoll(value);
        else if (strcmp(name, "--gap-ms") == 0)
            o.gap = (ns_t)(atof(value) * MS);
        else if (strcmp(name, "--timeout-ms") == 0) {
            o.timeout = (ns_t)(atof(value) * MS);
            timeout_given = 1;
        } else
            die("unknown option");
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    if (o.n < 1)
        die("-n must be at least 1");
    if (strcmp(mode, "close") == 0)
        return window ? run_close(window) : 2;
    if (strcmp(mode, "paste") == 0) {
        if (!o.out || !o.expect || !o.type || !o.original)
            die("paste needs --out, --expect, --type and --original");
        if (!timeout_given)
            o.timeout = 5000 * MS;
        return run_paste(&o);
    }
    if (!o.log)
        die("--log is required");
    if (strcmp(mode, "ready") == 0) {
        if (!timeout_given)
            o.timeout = 5000 * MS;
        return run_ready(&o);
    }
    if (strcmp(mode, "measure") == 0)
        return run_measure(&o);
    if (strcmp(mode, "cost") == 0) {
        if (!o.rec)
            die("cost needs --rec");
        return run_cost(&o);
    }
    die("unknown mode");
    return 2;
}
