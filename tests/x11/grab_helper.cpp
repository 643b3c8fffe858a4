// Another X client for the hotkey tests: grabs one key combination on the root window of its
// own connection, prints "ok" or "refused <error code>", and holds the grab until stdin closes.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int, char **argv)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const auto keycode = static_cast<xcb_keycode_t>(std::atoi(argv[1]));
    const auto state = static_cast<uint16_t>(std::atoi(argv[2]));
    const xcb_void_cookie_t cookie =
        xcb_grab_key_checked(connection, 0, root, state, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    const std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> error(xcb_request_check(connection, cookie),
                                                                            &std::free);
    if (error)
        std::printf("refused %d\n", error->error_code);
    else
        std::printf("ok\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    xcb_disconnect(connection);
    return 0;
}
