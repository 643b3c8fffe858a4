/* zl_bench_rec LOG: appends the CLOCK_REALTIME time of its own start, in nanoseconds, as one line.
 * Linked statically and kept free of stdio so that exec costs as little as the kernel allows:
 * every daemon runs it as its action, and its cost is inside every latency. */
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (argc < 2)
        return 2;
    unsigned long long ns = (unsigned long long)now.tv_sec * 1000000000ull + (unsigned long long)now.tv_nsec;
    char line[24];
    size_t at = sizeof line;
    line[--at] = '\n';
    do {
        line[--at] = (char)('0' + ns % 10);
        ns /= 10;
    } while (ns != 0);
    /* One O_APPEND write per action: overlapping runs never interleave a line. */
    const int fd = open(argv[1], O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return 1;
    const ssize_t want = (ssize_t)(sizeof line - at);
    const int ok = write(fd, line + at, (size_t)want) == want;
    close(fd);
    return ok ? 0 : 1;
}
