// zl_bench_qtfloor COMMAND: the least a Qt Widgets hotkey program does, as a floor for start-up
// time and memory. It shows one empty window, grabs Super+Alt+Shift+E when the window is shown
// (once per combination of the lock modifiers) and runs COMMAND through /bin/sh -lc on each press.
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QWidget>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <csignal>
#include <cstdlib>
#include <spawn.h>

extern char **environ;

namespace {

constexpr xcb_keysym_t kKeysymE = 0x0065;
// Lock, NumLock and ScrollLock on the usual map; the floor does not look them up.
constexpr quint16 kLocks[] = {XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_5};

class Floor final : public QWidget, public QAbstractNativeEventFilter
{
public:
    explicit Floor(QByteArray command) : m_command(std::move(command)) {}

    bool nativeEventFilter(const QByteArray &, void *message, qintptr *) override
    {
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
            return false;
        char sh[] = "/bin/sh", flag[] = "-lc";
        char *argv[] = {sh, flag, m_command.data(), nullptr};
        pid_t pid = 0;
        posix_spawn(&pid, sh, nullptr, nullptr, argv, environ);
        return true;
    }

protected:
    void showEvent(QShowEvent *) override
    {
        if (m_grabbed)
            return;
        m_grabbed = true;
        auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t *c = x11->connection();
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, kKeysymE);
        for (int subset = 0; codes && subset < 8; ++subset) {
            quint16 state = XCB_MOD_MASK_4 | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT;
            for (int i = 0; i < 3; ++i) {
                if (subset & (1 << i))
                    state |= kLocks[i];
            }
            xcb_grab_key(c, 0, root, state, codes[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        }
        std::free(codes);
        xcb_key_symbols_free(symbols);
        xcb_flush(c);
    }

private:
    QByteArray m_command;
    bool m_grabbed = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    std::signal(SIGCHLD, SIG_IGN);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Floor floor{QByteArray(argv[1])};
    app.installNativeEventFilter(&floor);
    floor.setWindowTitle(QStringLiteral("Zephyrlatch floor"));
    floor.show();
    return QApplication::exec();
}
