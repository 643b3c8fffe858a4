// A clipboard peer on raw xcb, independent of Qt's clipboard code.
//   clip_peer own TARGET TYPE UNITBITS FILE ...  owns CLIPBOARD with these targets, prints "owned",
//                                                serves them whole until another client takes it
//   clip_peer read TARGET                        prints "TYPE UNITBITS\n" and the bytes (not in chunks)
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

xcb_connection_t *c;
xcb_window_t window;

xcb_atom_t atom(const std::string &name)
{
    xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, name.size(), name.c_str()), nullptr);
    const xcb_atom_t a = r ? r->atom : XCB_NONE;
    free(r);
    return a;
}

struct Format
{
    xcb_atom_t target, type;
    uint8_t bits;
    std::string data;
};

int own(char **argv, int argc)
{
    const xcb_atom_t clipboard = atom("CLIPBOARD"), targets = atom("TARGETS");
    std::vector<Format> formats;
    std::vector<xcb_atom_t> list{targets};
    for (int i = 0; i + 3 < argc; i += 4) {
        std::ifstream in(argv[i + 3], std::ios::binary);
        formats.push_back({atom(argv[i]), atom(argv[i + 1]), uint8_t(std::atoi(argv[i + 2])),
                           std::string(std::istreambuf_iterator<char>(in), {})});
        list.push_back(formats.back().target);
    }
    formats.push_back({targets, XCB_ATOM_ATOM, 32, std::string(reinterpret_cast<const char *>(list.data()),
                                                                list.size() * sizeof(xcb_atom_t))});
    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
    free(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
    std::printf("owned\n");
    std::fflush(stdout);
    while (xcb_generic_event_t *e = xcb_wait_for_event(c)) {
        const int type = e->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR)
            return 0;
        if (type == XCB_SELECTION_REQUEST) {
            const auto *r = reinterpret_cast<xcb_selection_request_event_t *>(e);
            xcb_selection_notify_event_t n{XCB_SELECTION_NOTIFY, 0, 0, r->time, r->requestor, r->selection, r->target,
                                           XCB_NONE};
            for (const Format &f : formats) {
                if (f.target != r->target)
                    continue;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, r->requestor, r->property, f.type, f.bits,
                                    f.data.size() / (f.bits / 8), f.data.data());
                n.property = r->property;
            }
            xcb_send_event(c, 0, r->requestor, 0, reinterpret_cast<const char *>(&n));
            xcb_flush(c);
        }
        free(e);
    }
    return 1;
}

int read(const std::string &targetName)
{
    const xcb_atom_t p = atom("ZL_PEER");
    xcb_convert_selection(c, window, atom("CLIPBOARD"), atom(targetName), p, XCB_CURRENT_TIME);
    xcb_flush(c);
    xcb_generic_event_t *e;
    while ((e = xcb_wait_for_event(c)) && (e->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
        free(e);
    if (!e || reinterpret_cast<xcb_selection_notify_event_t *>(e)->property == XCB_NONE)
        return 1;
    free(e);
    xcb_get_property_reply_t *r =
        xcb_get_property_reply(c, xcb_get_property(c, 1, window, p, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 28), nullptr);
    xcb_get_atom_name_reply_t *type = r ? xcb_get_atom_name_reply(c, xcb_get_atom_name(c, r->type), nullptr) : nullptr;
    if (!type)
        return 1;
    std::printf("%.*s %d\n", xcb_get_atom_name_name_length(type), xcb_get_atom_name_name(type), r->format);
    std::fwrite(xcb_get_property_value(r), 1, xcb_get_property_value_length(r), stdout);
    free(type);
    free(r);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    c = xcb_connect(nullptr, nullptr);
    if (argc < 3 || xcb_connection_has_error(c))
        return 2;
    window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, 0, 0, 1,
                      1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    return std::string(argv[1]) == "own" ? own(argv + 2, argc - 2) : read(argv[2]);
}
