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
    <message id="modifier.control">
        <source>Ctrl</source>
        <translation>Strg</translation>
    </message>
    <message id="modifier.alt">
        <source>Alt</source>
        <translation>Alt</translation>
    </message>
    <message id="modifier.shift">
        <source>Shift</source>
        <translation>Umschalt</translation>
    </message>
    <message id="modifier.super">
        <source>Super</source>
        <translation>Super</translation>
    </message>
    <message id="key.return">
        <source>Return</source>
        <translation>Eingabe</translation>
    </message>
    <message id="key.space">
        <source>Space</source>
        <translation>Leertaste</translation>
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
        <translation>Rücktaste</translation>
    </message>
    <message id="key.delete">
        <source>Delete</source>
        <translation>Entf</translation>
    </message>
    <message id="key.insert">
        <source>Insert</source>
        <translation>Einfg</translation>
    </message>
    <message id="key.home">
        <source>Home</source>
        <translation>Pos1</translation>
    </message>
    <message id="key.end">
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message id="key.pageUp">
        <source>Page Up</source>
        <translation>Bild auf</translation>
    </message>
    <message id="key.pageDown">
        <source>Page Down</source>
        <translation>Bild ab</translation>
    </message>
    <message id="key.left">
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message id="key.right">
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message id="key.up">
        <source>Up</source>
        <translation>Hoch</translation>
    </message>
    <message id="key.down">
        <source>Down</source>
        <translation>Runter</translation>
    </message>
    <message id="key.menu">
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message id="key.numLock">
        <source>Num Lock</source>
        <translation>Num</translation>
    </message>
    <message id="key.keypad">
        <source>Keypad %1</source>
        <translation>Ziffernblock %1</translation>
    </message>
    <message id="hotkey.problem.takenElsewhere">
        <source>%1 is taken by another program.</source>
        <translation>%1 ist von einem anderen Programm belegt.</translation>
    </message>
    <message id="hotkey.problem.heldHere">
        <source>%1 is already used by another shortcut in this list.</source>
        <translation>%1 wird schon von einem anderen Tastenkürzel dieser Liste verwendet.</translation>
    </message>
    <message id="hotkey.problem.unknownKey">
        <source>%1: this keyboard has no such key.</source>
        <translation>%1: Diese Tastatur hat keine solche Taste.</translation>
    </message>
    <message id="hotkey.problem.unavailable">
        <source>%1 cannot be registered: nothing here lets this program catch keys. Bind the trigger command below in your desktop's keyboard settings.</source>
        <translation>%1 kann nicht registriert werden: Hier kann dieses Programm keine Tasten abfangen. Binden Sie den Auslösebefehl unten in den Tastatureinstellungen Ihres Desktops.</translation>
    </message>
    <message id="hotkey.problem.other">
        <source>%1 could not be registered (status %2).</source>
        <translation>%1 konnte nicht registriert werden (Status %2).</translation>
    </message>
    <message id="hotkey.problem.later">
        <source>%1 is not bound as asked: %2</source>
        <translation>%1 ist nicht wie gewünscht gebunden: %2</translation>
    </message>
    <message id="shortcut.defaultName">
        <source>New Shortcut</source>
        <translation>Neues Tastenkürzel</translation>
    </message>
    <message id="ui.hotkeys">
        <source>Hotkeys</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message id="ui.search">
        <source>Search</source>
        <translation>Suchen</translation>
    </message>
    <message id="ui.moveUp">
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message id="ui.moveDown">
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message id="ui.settingsTitle">
        <source>Zephyrlatch Settings</source>
        <translation>Zephyrlatch-Einstellungen</translation>
    </message>
    <message id="ui.triggerCommandHelp">
        <source>Where Zephyrlatch cannot catch keys itself (GNOME and KDE on Wayland), bind this command in the desktop's keyboard settings:</source>
        <translation>Wo Zephyrlatch Tasten nicht selbst abfangen kann (GNOME und KDE unter Wayland), binden Sie diesen Befehl in den Tastatureinstellungen des Desktops:</translation>
    </message>
    <message id="ui.copy">
        <source>Copy</source>
        <translation>Kopieren</translation>
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
    <message id="ui.chooseApplication">
        <source>Choose an Application</source>
        <translation>Anwendung auswählen</translation>
    </message>
    <message id="ui.otherApplication">
        <source>Other…</source>
        <translation>Andere…</translation>
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
    <message id="ui.launchAtLoginFailed">
        <source>Starting at login could not be set up: the autostart entry could not be written. The setting is kept; the log says why.</source>
        <translation>Der Start bei der Anmeldung konnte nicht eingerichtet werden: Der Autostart-Eintrag ließ sich nicht schreiben. Die Einstellung bleibt erhalten; das Protokoll nennt den Grund.</translation>
    </message>
    <message id="ui.launchAtLoginNotRemoved">
        <source>Starting at login could not be turned off: the autostart entry could not be removed. The setting is kept; the log says why.</source>
        <translation>Der Start bei der Anmeldung konnte nicht abgeschaltet werden: Der Autostart-Eintrag ließ sich nicht entfernen. Die Einstellung bleibt erhalten; das Protokoll nennt den Grund.</translation>
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
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message id="menu.import">
        <source>&amp;Import…</source>
        <translation>&amp;Importieren…</translation>
    </message>
    <message id="menu.export">
        <source>&amp;Export…</source>
        <translation>&amp;Exportieren…</translation>
    </message>
    <message id="transfer.fileFilter">
        <source>Shortcut lists (*.json);;All files (*)</source>
        <translation>Tastenkürzel-Listen (*.json);;Alle Dateien (*)</translation>
    </message>
    <message id="transfer.imported">
        <source>Shortcuts imported: %1</source>
        <translation>Importierte Tastenkürzel: %1</translation>
    </message>
    <message id="transfer.skipped">
        <source>Entries skipped because they could not be read: %1 (see the details)</source>
        <translation>Übersprungene Einträge, die nicht gelesen werden konnten: %1 (siehe Details)</translation>
    </message>
    <message id="transfer.importFailed">
        <source>Nothing was imported from %1: %2</source>
        <translation>Aus %1 wurde nichts importiert: %2</translation>
    </message>
    <message id="transfer.exportFailed">
        <source>Could not export to %1: %2</source>
        <translation>Export nach %1 fehlgeschlagen: %2</translation>
    </message>
    <message id="menu.settings">
        <source>&amp;Settings…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message id="cli.usage">
        <source>Usage: zephyrlatch [--run NAME-OR-ID | --list | --import FILE | --export FILE]
  --run     runs a shortcut in the running Zephyrlatch, as its hotkey would (bind this command in your desktop's keyboard settings)
  --list    prints the shortcuts: id, name, hotkey, action, on or off
  --import  appends the shortcuts of a file written by --export or File &gt; Export…
  --export  writes every shortcut to a file</source>
        <translation>Aufruf: zephyrlatch [--run NAME-ODER-ID | --list | --import DATEI | --export DATEI]
  --run     führt ein Tastenkürzel im laufenden Zephyrlatch aus, wie seine Tastenkombination (diesen Befehl in den Tastatureinstellungen des Desktops binden)
  --list    gibt die Tastenkürzel aus: ID, Name, Tastenkombination, Aktion, an oder aus
  --import  hängt die Tastenkürzel einer Datei an, die --export oder Datei &gt; Exportieren… geschrieben hat
  --export  schreibt alle Tastenkürzel in eine Datei</translation>
    </message>
    <message id="cli.notRunning">
        <source>Zephyrlatch is not running. Start it (zephyrlatch), then run this command again.</source>
        <translation>Zephyrlatch läuft nicht. Starten Sie es (zephyrlatch) und rufen Sie diesen Befehl dann erneut auf.</translation>
    </message>
    <message id="cli.noMatch">
        <source>No shortcut has the name or id “%1” (zephyrlatch --list shows them).</source>
        <translation>Kein Tastenkürzel hat den Namen oder die ID „%1“ (zephyrlatch --list zeigt sie).</translation>
    </message>
    <message id="cli.ambiguous">
        <source>Several shortcuts are named “%1”; give the id instead (zephyrlatch --list shows it).</source>
        <translation>Mehrere Tastenkürzel heißen „%1“; geben Sie stattdessen die ID an (zephyrlatch --list zeigt sie).</translation>
    </message>
    <message id="cli.disabled">
        <source>The shortcut “%1” is turned off.</source>
        <translation>Das Tastenkürzel „%1“ ist ausgeschaltet.</translation>
    </message>
    <message id="cli.exported">
        <source>Shortcuts exported: %1</source>
        <translation>Exportierte Tastenkürzel: %1</translation>
    </message>
    <message id="cli.noAnswer">
        <source>The running Zephyrlatch gave no usable answer.</source>
        <translation>Das laufende Zephyrlatch gab keine verwertbare Antwort.</translation>
    </message>
    <message id="cli.on">
        <source>on</source>
        <translation>an</translation>
    </message>
    <message id="cli.off">
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message id="settings.hotkeys">
        <source>Hotkeys:</source>
        <translation>Tastenkürzel:</translation>
    </message>
    <message id="settings.hotkeys.x11">
        <source>caught through X11 key grabs.</source>
        <translation>werden über X11-Tastengriffe abgefangen.</translation>
    </message>
    <message id="settings.hotkeys.sway">
        <source>bound in sway through its IPC.</source>
        <translation>werden über die IPC-Schnittstelle in sway gebunden.</translation>
    </message>
    <message id="settings.hotkeys.portal">
        <source>bound through the desktop's global shortcuts portal; the desktop may ask you to confirm them, and its keyboard settings can change them.</source>
        <translation>werden über das Portal für globale Tastenkürzel des Desktops gebunden; der Desktop fragt eventuell nach einer Bestätigung, und seine Tastatureinstellungen können sie ändern.</translation>
    </message>
    <message id="settings.hotkeys.none">
        <source>this desktop lets no program catch keys. Bind each shortcut's trigger command (shown in the editor, zephyrlatch --run …) in the desktop's keyboard settings: GNOME Settings &gt; Keyboard &gt; Custom Shortcuts, KDE System Settings &gt; Shortcuts.</source>
        <translation>dieser Desktop lässt kein Programm Tasten abfangen. Binden Sie den Auslösebefehl jedes Tastenkürzels (im Editor, zephyrlatch --run …) in den Tastatureinstellungen des Desktops: GNOME-Einstellungen &gt; Tastatur &gt; Eigene Tastenkürzel, KDE-Systemeinstellungen &gt; Kurzbefehle.</translation>
    </message>
    <message id="settings.paste">
        <source>Pasting:</source>
        <translation>Einfügen:</translation>
    </message>
    <message id="settings.paste.xtest">
        <source>synthetic keys through the X server's XTEST extension.</source>
        <translation>synthetische Tasten über die XTEST-Erweiterung des X-Servers.</translation>
    </message>
    <message id="settings.paste.virtualKeyboard">
        <source>a virtual keyboard of the compositor, into every window.</source>
        <translation>eine virtuelle Tastatur des Compositors, in jedes Fenster.</translation>
    </message>
    <message id="settings.paste.x11Only">
        <source>into X11 (XWayland) windows only: this desktop offers no virtual keyboard to programs.</source>
        <translation>nur in X11-Fenster (XWayland): Dieser Desktop bietet Programmen keine virtuelle Tastatur.</translation>
    </message>
    <message id="settings.paste.remoteDesktop">
        <source>the desktop's remote desktop portal, into every window (you allowed it once).</source>
        <translation>das Fernsteuerungsportal des Desktops, in jedes Fenster (einmal von Ihnen erlaubt).</translation>
    </message>
    <message id="settings.paste.remoteDesktopPending">
        <source>into X11 (XWayland) windows only, until you allow Zephyrlatch to control the keyboard in the desktop's remote desktop dialog.</source>
        <translation>nur in X11-Fenster (XWayland), bis Sie Zephyrlatch im Fernsteuerungsdialog des Desktops die Steuerung der Tastatur erlauben.</translation>
    </message>
    <message id="app.noDisplay">
        <source>Zephyrlatch needs a display, and none could be reached (neither DISPLAY nor WAYLAND_DISPLAY names a running server). Start it from your desktop session, or try it on a virtual display: xvfb-run -a zephyrlatch</source>
        <translation>Zephyrlatch braucht eine Anzeige, und keine war erreichbar (weder DISPLAY noch WAYLAND_DISPLAY nennt einen laufenden Server). Starten Sie es aus Ihrer Desktop-Sitzung oder probieren Sie es auf einer virtuellen Anzeige: xvfb-run -a zephyrlatch</translation>
    </message>
</context>
</TS>
