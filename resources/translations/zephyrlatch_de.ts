<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name></name>
    <message id="Zephyrlatch">
        <source>Zephyrlatch</source>
        <translation>Zephyrlatch</translation>
    </message>
    <message id="action.pasteText">
        <source>Paste Text</source>
        <translation>Text einfügen</translation>
    </message>
    <message id="action.pasteTextAndEnter">
        <source>Paste Text and Press Return</source>
        <translation>Text einfügen und Eingabetaste drücken</translation>
    </message>
    <message id="action.runCommand">
        <source>Run Shell Command</source>
        <translation>Shell-Befehl ausführen</translation>
    </message>
    <message id="action.launchApp">
        <source>Launch Application</source>
        <translation>Anwendung starten</translation>
    </message>
    <message id="action.openURL">
        <source>Open URL</source>
        <translation>URL öffnen</translation>
    </message>
    <message id="action.openURLs">
        <source>Open Several URLs</source>
        <translation>Mehrere URLs öffnen</translation>
    </message>
    <message id="placeholder.pasteText">
        <source>Text to paste</source>
        <translation>Einzufügender Text</translation>
    </message>
    <message id="placeholder.runCommand">
        <source>Shell command, for example notify-send Hello</source>
        <translation>Shell-Befehl, zum Beispiel notify-send Hallo</translation>
    </message>
    <message id="placeholder.launchApp">
        <source>Desktop file ID, application name or path</source>
        <translation>Desktop-Datei-ID, Anwendungsname oder Pfad</translation>
    </message>
    <message id="placeholder.openURL">
        <source>https://example.com</source>
        <translation>https://example.com</translation>
    </message>
    <message id="placeholder.openURLs">
        <source>One URL per line</source>
        <translation>Eine URL pro Zeile</translation>
    </message>
    <message id="help.pasteText">
        <source>The text is put on the clipboard and pasted into the focused window; the clipboard is restored afterwards.</source>
        <translation>Der Text wird über die Zwischenablage in das aktive Fenster eingefügt; die Zwischenablage wird danach wiederhergestellt.</translation>
    </message>
    <message id="help.pasteTextAndEnter">
        <source>Pastes the text like Paste Text, then presses Return.</source>
        <translation>Fügt den Text wie „Text einfügen“ ein und drückt danach die Eingabetaste.</translation>
    </message>
    <message id="help.runCommand">
        <source>Runs in your login shell. Output is discarded.</source>
        <translation>Läuft in Ihrer Login-Shell. Die Ausgabe wird verworfen.</translation>
    </message>
    <message id="help.launchApp">
        <source>A desktop file ID (firefox, org.gnome.Calculator), a file name ending in .desktop, an application name, or an absolute path.</source>
        <translation>Eine Desktop-Datei-ID (firefox, org.gnome.Calculator), ein Dateiname auf .desktop, ein Anwendungsname oder ein absoluter Pfad.</translation>
    </message>
    <message id="help.openURL">
        <source>Opens the first URL in its default application. Without a scheme, https:// is assumed.</source>
        <translation>Öffnet die erste URL in ihrer Standardanwendung. Ohne Schema wird https:// angenommen.</translation>
    </message>
    <message id="help.openURLs">
        <source>Opens every URL, one per line, in order. Without a scheme, https:// is assumed.</source>
        <translation>Öffnet alle URLs, eine pro Zeile, der Reihe nach. Ohne Schema wird https:// angenommen.</translation>
    </message>
    <message id="hotkey.notSet">
        <source>Not set</source>
        <translation>Nicht festgelegt</translation>
    </message>
    <message id="shortcut.defaultName">
        <source>New Shortcut</source>
        <translation>Neues Tastenkürzel</translation>
    </message>
    <message id="ui.hotkeys">
        <source>Hotkeys</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message id="ui.add">
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message id="ui.delete">
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message id="ui.selectHotkey">
        <source>Select a Hotkey</source>
        <translation>Tastenkürzel auswählen</translation>
    </message>
    <message id="ui.selectHotkeyHint">
        <source>Choose a shortcut in the list, or add a new one.</source>
        <translation>Wählen Sie ein Tastenkürzel in der Liste aus oder fügen Sie ein neues hinzu.</translation>
    </message>
    <message id="ui.needAccess">
        <source>Pasting unavailable</source>
        <translation>Einfügen nicht möglich</translation>
    </message>
    <message id="ui.launchAtLogin">
        <source>Launch at login</source>
        <translation>Bei Anmeldung starten</translation>
    </message>
    <message id="ui.general">
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message id="ui.name">
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message id="ui.enabled">
        <source>Enabled</source>
        <translation>Aktiviert</translation>
    </message>
    <message id="ui.keyCombination">
        <source>Key combination</source>
        <translation>Tastenkombination</translation>
    </message>
    <message id="ui.modifierHint">
        <source>Press a key together with Ctrl, Alt, Shift or Super. Esc cancels.</source>
        <translation>Drücken Sie eine Taste zusammen mit Strg, Alt, Umschalt oder Super. Esc bricht ab.</translation>
    </message>
    <message id="ui.action">
        <source>Action</source>
        <translation>Aktion</translation>
    </message>
    <message id="ui.type">
        <source>Type</source>
        <translation>Art</translation>
    </message>
    <message id="ui.chooseEllipsis">
        <source>Choose…</source>
        <translation>Auswählen…</translation>
    </message>
    <message id="ui.choose">
        <source>Choose</source>
        <translation>Auswählen</translation>
    </message>
    <message id="ui.test">
        <source>Test</source>
        <translation>Test</translation>
    </message>
    <message id="ui.runNow">
        <source>Run Now</source>
        <translation>Jetzt ausführen</translation>
    </message>
    <message id="ui.record">
        <source>&amp;Record</source>
        <translation>&amp;Aufnehmen</translation>
    </message>
    <message id="ui.recording">
        <source>Press keys…</source>
        <translation>Tasten drücken…</translation>
    </message>
    <message id="ui.reset">
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message id="ui.openSettings">
        <source>Open Zephyrlatch</source>
        <translation>Zephyrlatch öffnen</translation>
    </message>
    <message id="ui.noActiveHotkeys">
        <source>No active hotkeys</source>
        <translation>Keine aktiven Tastenkürzel</translation>
    </message>
    <message id="ui.accessibilityPermissions">
        <source>What Pasting Needs…</source>
        <translation>Was das Einfügen braucht…</translation>
    </message>
    <message id="ui.quit">
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message id="ui.launchAtLoginToggle">
        <source>Start Zephyrlatch when I log in</source>
        <translation>Zephyrlatch bei der Anmeldung starten</translation>
    </message>
    <message id="ui.accessibility">
        <source>Synthetic input</source>
        <translation>Synthetische Eingabe</translation>
    </message>
    <message id="ui.allowed">
        <source>Available</source>
        <translation>Verfügbar</translation>
    </message>
    <message id="ui.needsPermission">
        <source>Unavailable</source>
        <translation>Nicht verfügbar</translation>
    </message>
    <message id="ui.openPrivacySettings">
        <source>What Pasting Needs…</source>
        <translation>Was das Einfügen braucht…</translation>
    </message>
    <message id="menu.shortcutLabel">
        <source>%1  %2</source>
        <translation>%1  %2</translation>
    </message>
    <message id="menu.file">
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message id="menu.settings">
        <source>Settings…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message id="app.noDisplay">
        <source>Zephyrlatch needs an X11 display, and none could be reached (DISPLAY is unset or its server is not running). Start it from your desktop session, or try it on a virtual display: xvfb-run -a zephyrlatch</source>
        <translation>Zephyrlatch braucht eine X11-Anzeige, und es war keine erreichbar (DISPLAY ist nicht gesetzt oder sein Server läuft nicht). Starten Sie es aus Ihrer Desktop-Sitzung oder probieren Sie es auf einer virtuellen Anzeige: xvfb-run -a zephyrlatch</translation>
    </message>
    <message id="cli.usage">
        <source>Usage: zephyrlatch --run NAME-OR-UUID | zephyrlatch --list</source>
        <translation>Aufruf: zephyrlatch --run NAME-ODER-UUID | zephyrlatch --list</translation>
    </message>
    <message id="cli.noInstance">
        <source>Zephyrlatch is not running; start it first, then run this again.</source>
        <translation>Zephyrlatch läuft nicht; starten Sie es zuerst und rufen Sie dies dann erneut auf.</translation>
    </message>
    <message id="cli.noMatch">
        <source>No shortcut is named or has the id %1.</source>
        <translation>Kein Kurzbefehl heißt %1 oder hat diese ID.</translation>
    </message>
    <message id="cli.disabled">
        <source>The shortcut %1 is disabled.</source>
        <translation>Der Kurzbefehl %1 ist ausgeschaltet.</translation>
    </message>
</context>
</TS>
