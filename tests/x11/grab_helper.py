#!/usr/bin/python3
# Another X client for the hotkey tests: grabs one key combination (keycode, modifier state) on the
# root window of its own connection, prints "ok" or "refused <error code>", and holds the grab until
# stdin closes.
import sys

from Xlib import X, display, error, ext

# Only the core protocol is used: loading the extension modules would add to every start.
ext.__extensions__ = []
conn = display.Display()
refusal = error.CatchError()
conn.screen().root.grab_key(int(sys.argv[1]), int(sys.argv[2]), False, X.GrabModeAsync, X.GrabModeAsync,
                         onerror=refusal)
conn.sync()
print(f"refused {refusal.get_error().code}" if refusal.get_error() else "ok", flush=True)
sys.stdin.read()
