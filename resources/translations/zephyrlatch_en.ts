<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name></name>
    <message id="Zephyrlatch">
        <source>Zephyrlatch</source>
        <translation>Zephyrlatch</translation>
    </message>
    <message id="action.pasteText">
        <source>Paste Text</source>
        <translation>Paste Text</translation>
    </message>
    <message id="action.pasteTextAndEnter">
        <source>Paste Text and Press Return</source>
        <translation>Paste Text and Press Return</translation>
    </message>
    <message id="action.runCommand">
        <source>Run Shell Command</source>
        <translation>Run Shell Command</translation>
    </message>
    <message id="action.launchApp">
        <source>Launch Application</source>
        <translation>Launch Application</translation>
    </message>
    <message id="action.openURL">
        <source>Open URL</source>
        <translation>Open URL</translation>
    </message>
    <message id="action.openURLs">
        <source>Open Several URLs</source>
        <translation>Open Several URLs</translation>
    </message>
    <message id="placeholder.pasteText">
        <source>Text to paste</source>
        <translation>Text to paste</translation>
    </message>
    <message id="placeholder.runCommand">
        <source>Shell command, for example notify-send Hello</source>
        <translation>Shell command, for example notify-send Hello</translation>
    </message>
    <message id="placeholder.launchApp">
        <source>Desktop file ID, application name or path</source>
        <translation>Desktop file ID, application name or path</translation>
    </message>
    <message id="placeholder.openURL">
        <source>https://example.com</source>
        <translation>https://example.com</translation>
    </message>
    <message id="placeholder.openURLs">
        <source>One URL per line</source>
        <translation>One URL per line</translation>
    </message>
    <message id="help.pasteText">
        <source>The text is put on the clipboard and pasted into the focused window; the clipboard is restored afterwards.</source>
        <translation>The text is put on the clipboard and pasted into the focused window; the clipboard is restored afterwards.</translation>
    </message>
    <message id="help.pasteTextAndEnter">
        <source>Pastes the text like Paste Text, then presses Return.</source>
        <translation>Pastes the text like Paste Text, then presses Return.</translation>
    </message>
    <message id="help.runCommand">
        <source>Runs in your login shell. Output is discarded.</source>
        <translation>Runs in your login shell. Output is discarded.</translation>
    </message>
    <message id="help.launchApp">
        <source>A desktop file ID (firefox, org.gnome.Calculator), a file name ending in .desktop, an application name, or an absolute path.</source>
        <translation>A desktop file ID (firefox, org.gnome.Calculator), a file name ending in .desktop, an application name, or an absolute path.</translation>
    </message>
    <message id="help.openURL">
        <source>Opens the first URL in its default application. Without a scheme, https:// is assumed.</source>
        <translation>Opens the first URL in its default application. Without a scheme, https:// is assumed.</translation>
    </message>
    <message id="help.openURLs">
        <source>Opens every URL, one per line, in order. Without a scheme, https:// is assumed.</source>
        <translation>Opens every URL, one per line, in order. Without a scheme, https:// is assumed.</translation>
    </message>
    <message id="hotkey.notSet">
        <source>Not set</source>
        <translation>Not set</translation>
    </message>
    <message id="modifier.control">
        <source>Ctrl</source>
        <translation>Ctrl</translation>
    </message>
    <message id="modifier.alt">
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message id="modifier.shift">
        <source>Shift</source>
        <translation>Shift</translation>
    </message>
    <message id="modifier.super">
        <source>Super</source>
        <translation>Super</translation>
    </message>
    <message id="key.return">
        <source>Return</source>
        <translation>Return</translation>
    </message>
    <message id="key.space">
        <source>Space</source>
        <translation>Space</translation>
    </message>
    <message id="key.tab">
        <source>Tab</source>
        <translation>Tab</translation>
    </message>
    <message id="key.escape">
        <source>Esc</source>
        <translation>Esc</translation>
    </message>
    <message id="key.backspace">
        <source>Backspace</source>
        <translation>Backspace</translation>
    </message>
    <message id="key.delete">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="key.insert">
        <source>Insert</source>
        <translation>Insert</translation>
    </message>
    <message id="key.home">
        <source>Home</source>
        <translation>Home</translation>
    </message>
    <message id="key.end">
        <source>End</source>
        <translation>End</translation>
    </message>
    <message id="key.pageUp">
        <source>Page Up</source>
        <translation>Page Up</translation>
    </message>
    <message id="key.pageDown">
        <source>Page Down</source>
        <translation>Page Down</translation>
    </message>
    <message id="key.left">
        <source>Left</source>
        <translation>Left</translation>
    </message>
    <message id="key.right">
        <source>Right</source>
        <translation>Right</translation>
    </message>
    <message id="key.up">
        <source>Up</source>
        <translation>Up</translation>
    </message>
    <message id="key.down">
        <source>Down</source>
        <translation>Down</translation>
    </message>
    <message id="key.menu">
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message id="key.numLock">
        <source>Num Lock</source>
        <translation>Num Lock</translation>
    </message>
    <message id="key.keypad">
        <source>Keypad %1</source>
        <translation>Keypad %1</translation>
    </message>
    <message id="hotkey.problem.takenElsewhere">
        <source>%1 is taken by another program.</source>
        <translation>%1 is taken by another program.</translation>
    </message>
    <message id="hotkey.problem.heldHere">
        <source>%1 is already used by another shortcut in this list.</source>
        <translation>%1 is already used by another shortcut in this list.</translation>
    </message>
    <message id="hotkey.problem.unknownKey">
        <source>%1: this keyboard has no such key.</source>
        <translation>%1: this keyboard has no such key.</translation>
    </message>
    <message id="hotkey.problem.unavailable">
        <source>%1 cannot be registered: nothing here lets this program catch keys. Bind the trigger command below in your desktop's keyboard settings.</source>
        <translation>%1 cannot be registered: nothing here lets this program catch keys. Bind the trigger command below in your desktop's keyboard settings.</translation>
    </message>
    <message id="hotkey.problem.other">
        <source>%1 could not be registered (status %2).</source>
        <translation>%1 could not be registered (status %2).</translation>
    </message>
    <message id="hotkey.problem.later">
        <source>%1 is not bound as asked: %2</source>
        <translation>%1 is not bound as asked: %2</translation>
    </message>
    <message id="shortcut.defaultName">
        <source>New Shortcut</source>
        <translation>New Shortcut</translation>
    </message>
    <message id="ui.hotkeys">
        <source>Hotkeys</source>
        <translation>Hotkeys</translation>
    </message>
    <message id="ui.search">
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message id="ui.moveUp">
        <source>Move Up</source>
        <translation>Move Up</translation>
    </message>
    <message id="ui.moveDown">
        <source>Move Down</source>
        <translation>Move Down</translation>
    </message>
    <message id="ui.settingsTitle">
        <source>Zephyrlatch Settings</source>
        <translation>Zephyrlatch Settings</translation>
    </message>
    <message id="ui.triggerCommandHelp">
        <source>Where Zephyrlatch cannot catch keys itself (GNOME and KDE on Wayland), bind this command in the desktop's keyboard settings:</source>
        <translation>Where Zephyrlatch cannot catch keys itself (GNOME and KDE on Wayland), bind this command in the desktop's keyboard settings:</translation>
    </message>
    <message id="ui.copy">
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message id="ui.add">
        <source>Add</source>
        <translation>Add</translation>
    </message>
    <message id="ui.delete">
        <source>Delete</source>
        <translation>Delete</translation>
    </message>
    <message id="ui.selectHotkey">
        <source>Select a Hotkey</source>
        <translation>Select a Hotkey</translation>
    </message>
    <message id="ui.selectHotkeyHint">
        <source>Choose a shortcut in the list, or add a new one.</source>
        <translation>Choose a shortcut in the list, or add a new one.</translation>
    </message>
    <message id="ui.needAccess">
        <source>Pasting unavailable</source>
        <translation>Pasting unavailable</translation>
    </message>
    <message id="ui.launchAtLogin">
        <source>Launch at login</source>
        <translation>Launch at login</translation>
    </message>
    <message id="ui.general">
        <source>General</source>
        <translation>General</translation>
    </message>
    <message id="ui.name">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="ui.enabled">
        <source>Enabled</source>
        <translation>Enabled</translation>
    </message>
    <message id="ui.keyCombination">
        <source>Key combination</source>
        <translation>Key combination</translation>
    </message>
    <message id="ui.modifierHint">
        <source>Press a key together with Ctrl, Alt, Shift or Super. Esc cancels.</source>
        <translation>Press a key together with Ctrl, Alt, Shift or Super. Esc cancels.</translation>
    </message>
    <message id="ui.action">
        <source>Action</source>
        <translation>Action</translation>
    </message>
    <message id="ui.type">
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message id="ui.chooseEllipsis">
        <source>Choose…</source>
        <translation>Choose…</translation>
    </message>
    <message id="ui.chooseApplication">
        <source>Choose an Application</source>
        <translation>Choose an Application</translation>
    </message>
    <message id="ui.otherApplication">
        <source>Other…</source>
        <translation>Other…</translation>
    </message>
    <message id="ui.choose">
        <source>Choose</source>
        <translation>Choose</translation>
    </message>
    <message id="ui.test">
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message id="ui.runNow">
        <source>Run Now</source>
        <translation>Run Now</translation>
    </message>
    <message id="ui.record">
        <source>&amp;Record</source>
        <translation>&amp;Record</translation>
    </message>
    <message id="ui.recording">
        <source>Press keys…</source>
        <translation>Press keys…</translation>
    </message>
    <message id="ui.reset">
        <source>Reset</source>
        <translation>Reset</translation>
    </message>
    <message id="ui.openSettings">
        <source>Open Zephyrlatch</source>
        <translation>Open Zephyrlatch</translation>
    </message>
    <message id="ui.noActiveHotkeys">
        <source>No active hotkeys</source>
        <translation>No active hotkeys</translation>
    </message>
    <message id="ui.accessibilityPermissions">
        <source>What Pasting Needs…</source>
        <translation>What Pasting Needs…</translation>
    </message>
    <message id="ui.quit">
        <source>Quit</source>
        <translation>Quit</translation>
    </message>
    <message id="ui.launchAtLoginToggle">
        <source>Start Zephyrlatch when I log in</source>
        <translation>Start Zephyrlatch when I log in</translation>
    </message>
    <message id="ui.launchAtLoginFailed">
        <source>Starting at login could not be set up: the autostart entry could not be written. The setting is kept; the log says why.</source>
        <translation>Starting at login could not be set up: the autostart entry could not be written. The setting is kept; the log says why.</translation>
    </message>
    <message id="ui.launchAtLoginNotRemoved">
        <source>Starting at login could not be turned off: the autostart entry could not be removed. The setting is kept; the log says why.</source>
        <translation>Starting at login could not be turned off: the autostart entry could not be removed. The setting is kept; the log says why.</translation>
    </message>
    <message id="ui.accessibility">
        <source>Synthetic input</source>
        <translation>Synthetic input</translation>
    </message>
    <message id="ui.allowed">
        <source>Available</source>
        <translation>Available</translation>
    </message>
    <message id="ui.needsPermission">
        <source>Unavailable</source>
        <translation>Unavailable</translation>
    </message>
    <message id="ui.openPrivacySettings">
        <source>What Pasting Needs…</source>
        <translation>What Pasting Needs…</translation>
    </message>
    <message id="menu.shortcutLabel">
        <source>%1  %2</source>
        <translation>%1  %2</translation>
    </message>
    <message id="menu.file">
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message id="menu.import">
        <source>&amp;Import…</source>
        <translation>&amp;Import…</translation>
    </message>
    <message id="menu.export">
        <source>&amp;Export…</source>
        <translation>&amp;Export…</translation>
    </message>
    <message id="transfer.fileFilter">
        <source>Shortcut lists (*.json);;All files (*)</source>
        <translation>Shortcut lists (*.json);;All files (*)</translation>
    </message>
    <message id="transfer.imported">
        <source>Shortcuts imported: %1</source>
        <translation>Shortcuts imported: %1</translation>
    </message>
    <message id="transfer.skipped">
        <source>Entries skipped because they could not be read: %1 (see the details)</source>
        <translation>Entries skipped because they could not be read: %1 (see the details)</translation>
    </message>
    <message id="transfer.importFailed">
        <source>Nothing was imported from %1: %2</source>
        <translation>Nothing was imported from %1: %2</translation>
    </message>
    <message id="transfer.exportFailed">
        <source>Could not export to %1: %2</source>
        <translation>Could not export to %1: %2</translation>
    </message>
    <message id="menu.settings">
        <source>&amp;Settings…</source>
        <translation>&amp;Settings…</translation>
    </message>
    <message id="cli.usage">
        <source>Usage: zephyrlatch [--run NAME-OR-ID | --list | --import FILE | --export FILE]
  --run     runs a shortcut in the running Zephyrlatch, as its hotkey would (bind this command in your desktop's keyboard settings)
  --list    prints the shortcuts: id, name, hotkey, action, on or off
  --import  appends the shortcuts of a file written by --export or File &gt; Export…
  --export  writes every shortcut to a file</source>
        <translation>Usage: zephyrlatch [--run NAME-OR-ID | --list | --import FILE | --export FILE]
  --run     runs a shortcut in the running Zephyrlatch, as its hotkey would (bind this command in your desktop's keyboard settings)
  --list    prints the shortcuts: id, name, hotkey, action, on or off
  --import  appends the shortcuts of a file written by --export or File &gt; Export…
  --export  writes every shortcut to a file</translation>
    </message>
    <message id="cli.notRunning">
        <source>Zephyrlatch is not running. Start it (zephyrlatch), then run this command again.</source>
        <translation>Zephyrlatch is not running. Start it (zephyrlatch), then run this command again.</translation>
    </message>
    <message id="cli.noMatch">
        <source>No shortcut has the name or id “%1” (zephyrlatch --list shows them).</source>
        <translation>No shortcut has the name or id “%1” (zephyrlatch --list shows them).</translation>
    </message>
    <message id="cli.ambiguous">
        <source>Several shortcuts are named “%1”; give the id instead (zephyrlatch --list shows it).</source>
        <translation>Several shortcuts are named “%1”; give the id instead (zephyrlatch --list shows it).</translation>
    </message>
    <message id="cli.disabled">
        <source>The shortcut “%1” is turned off.</source>
        <translation>The shortcut “%1” is turned off.</translation>
    </message>
    <message id="cli.exported">
        <source>Shortcuts exported: %1</source>
        <translation>Shortcuts exported: %1</translation>
    </message>
    <message id="cli.noAnswer">
        <source>The running Zephyrlatch gave no usable answer.</source>
        <translation>The running Zephyrlatch gave no usable answer.</translation>
    </message>
    <message id="cli.on">
        <source>on</source>
        <translation>on</translation>
    </message>
    <message id="cli.off">
        <source>off</source>
        <translation>off</translation>
    </message>
    <message id="settings.hotkeys">
        <source>Hotkeys:</source>
        <translation>Hotkeys:</translation>
    </message>
    <message id="settings.hotkeys.x11">
        <source>caught through X11 key grabs.</source>
        <translation>caught through X11 key grabs.</translation>
    </message>
    <message id="settings.hotkeys.sway">
        <source>bound in sway through its IPC.</source>
        <translation>bound in sway through its IPC.</translation>
    </message>
    <message id="settings.hotkeys.portal">
        <source>bound through the desktop's global shortcuts portal; the desktop may ask you to confirm them, and its keyboard settings can change them.</source>
        <translation>bound through the desktop's global shortcuts portal; the desktop may ask you to confirm them, and its keyboard settings can change them.</translation>
    </message>
    <message id="settings.hotkeys.none">
        <source>this desktop lets no program catch keys. Bind each shortcut's trigger command (shown in the editor, zephyrlatch --run …) in the desktop's keyboard settings: GNOME Settings &gt; Keyboard &gt; Custom Shortcuts, KDE System Settings &gt; Shortcuts.</source>
        <translation>this desktop lets no program catch keys. Bind each shortcut's trigger command (shown in the editor, zephyrlatch --run …) in the desktop's keyboard settings: GNOME Settings &gt; Keyboard &gt; Custom Shortcuts, KDE System Settings &gt; Shortcuts.</translation>
    </message>
    <message id="settings.paste">
        <source>Pasting:</source>
        <translation>Pasting:</translation>
    </message>
    <message id="settings.paste.xtest">
        <source>synthetic keys through the X server's XTEST extension.</source>
        <translation>synthetic keys through the X server's XTEST extension.</translation>
    </message>
    <message id="settings.paste.virtualKeyboard">
        <source>a virtual keyboard of the compositor, into every window.</source>
        <translation>a virtual keyboard of the compositor, into every window.</translation>
    </message>
    <message id="settings.paste.x11Only">
        <source>into X11 (XWayland) windows only: this desktop offers no virtual keyboard to programs.</source>
        <translation>into X11 (XWayland) windows only: this desktop offers no virtual keyboard to programs.</translation>
    </message>
    <message id="settings.paste.remoteDesktop">
        <source>the desktop's remote desktop portal, into every window (you allowed it once).</source>
        <translation>the desktop's remote desktop portal, into every window (you allowed it once).</translation>
    </message>
    <message id="settings.paste.remoteDesktopPending">
        <source>into X11 (XWayland) windows only, until you allow Zephyrlatch to control the keyboard in the desktop's remote desktop dialog.</source>
        <translation>into X11 (XWayland) windows only, until you allow Zephyrlatch to control the keyboard in the desktop's remote desktop dialog.</translation>
    </message>
    <message id="app.noDisplay">
        <source>Zephyrlatch needs a display, and none could be reached (neither DISPLAY nor WAYLAND_DISPLAY names a running server). Start it from your desktop session, or try it on a virtual display: xvfb-run -a zephyrlatch</source>
        <translation>Zephyrlatch needs a display, and none could be reached (neither DISPLAY nor WAYLAND_DISPLAY names a running server). Start it from your desktop session, or try it on a virtual display: xvfb-run -a zephyrlatch</translation>
    </message>
</context>
</TS>
