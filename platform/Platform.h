#pragma once

class Application;
class Clock;
class DirectoryChooser;
class Log;
class SettingsStore;
class ShortcutBinder;
class TaskLauncher;

// The services the program's own logic uses, handed to it when it is made.
struct Platform {
    SettingsStore& standardUserDefaults;
    TaskLauncher& launcher;
    DirectoryChooser& directoryChooser;
    Clock& clock;
    Log& log;
    Application& application;
    ShortcutBinder& sharedBinder;
};
