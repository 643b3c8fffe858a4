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
    <message id="shortcut.defaultName">
        <source>New Shortcut</source>
        <translation>New Shortcut</translation>
    </message>
    <message id="ui.hotkeys">
        <source>Hotkeys</source>
        <translation>Hotkeys</translation>
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
        <source>File</source>
        <translation>File</translation>
    </message>
    <message id="menu.settings">
        <source>Settings…</source>
        <translation>Settings…</translation>
    </message>
    <message id="app.noDisplay">
        <source>Zephyrlatch needs an X11 display, and none could be reached (DISPLAY is unset or its server is not running). Start it from your desktop session, or try it on a virtual display: xvfb-run -a zephyrlatch</source>
        <translation>Zephyrlatch needs an X11 display, and none could be reached (DISPLAY is unset or its server is not running). Start it from your desktop session, or try it on a virtual display: xvfb-run -a zephyrlatch</translation>
    </message>
    <message id="cli.usage">
        <source>Usage: zephyrlatch --run NAME-OR-UUID | zephyrlatch --list</source>
        <translation>Usage: zephyrlatch --run NAME-OR-UUID | zephyrlatch --list</translation>
    </message>
    <message id="cli.noInstance">
        <source>Zephyrlatch is not running; start it first, then run this again.</source>
        <translation>Zephyrlatch is not running; start it first, then run this again.</translation>
    </message>
    <message id="cli.noMatch">
        <source>No shortcut is named or has the id %1.</source>
        <translation>No shortcut is named or has the id %1.</translation>
    </message>
    <message id="cli.disabled">
        <source>The shortcut %1 is disabled.</source>
        <translation>The shortcut %1 is disabled.</translation>
    </message>
</context>
</TS>
