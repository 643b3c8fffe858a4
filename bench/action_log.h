/* What both benchmark drivers share: the clock and the recorder's action log, followed with
 * inotify so that waiting costs no CPU time. The includer defines die(). */
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <time.h>
#include <unistd.h>

typedef int64_t ns_t;
#define MS ((ns_t)1000000)

static void die(const char *message);

static ns_t now_ns(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (ns_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static void sleep_until(ns_t t)
{
    const struct timespec ts = {(time_t)(t / 1000000000), (long)(t % 1000000000)};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &ts, NULL) == EINTR) {
    }
}

typedef struct {
    int fd, notify;
    char buffer[4096];
    size_t used;
} ActionLog;

static void log_open(ActionLog *log, const char *path, int from_end)
{
    log->fd = open(path, O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (log->fd < 0)
        die("cannot open the action log");
    if (from_end)
        lseek(log->fd, 0, SEEK_END);
    log->notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (log->notify < 0 || inotify_add_watch(log->notify, path, IN_MODIFY) < 0)
        die("inotify failed");
    log->used = 0;
}

/* The next stamp in the log, waiting until deadline at most; 0 when none came. */
static int log_next(ActionLog *log, ns_t *stamp, ns_t deadline)
{
    for (;;) {
        char *end = memchr(log->buffer, '\n', log->used);
        if (end) {
            *end = '\0';
            char *rest;
            const long long value = strtoll(log->buffer, &rest, 10);
            const int valid = rest != log->buffer && *rest == '\0';
            const size_t taken = (size_t)(end - log->buffer) + 1;
            memmove(log->buffer, end + 1, log->used - taken);
            log->used -= taken;
            if (valid) {
                *stamp = value;
                return 1;
            }
            continue;
        }
        if (log->used == sizeof log->buffer)
            log->used = 0;
        const ssize_t n = read(log->fd, log->buffer + log->used, sizeof log->buffer - log->used);
        if (n > 0) {
            log->used += (size_t)n;
            continue;
        }
        const ns_t left = deadline - now_ns();
        if (left <= 0)
            return 0;
        /* The cap catches an append whose notification raced with the read above. */
        struct pollfd p = {log->notify, POLLIN, 0};
        const int ms = (int)((left + MS - 1) / MS);
        poll(&p, 1, ms < 20 ? ms : 20);
        char drain[1024];
        while (read(log->notify, drain, sizeof drain) > 0) {
        }
    }
}
