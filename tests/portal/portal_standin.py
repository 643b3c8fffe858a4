#!/usr/bin/python3
# A stand-in for the desktop portal's GlobalShortcuts, RemoteDesktop (keyboard only), Registry,
# Request and Session objects, for the calls the clients make, on whatever session bus it is
# started on. A control interface lets a test assign other triggers or none, make a method stay
# silent or answer with an error code, and press a bound shortcut; Log() returns the calls it has
# seen, one line each.

import ctypes
import signal
import sys
from types import SimpleNamespace

import dbus
import dbus.lowlevel as low
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SERVICE = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
SHORTCUTS = "org.freedesktop.portal.GlobalShortcuts"
REMOTE_DESKTOP = "org.freedesktop.portal.RemoteDesktop"


def targeted_signal(destination, path, interface, member, signature, *args):
    message = low.SignalMessage(path, interface, member)
    message.set_destination(destination)
    message.append(*args, signature=signature)
    return message


class StandInPortal:
    def __init__(self, bus):
        self.bus = bus
        self.log = []
        self.sessions = {}  # path: owner, bound, shortcuts (the ids bound)
        self.answers = {}  # by method name: (silence, response code)
        self.triggers = {}  # by shortcut id
        self.restore_tokens = 0

    # Unhandled calls fall through to the bus library, which answers them with UnknownMethod.
    # Signals and replies match no branch: they carry no such interface and member, or no member at all.
    def handle(self, _connection, message):
        path, interface, member = message.get_path(), message.get_interface(), message.get_member()
        if path == PATH and interface in (SHORTCUTS, REMOTE_DESKTOP) and member == "CreateSession":
            handled = self.create_session(message, interface, *message.get_args_list())
        elif path == PATH and interface == SHORTCUTS and member == "BindShortcuts":
            handled = self.bind_shortcuts(message, *message.get_args_list())
        elif path == PATH and interface == REMOTE_DESKTOP:
            handled = self.remote_desktop_call(message, member, message.get_args_list())
        elif path == PATH and interface == "io.github.zephyrlatch.PortalStandIn":
            handled = self.control_call(message, member, message.get_args_list())
        elif path == PATH and interface == "org.freedesktop.host.portal.Registry" and member == "Register":
            handled = self.log_and_reply(message, "Register " + message.get_args_list()[0])
        elif interface == "org.freedesktop.portal.Session" and member == "Close" and self.sessions.pop(path, None):
            handled = self.log_and_reply(message, "Session.Close " + path.rsplit("/", 1)[-1])
        elif interface == "org.freedesktop.portal.Request" and member == "Close":
            handled = self.log_and_reply(message, "Request.Close")
        else:
            handled = False
        return low.HANDLER_RESULT_HANDLED if handled else low.HANDLER_RESULT_NOT_YET_HANDLED

    def reply(self, message, signature="", *args):
        answer = low.MethodReturnMessage(message)
        answer.append(*args, signature=signature)
        self.bus.send_message(answer)
        return True

    def log_and_reply(self, message, line):
        self.log.append(line)
        return self.reply(message)

    def fail(self, message, text):
        self.bus.send_message(low.ErrorMessage(message, "org.freedesktop.portal.Error.Failed", text))
        return True

    def owned_session(self, message, path):
        session = self.sessions.get(path)
        return session if session and session.owner == message.get_sender() else None

    # Answers as the desktop portal does: the reply names the Request, whose Response follows.
    def respond(self, message, options, results, session_path):
        member, caller = message.get_member(), message.get_sender()
        silence, code = self.answers.get(member, ("", 0))
        if silence == "reply":
            return True
        request_path = f"{PATH}/request/{caller[1:].replace('.', '_')}/{options.get('handle_token', 't')}"
        self.reply(message, "o", request_path)
        if silence == "response":
            return True
        if member == "CreateSession" and code == 0:
            self.sessions[session_path] = SimpleNamespace(owner=caller, bound=False, shortcuts=[])
        self.bus.send_message(targeted_signal(caller, request_path, "org.freedesktop.portal.Request", "Response",
                                              "ua{sv}", code, results if code == 0 else {}))
        return True

    def create_session(self, message, interface, options):
        token = options.get("session_handle_token", "s")
        session_path = f"{PATH}/session/{message.get_sender()[1:].replace('.', '_')}/{token}"
        # A session not closed before its token is used again shows in the log.
        self.log.append(("RemoteDesktop." if interface == REMOTE_DESKTOP else "") + "CreateSession " + token)
        return self.respond(message, options, {"session_handle": session_path}, session_path)

    def remote_desktop_call(self, message, member, args):
        # Keys sent too early or too late show in the log; the client is not told.
        if member == "NotifyKeyboardKeysym":
            self.log.append(f"Keysym {'+' if args[3] else '-'}{args[2]:x}")
            return self.reply(message)
        if not self.owned_session(message, args[0]):
            return self.fail(message, "Invalid session")
        if member == "SelectDevices":
            options, results = args[1], {}
            self.log.append(f"SelectDevices types={options.get('types', 0)} persist_mode="
                            f"{options.get('persist_mode', 0)} restore_token={options.get('restore_token', '')}")
        elif member == "Start":
            options = args[2]
            self.restore_tokens += 1
            results = {"devices": dbus.UInt32(1), "restore_token": f"token-{self.restore_tokens}"}
        else:
            return False
        return self.respond(message, options, results, args[0])

    def bind_shortcuts(self, message, session_path, entries, _parent_window, options):
        described = ";".join(f"{id}={properties.get('preferred_trigger', '')}" for id, properties in entries)
        self.log.append(f"BindShortcuts {session_path.rsplit('/', 1)[-1]} {described}")
        session = self.owned_session(message, session_path)
        # A session binds once, as the desktop portal enforces.
        if not session or session.bound:
            return self.fail(message, "Invalid state")
        answered = []
        for id, properties in entries:
            trigger = self.triggers.get(id, properties.get("preferred_trigger", ""))
            # No trigger: the desktop left the shortcut out.
            if trigger:
                answered.append((id, {"description": properties.get("description", ""),
                                      "trigger_description": dbus.String(trigger)}))
        if self.answers.get("BindShortcuts", ("", 0))[1] == 0:
            session.bound = True
            session.shortcuts = [id for id, _ in answered]
        results = {"shortcuts": dbus.Array(answered, signature="(sa{sv})")}
        return self.respond(message, options, results, session_path)

    def control_call(self, message, member, args):
        if member == "Answer":  # (method, silence: "reply", "response" or none, response code)
            self.answers[args[0]] = (args[1], int(args[2]))
        elif member == "SetTrigger":
            self.triggers[args[0]] = args[1]
        elif member == "Activate":
            bound = [path for path, session in self.sessions.items() if args[0] in session.shortcuts]
            if bound:
                self.bus.send_message(targeted_signal(self.sessions[bound[0]].owner, PATH, SHORTCUTS, "Activated",
                                                      "osta{sv}", bound[0], args[0], 1, {}))
            return self.reply(message, "b", bool(bound))
        elif member == "EndSessions":
            # As when the user stops the sharing in the desktop's indicator.
            for path, session in self.sessions.items():
                self.bus.send_message(targeted_signal(session.owner, path, "org.freedesktop.portal.Session", "Closed",
                                                      "a{sv}", {}))
            self.sessions.clear()
        elif member == "Log":
            return self.reply(message, "as", self.log)
        else:
            return False
        return self.reply(message)


def main():
    # Goes with the test that started it, even when that test crashes (1: PR_SET_PDEATHSIG).
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)
    bus = dbus.SessionBus(mainloop=DBusGMainLoop())
    bus.add_message_filter(StandInPortal(bus).handle)
    if bus.request_name(SERVICE, dbus.bus.NAME_FLAG_DO_NOT_QUEUE) != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
        sys.exit(f"portal_standin: cannot serve {SERVICE}: the name is taken")
    print("ready", flush=True)  # the test waits for this line rather than polling the bus
    GLib.MainLoop().run()


main()
