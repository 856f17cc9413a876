#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>

class Log;

// The per-user settings store: a typed key-value map kept in an INI file. Every read asks the file
// (through Qt's shared cache, which notices changes on disk) and every write reaches the file before
// it returns, so a killed process loses nothing.
//
// A key that holds nothing reads as false, 0, no string or no object. A value that cannot be read as
// the type asked for reads the same way, with one log line (once until the key is written again). A file that
// cannot be parsed or written never stops the program: the store says so in the log and goes on with what it
// could read. A write that fails is said once, until a write succeeds again; the changes it held are
// written with the next change, by a retry every few seconds, and when the store goes at quit.
class SettingsStore : public QObject {
    Q_OBJECT

public:
    // Answers for keys the user's own file does not hold, as the desktop's global settings do.
    using GlobalDomain = std::function<std::optional<QString>(const QString& key)>;

    SettingsStore(QString filePath, Log& log, GlobalDomain globalDomain = {}, QObject* parent = nullptr);
    ~SettingsStore() override;

    // $XDG_CONFIG_HOME/Kestrelle/Kestrelle.conf on Linux.
    static QString standardFilePath();
    QString filePath() const { return m_filePath; }

    // How a value of the wrong type is told: in the log (once per stored value), or not at all where a
    // read only shows the setting, as the launch sequence's do.
    enum class WrongType { Logged, Silent };

    bool boolForKey(const QString& key, WrongType wrongType = WrongType::Logged) const;
    qint64 integerForKey(const QString& key, WrongType wrongType = WrongType::Logged) const;
    std::optional<QString> stringForKey(const QString& key) const;
    std::optional<QVariant> objectForKey(const QString& key) const;

    void setBool(bool value, const QString& key);
    void setInteger(qint64 value, const QString& key);
    // A string or an integer.
    void setObject(const QVariant& value, const QString& key);
    // Several values in one write: a pair that belongs together is never stored half, even when the
    // program is killed between the two.
    void setObjects(const QVariantMap& values);

signals:
    // After every write, so that views tied to a key (the shortcut recorders and binders) can follow it.
    void valueChanged(const QString& key);

private:
    std::optional<QVariant> storedValue(const QString& key) const;
    void logWrongType(const QString& key, const char* expected, const char* reading) const;
    void checkReadable();
    // Writes every held change; whether the file took them.
    bool writeUnsaved();

    QString m_filePath;
    Log& m_log;
    GlobalDomain m_globalDomain;
    // Written while the file could not be; read from here until a write succeeds.
    QVariantMap m_unsaved;
    QTimer m_retry;
    bool m_writeFailureReported = false;
    mutable QSet<QString> m_reportedWrongType;
};
