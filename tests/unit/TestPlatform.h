#pragma once

// Doubles for the services whose effects the unit tests observe, and a fixture that owns a real
// settings store in a temporary folder.

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

struct Launch {
    QString launchPath;
    QStringList arguments;
};

// Records the order of observable steps across the doubles ("activate", "chooser", "launch").
struct Journal {
    QStringList steps;
};

class RecordingLauncher final : public TaskLauncher {
public:
    explicit RecordingLauncher(Journal& journal) : m_journal(journal) {}
    void launch(const QString& launchPath, const QStringList& arguments) override
    {
        m_journal.steps << QStringLiteral("launch");
        launches.push_back({launchPath, arguments});
    }
    std::vector<Launch> launches;

private:
    Journal& m_journal;
};

// Keeps every open chooser so a test can confirm or cancel it later, in any order.
class PendingChooser final : public DirectoryChooser {
public:
    explicit PendingChooser(Journal& journal) : m_journal(journal) {}
    void begin(const QString&, Completion completion) override
    {
        m_journal.steps << QStringLiteral("chooser");
        open.push_back(std::move(completion));
    }
    // Answers the chooser opened index-th (0 the first) and forgets it.
    void answer(std::size_t index, qint64 response, const QString& directory = {})
    {
        Completion completion = std::move(open.at(index));
        open.erase(open.begin() + std::ptrdiff_t(index));
        completion(response, directory);
    }
    std::vector<Completion> open;

private:
    Journal& m_journal;
};

class FixedClock final : public Clock {
public:
    QDateTime now() const override { return instant; }
    QDateTime instant = QDateTime::currentDateTimeUtc();
};

class FakeApplication final : public Application {
public:
    explicit FakeApplication(Journal& journal) : m_journal(journal) {}
    void activate() override { m_journal.steps << QStringLiteral("activate"); }
    void terminate() override { m_journal.steps << QStringLiteral("terminate"); }
    QVariantMap infoDictionary() const override { return info; }
    OperatingSystemVersion operatingSystemVersion() const override { return version; }
    QString operatingSystemName() const override { return name; }
    QVariantMap info{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("1.2.3")}};
    OperatingSystemVersion version{10, 12, 0};
    QString name = QStringLiteral("Linux");

private:
    Journal& m_journal;
};

// Keeps the bound actions so a test can "press" a shortcut.
class RecordingBinder final : public ShortcutBinder {
public:
    explicit RecordingBinder(Journal& journal) : m_journal(journal) {}
    void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) override
    {
        m_journal.steps << QStringLiteral("bind ") + key;
        bindings.emplace_back(key, std::move(action));
    }
    std::optional<QString> refusalFor(QKeyCombination, const QString&) override { return std::nullopt; }
    bool firesShortcuts() const override { return fires; }
    void press(const QString& key)
    {
        for (const auto& [boundKey, action] : bindings) {
            if (boundKey == key)
                action();
        }
    }
    std::vector<std::pair<QString, std::function<void()>>> bindings;
    // False stands for a desktop without global shortcuts.
    bool fires = true;

private:
    Journal& m_journal;
};

struct TestPlatform {
    explicit TestPlatform(SettingsStore::GlobalDomain globalDomain = {})
        : settingsPath(dir.filePath(QStringLiteral("Kestrelle/Kestrelle.conf"))),
          defaults(settingsPath, log, std::move(globalDomain))
    {}
    Platform platform() { return {defaults, launcher, chooser, clock, log, application, binder}; }

    QTemporaryDir dir;
    QString settingsPath;
    Journal journal;
    RecordingLog log;
    SettingsStore defaults;
    RecordingLauncher launcher{journal};
    PendingChooser chooser{journal};
    FixedClock clock;
    FakeApplication application{journal};
    RecordingBinder binder{journal};
};
