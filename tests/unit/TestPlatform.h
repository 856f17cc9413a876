#pragma once

// The platform the unit tests hand the program: a real settings store in a temporary folder, and in place
// of every other service the fixture itself, which records what the program asks of it.

#include "Platform.h"
#include "RecordingLog.h"
#include "application/Application.h"
#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "system/Clock.h"
#include "system/TaskLauncher.h"
#include "ui/DirectoryChooser.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

struct TestPlatform final : TaskLauncher, DirectoryChooser, Clock, Application, ShortcutBinder {
    explicit TestPlatform(SettingsStore::GlobalDomain globalDomain = {})
        : settingsPath(dir.filePath(QStringLiteral("Kestrelle/Kestrelle.conf"))),
          defaults(settingsPath, log, std::move(globalDomain))
    {}
    Platform platform() { return {defaults, *this, *this, *this, log, *this, *this}; }

    // The launcher's own choice of the tool is tst_platform's.
    void launch(const QString&, const QStringList& arguments) override
    {
        journal << QStringLiteral("launch");
        launches.push_back(arguments);
    }
    void begin(const QString&, Completion completion) override
    {
        journal << QStringLiteral("chooser");
        choosers.push_back(std::move(completion));
    }
    QDateTime now() const override { return instant; }
    void activate() override { journal << QStringLiteral("activate"); }
    void terminate() override { journal << QStringLiteral("terminate"); }
    QVariantMap infoDictionary() const override { return info; }
    OperatingSystemVersion operatingSystemVersion() const override { return version; }
    QString operatingSystemName() const override { return systemName; }
    void bindShortcutWithDefaultsKey(const QString& key, std::function<void()>) override
    {
        journal << QStringLiteral("bind ") + key;
    }
    std::optional<QString> refusalFor(QKeyCombination, const QString&) override { return std::nullopt; }
    bool firesShortcuts() const override { return fires; }

    QTemporaryDir dir;
    QString settingsPath;
    RecordingLog log;
    SettingsStore defaults;
    // The order of the steps taken through the services: "activate", "chooser", "launch", "bind KEY".
    QStringList journal;
    std::vector<QStringList> launches;
    std::vector<Completion> choosers;
    QDateTime instant = QDateTime::currentDateTimeUtc();
    QVariantMap info{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.2.3")}};
    OperatingSystemVersion version;
    QString systemName = QStringLiteral("Linux");
    // False stands for a desktop without global shortcuts.
    bool fires = true;
};
