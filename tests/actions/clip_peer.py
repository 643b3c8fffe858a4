#!/usr/bin/python3
# A clipboard peer on python3-xlib, independent of Qt's clipboard code.
#   clip_peer.py own TARGET TYPE UNITBITS FILE ...  owns CLIPBOARD with these targets, prints "owned",
#                                                   serves them whole until another client takes it
#   clip_peer.py read TARGET                        prints "TYPE UNITBITS\n" and the bytes (not in chunks)
import sys

from Xlib import X, Xatom, display, ext
from Xlib.protocol import event


def own(specs):
    formats = {}
    for target, type_name, bits, path in zip(*[iter(specs)] * 4):
        with open(path, "rb") as file:
            # Units of 16 and 32 bits go out as the file's bytes, in this machine's order.
            formats[conn.intern_atom(target)] = (conn.intern_atom(type_name), int(bits), file.read())
    targets = [conn.intern_atom("TARGETS"), *formats]
    formats[targets[0]] = (Xatom.ATOM, 32, targets)
    window.set_selection_owner(clipboard, X.CurrentTime)
    if conn.get_selection_owner(clipboard) != window:
        return 1
    print("owned", flush=True)
    while True:
        e = conn.next_event()
        if e.type == X.SelectionClear:
            return 0
        if e.type != X.SelectionRequest:
            continue
        served = formats.get(e.target)
        if served:
            e.requestor.change_property(e.property, *served)
        e.requestor.send_event(event.SelectionNotify(time=e.time, requestor=e.requestor, selection=e.selection,
                                                     target=e.target, property=e.property if served else X.NONE))
        conn.flush()


def read(target):
    peer = conn.intern_atom("ZL_PEER")
    window.convert_selection(clipboard, conn.intern_atom(target), peer, X.CurrentTime)
    while (e := conn.next_event()).type != X.SelectionNotify:
        pass
    reply = window.get_property(peer, X.AnyPropertyType, 0, 1 << 28, True) if e.property != X.NONE else None
    if not reply:
        return 1
    value = reply.value if reply.format == 8 else reply.value.tobytes()
    sys.stdout.buffer.write(f"{conn.get_atom_name(reply.property_type)} {reply.format}\n".encode() + value)
    return 0


# Only the core protocol is used: loading the extension modules would add to every start.
ext.__extensions__ = []
conn = display.Display()
window = conn.screen().root.create_window(0, 0, 1, 1, 0, 0, X.InputOnly)
clipboard = conn.intern_atom("CLIPBOARD")
sys.exit(own(sys.argv[2:]) if sys.argv[1] == "own" else read(sys.argv[2]))
