<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pt_BR" sourcelanguage="en">
<context>
    <name>AppDelegate</name>
    <message>
        <location filename="../app/DesktopShortcutCommands.cpp" line="+36"/>
        <source>Global shortcuts are not available on this desktop: bind these commands to keys in its keyboard settings.</source>
        <extracomment>Above the two commands shown instead of the shortcut fields.</extracomment>
        <translation>Os atalhos globais não estão disponíveis neste ambiente desktop: associe estes comandos a teclas nas configurações de teclado do ambiente.</translation>
    </message>
    <message>
        <location filename="../app/LaunchSequence.cpp" line="+119"/>
        <source>Kestrelle for %1</source>
        <extracomment>The About window&apos;s heading; %1 is the operating system: Linux, FreeBSD.</extracomment>
        <translation>Kestrelle para %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Version %1</source>
        <extracomment>The About window&apos;s version line; %1 is the version number, such as 0.1.0.</extracomment>
        <translation>Versão %1</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>unknown</source>
        <comment>version</comment>
        <translation>desconhecida</translation>
    </message>
    <message>
        <location filename="../capture/CaptureDesktop.cpp" line="+55"/>
        <source>Save</source>
        <comment>folder chooser</comment>
        <extracomment>The accept button of the folder chooser that picks where a screenshot is saved.</extracomment>
        <translation>Salvar</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <location filename="../platform/application/CommandLine.cpp" line="+19"/>
        <source>Qt&apos;s display system: xcb (X11) or wayland.</source>
        <extracomment>--help: the option -platform NAME; xcb, X11 and wayland are names.</extracomment>
        <translation>Sistema de exibição do Qt: xcb (X11) ou wayland.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>The X display to run on.</source>
        <extracomment>--help: the option -display DISPLAY.</extracomment>
        <translation>O display X no qual executar.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The session being restored, given by the desktop.</source>
        <extracomment>--help: the option -session ID, which the desktop gives when it restores a session.</extracomment>
        <translation>A sessão a restaurar, informada pelo ambiente.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Usage: %1 [option]</source>
        <extracomment>--help: %1 is the program&apos;s name, kestrelle; [option] stands for one of the options listed.</extracomment>
        <translation>Uso: %1 [opção]</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Takes screenshots of the whole desktop from the system tray. With an option, the
Kestrelle that runs in this session does what its menu entry of that title does;
when none runs, Kestrelle starts and then does it.</source>
        <extracomment>--help: keep the lines shorter than 80 characters.</extracomment>
        <translation>Faz capturas da tela inteira a partir da bandeja do sistema. Com uma opção, o
Kestrelle em execução nesta sessão faz o que faz a entrada do menu com esse
título; se nenhum estiver em execução, o Kestrelle inicia e então o faz.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Options:</source>
        <extracomment>--help: the heading of the list of options.</extracomment>
        <translation>Opções:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Shows this text.</source>
        <extracomment>--help: what --help does.</extracomment>
        <translation>Mostra este texto.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Shows the version.</source>
        <extracomment>--help: what --version does.</extracomment>
        <translation>Mostra a versão.</translation>
    </message>
</context>
<context>
    <name>DirectoryChooser</name>
    <message>
        <location filename="../platform/ui/PortalDirectoryChooser.cpp" line="+53"/>
        <source>Save Screenshot</source>
        <extracomment>The title of the desktop&apos;s folder chooser window.</extracomment>
        <translation>Salvar captura de tela</translation>
    </message>
</context>
<context>
    <name>Interface</name>
    <message>
        <location filename="../resources/Interface.ui" line="+8"/>
        <source>About Kestrelle</source>
        <extracomment>Window title</extracomment>
        <translation>Sobre o Kestrelle</translation>
    </message>
    <message>
        <location line="+37"/>
        <source>Screenshots of the whole desktop, from the tray.</source>
        <extracomment>The About window&apos;s line under the program&apos;s name</extracomment>
        <translation>Capturas da tela inteira, a partir da bandeja do sistema.</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Preferences</source>
        <extracomment>Window title, without the full stops of the menu entry</extracomment>
        <translation>Preferências</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Play sound after screenshot</source>
        <extracomment>Check box</extracomment>
        <translation>Reproduzir som após a captura de tela</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open screenshot in the image viewer after saving</source>
        <extracomment>Check box</extracomment>
        <translation>Abrir a captura de tela no visualizador de imagens após salvar</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>File type:</source>
        <extracomment>Label of the list of image file types (PNG, JPG, ...)</extracomment>
        <translation>Tipo de arquivo:</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>Keyboard Shortcuts</source>
        <extracomment>Window title</extracomment>
        <translation>Atalhos de teclado</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Capture Desktop:</source>
        <extracomment>Label of the shortcut field for the menu entry Capture Desktop</extracomment>
        <translation>Capturar a tela:</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Capture Desktop to Clipboard:</source>
        <extracomment>Label of the shortcut field for the menu entry Capture Desktop to Clipboard</extracomment>
        <translation>Capturar a tela para a área de transferência:</translation>
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
Pasta não encontrada.
Verifique se foi indicado um nome correto para a pasta.</translation>
    </message>
</context>
<context>
    <name>ShortcutBinder</name>
    <message>
        <location filename="../platform/shortcuts/ShortcutBinder.cpp" line="+35"/>
        <source>%1 is already assigned to another action.</source>
        <extracomment>Hint under a shortcut field; %1 is a key combination such as Ctrl+Shift+3.</extracomment>
        <translation>%1 já está atribuído a outra ação.</translation>
    </message>
</context>
<context>
    <name>ShortcutBinderPortal</name>
    <message>
        <location filename="../platform/shortcuts/portal/ShortcutBinderPortal.cpp" line="+31"/>
        <source>Capture Desktop</source>
        <extracomment>A shortcut&apos;s description, which the desktop shows in its own shortcut settings.</extracomment>
        <translation>Capturar a tela</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Capture Desktop to Clipboard</source>
        <extracomment>A shortcut&apos;s description, which the desktop shows in its own shortcut settings.</extracomment>
        <translation>Capturar a tela para a área de transferência</translation>
    </message>
</context>
<context>
    <name>ShortcutBinderXcb</name>
    <message>
        <location filename="../platform/shortcuts/x11/ShortcutBinderXcb.cpp" line="+76"/>
        <source>%1 is in use by another program.</source>
        <extracomment>Hint under a shortcut field; %1 is a key combination such as Ctrl+Shift+3.</extracomment>
        <translation>%1 está em uso por outro programa.</translation>
    </message>
</context>
<context>
    <name>ShortcutRecorder</name>
    <message>
        <location filename="../platform/shortcuts/ShortcutRecorder.cpp" line="+26"/>
        <location line="+1"/>
        <source>Remove the shortcut</source>
        <extracomment>Tooltip of the small button beside a shortcut field that clears it.</extracomment>
        <translation>Remover o atalho</translation>
    </message>
    <message>
        <location line="+131"/>
        <source>Hold Ctrl, Alt or Super with the key, or use a function key.</source>
        <extracomment>Hint under a shortcut field; Ctrl, Alt and Super as the keys are labelled in this language.</extracomment>
        <translation>Segure Ctrl, Alt ou Super junto com a tecla ou use uma tecla de função.</translation>
    </message>
    <message>
        <location line="+70"/>
        <source>Type shortcut</source>
        <extracomment>A shortcut field while it waits for keys to be pressed.</extracomment>
        <translation>Pressione o atalho</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Record Shortcut</source>
        <extracomment>An empty shortcut field, a button: clicking it starts recording.</extracomment>
        <translation>Gravar atalho</translation>
    </message>
</context>
<context>
    <name>StatusMenu</name>
    <message>
        <location filename="../app/Commands.cpp" line="+13"/>
        <source>Capture Desktop</source>
        <extracomment>Tray menu entry: saves a screenshot of every monitor to a folder the user then picks.</extracomment>
        <translation>Capturar a tela</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Capture Desktop to Clipboard</source>
        <extracomment>Tray menu entry: puts a screenshot of every monitor on the clipboard.</extracomment>
        <translation>Capturar a tela para a área de transferência</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Set keyboard shortcuts...</source>
        <extracomment>Tray menu entry that opens the Keyboard Shortcuts window; keep the three full stops.</extracomment>
        <translation>Definir atalhos de teclado...</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Preferences...</source>
        <extracomment>Tray menu entry that opens the Preferences window: as the desktop says it, with three full stops.</extracomment>
        <translation>Preferências...</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>About Kestrelle</source>
        <extracomment>Tray menu entry that opens the About window; Kestrelle is the program&apos;s name.</extracomment>
        <translation>Sobre o Kestrelle</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Quit Kestrelle</source>
        <extracomment>Tray menu entry that ends the program.</extracomment>
        <translation>Sair do Kestrelle</translation>
    </message>
</context>
</TS>
