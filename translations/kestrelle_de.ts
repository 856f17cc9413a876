<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AppDelegate</name>
    <message>
        <location filename="../app/DesktopShortcutCommands.cpp" line="+36"/>
        <source>Global shortcuts are not available on this desktop: bind these commands to keys in its keyboard settings.</source>
        <extracomment>Above the two commands shown instead of the shortcut fields.</extracomment>
        <translation>Globale Tastenkürzel sind in dieser Arbeitsumgebung nicht verfügbar: Weisen Sie diese Befehle in deren Tastatureinstellungen Tasten zu.</translation>
    </message>
    <message>
        <location filename="../app/LaunchSequence.cpp" line="+119"/>
        <source>Kestrelle for %1</source>
        <extracomment>The About window&apos;s heading; %1 is the operating system: Linux, FreeBSD.</extracomment>
        <translation>Kestrelle für %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Version %1</source>
        <extracomment>The About window&apos;s version line; %1 is the version number, such as 0.1.0.</extracomment>
        <translation>Version %1</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>unknown</source>
        <comment>version</comment>
        <translation>unbekannt</translation>
    </message>
    <message>
        <location filename="../capture/CaptureDesktop.cpp" line="+55"/>
        <source>Save</source>
        <comment>folder chooser</comment>
        <extracomment>The accept button of the folder chooser that picks where a screenshot is saved.</extracomment>
        <translation>Speichern</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <location filename="../platform/application/CommandLine.cpp" line="+19"/>
        <source>Qt&apos;s display system: xcb (X11) or wayland.</source>
        <extracomment>--help: the option -platform NAME; xcb, X11 and wayland are names.</extracomment>
        <translation>Das Anzeigesystem von Qt: xcb (X11) oder wayland.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The X display to run on.</source>
        <extracomment>--help: the option -display DISPLAY.</extracomment>
        <translation>Die X-Anzeige, auf der das Programm läuft.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The session being restored, given by the desktop.</source>
        <extracomment>--help: the option -session ID, which the desktop gives when it restores a session.</extracomment>
        <translation>Wiederherzustellende Sitzung der Arbeitsumgebung.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Usage: %1 [option]</source>
        <extracomment>--help: %1 is the program&apos;s name, kestrelle; [option] stands for one of the options listed.</extracomment>
        <translation>Aufruf: %1 [Option]</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Takes screenshots of the whole desktop from the system tray. With an option, the
Kestrelle that runs in this session does what its menu entry of that title does;
when none runs, Kestrelle starts and then does it.</source>
        <extracomment>--help: keep the lines shorter than 80 characters.</extracomment>
        <translation>Nimmt Bildschirmfotos der gesamten Arbeitsfläche aus der Kontrollleiste auf.
Mit einer Option tut das in dieser Sitzung laufende Kestrelle, was sein
Menüeintrag dieses Titels tut; läuft keines, startet Kestrelle und tut es dann.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Options:</source>
        <extracomment>--help: the heading of the list of options.</extracomment>
        <translation>Optionen:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Shows this text.</source>
        <extracomment>--help: what --help does.</extracomment>
        <translation>Zeigt diesen Text an.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Shows the version.</source>
        <extracomment>--help: what --version does.</extracomment>
        <translation>Zeigt die Version an.</translation>
    </message>
</context>
<context>
    <name>DirectoryChooser</name>
    <message>
        <location filename="../platform/ui/PortalDirectoryChooser.cpp" line="+53"/>
        <source>Save Screenshot</source>
        <extracomment>The title of the desktop&apos;s folder chooser window.</extracomment>
        <translation>Bildschirmfoto speichern</translation>
    </message>
</context>
<context>
    <name>Interface</name>
    <message>
        <location filename="../resources/Interface.ui" line="+8"/>
        <source>About Kestrelle</source>
        <extracomment>Window title</extracomment>
        <translation>Über Kestrelle</translation>
    </message>
    <message>
        <location line="+37"/>
        <source>Screenshots of the whole desktop, from the tray.</source>
        <extracomment>The About window&apos;s line under the program&apos;s name</extracomment>
        <translation>Bildschirmfotos der gesamten Arbeitsfläche, aus der Kontrollleiste.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Preferences</source>
        <extracomment>Window title, without the full stops of the menu entry</extracomment>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Play sound after screenshot</source>
        <extracomment>Check box</extracomment>
        <translation>Nach dem Bildschirmfoto einen Ton abspielen</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open screenshot in the image viewer after saving</source>
        <extracomment>Check box</extracomment>
        <translation>Bildschirmfoto nach dem Speichern im Bildbetrachter öffnen</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>File type:</source>
        <extracomment>Label of the list of image file types (PNG, JPG, ...)</extracomment>
        <translation>Dateityp:</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>Keyboard Shortcuts</source>
        <extracomment>Window title</extracomment>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Capture Desktop:</source>
        <extracomment>Label of the shortcut field for the menu entry Capture Desktop</extracomment>
        <translation>Arbeitsfläche aufnehmen:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Capture Desktop to Clipboard:</source>
        <extracomment>Label of the shortcut field for the menu entry Capture Desktop to Clipboard</extracomment>
        <translation>Arbeitsfläche in die Zwischenablage aufnehmen:</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <location filename="../platform/ui/FileDialogDirectoryChooser.cpp" line="+24"/>
        <source>%1
Directory not found.
Please verify the correct directory name was given.</source>
        <extracomment>Qt&apos;s own text; %1 is the folder name that was typed.</extracomment>
        <translation>%1
Das Verzeichnis konnte nicht gefunden werden.
Stellen Sie sicher, dass der Verzeichnisname richtig ist.</translation>
    </message>
</context>
<context>
    <name>ShortcutBinder</name>
    <message>
        <location filename="../platform/shortcuts/ShortcutBinder.cpp" line="+35"/>
        <source>%1 is already assigned to another action.</source>
        <extracomment>Hint under a shortcut field; %1 is a key combination such as Ctrl+Shift+3.</extracomment>
        <translation>%1 ist bereits einer anderen Aktion zugewiesen.</translation>
    </message>
</context>
<context>
    <name>ShortcutBinderPortal</name>
    <message>
        <location filename="../platform/shortcuts/portal/ShortcutBinderPortal.cpp" line="+31"/>
        <source>Capture Desktop</source>
        <extracomment>A shortcut&apos;s description, which the desktop shows in its own shortcut settings.</extracomment>
        <translation>Arbeitsfläche aufnehmen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Capture Desktop to Clipboard</source>
        <extracomment>A shortcut&apos;s description, which the desktop shows in its own shortcut settings.</extracomment>
        <translation>Arbeitsfläche in die Zwischenablage aufnehmen</translation>
    </message>
</context>
<context>
    <name>ShortcutBinderXcb</name>
    <message>
        <location filename="../platform/shortcuts/x11/ShortcutBinderXcb.cpp" line="+76"/>
        <source>%1 is in use by another program.</source>
        <extracomment>Hint under a shortcut field; %1 is a key combination such as Ctrl+Shift+3.</extracomment>
        <translation>%1 wird bereits von einem anderen Programm verwendet.</translation>
    </message>
</context>
<context>
    <name>ShortcutRecorder</name>
    <message>
        <location filename="../platform/shortcuts/ShortcutRecorder.cpp" line="+26"/>
        <location line="+1"/>
        <source>Remove the shortcut</source>
        <extracomment>Tooltip of the small button beside a shortcut field that clears it.</extracomment>
        <translation>Tastenkürzel entfernen</translation>
    </message>
    <message>
        <location line="+131"/>
        <source>Hold Ctrl, Alt or Super with the key, or use a function key.</source>
        <extracomment>Hint under a shortcut field; Ctrl, Alt and Super as the keys are labelled in this language.</extracomment>
        <translation>Halten Sie Strg, Alt oder Super zusammen mit der Taste gedrückt oder verwenden Sie eine Funktionstaste.</translation>
    </message>
    <message>
        <location line="+70"/>
        <source>Type shortcut</source>
        <extracomment>A shortcut field while it waits for keys to be pressed.</extracomment>
        <translation>Tastenkürzel eingeben</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Record Shortcut</source>
        <extracomment>An empty shortcut field, a button: clicking it starts recording.</extracomment>
        <translation>Tastenkürzel aufzeichnen</translation>
    </message>
</context>
<context>
    <name>StatusMenu</name>
    <message>
        <location filename="../app/Commands.cpp" line="+13"/>
        <source>Capture Desktop</source>
        <extracomment>Tray menu entry: saves a screenshot of every monitor to a folder the user then picks.</extracomment>
        <translation>Arbeitsfläche aufnehmen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Capture Desktop to Clipboard</source>
        <extracomment>Tray menu entry: puts a screenshot of every monitor on the clipboard.</extracomment>
        <translation>Arbeitsfläche in die Zwischenablage aufnehmen</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Set keyboard shortcuts...</source>
        <extracomment>Tray menu entry that opens the Keyboard Shortcuts window; keep the three full stops.</extracomment>
        <translation>Tastenkürzel festlegen...</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Preferences...</source>
        <extracomment>Tray menu entry that opens the Preferences window: as the desktop says it, with three full stops.</extracomment>
        <translation>Einstellungen...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>About Kestrelle</source>
        <extracomment>Tray menu entry that opens the About window; Kestrelle is the program&apos;s name.</extracomment>
        <translation>Über Kestrelle</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quit Kestrelle</source>
        <extracomment>Tray menu entry that ends the program.</extracomment>
        <translation>Kestrelle beenden</translation>
    </message>
</context>
</TS>
