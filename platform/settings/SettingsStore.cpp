#include "SettingsStore.h"

#include "system/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

// A QSettings object per operation: Qt shares one parsed copy per file and re-reads it when the file
// changed, and each object reports the status of its own operation only.
QSettings open(const QString& path)
{
    return QSettings(path, QSettings::IniFormat);
}

// Qt's reader skips a line that is neither a group, a comment nor a key with a value, without a word,
// and the next write drops it for good: to the user that file is as damaged as one Qt refuses.
bool holdsSkippedLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#') || line.startsWith('['))
            continue;
        if (!line.contains('='))
            return true;
    }
    return false;
}

} // namespace

SettingsStore::SettingsStore(QString filePath, Log& log, GlobalDomain globalDomain, QObject* parent)
    : QObject(parent), m_filePath(std::move(filePath)), m_log(log), m_globalDomain(std::move(globalDomain))
{
    // A full disk or a read-only file is often set right while the program runs, with no change after.
    constexpr int retryMs = 2000;
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (writeUnsaved())
            m_retry.stop();
    });
    checkReadable();
}

SettingsStore::~SettingsStore()
{
    // Quitting must not lose a change that can be written by now.
    writeUnsaved();
}

QString SettingsStore::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kestrelle/Kestrelle.conf");
}

void SettingsStore::checkReadable()
{
    const QFileInfo info(m_filePath);
    if (!info.exists())
        return;
    if (info.isDir()) {
        m_log.log(QStringLiteral("Settings: %1 is a directory, not a settings file; settings will not be "
                                 "kept")
                      .arg(m_filePath));
        // That says it for every write as well.
        m_writeFailureReported = true;
        return;
    }
    const QSettings settings(m_filePath, QSettings::IniFormat);
    if (settings.status() == QSettings::AccessError) {
        m_log.log(
            QStringLiteral("Settings: cannot read %1; going on without the stored settings").arg(m_filePath));
    } else if (settings.status() == QSettings::FormatError || holdsSkippedLines(m_filePath)) {
        // The next write rewrites the file from what could be parsed; keep the original for the user.
        const QString copy = m_filePath + QStringLiteral(".damaged");
        QFile::remove(copy);
        const bool kept = QFile::copy(m_filePath, copy);
        m_log.log(
            QStringLiteral("Settings: %1 is damaged; reading what can be read%2")
                .arg(m_filePath, kept ? QStringLiteral(", the original is kept as ") + copy : QString()));
    }
}

std::optional<QVariant> SettingsStore::storedValue(const QString& key) const
{
    if (const auto unsaved = m_unsaved.constFind(key); unsaved != m_unsaved.cend())
        return *unsaved;
    const QSettings settings = open(m_filePath);
    if (!settings.contains(key))
        return std::nullopt;
    return settings.value(key);
}

void SettingsStore::logWrongType(const QString& key, const char* expected, const char* reading) const
{
    // Once per stored value: views that redraw from the store would otherwise repeat it.
    if (m_reportedWrongType.contains(key))
        return;
    m_reportedWrongType.insert(key);
    m_log.log(QStringLiteral("Settings: the value of %1 is not %2; reading it as %3")
                  .arg(key, QLatin1String(expected), QLatin1String(reading)));
}

bool SettingsStore::boolForKey(const QString& key, WrongType wrongType) const
{
    const auto value = storedValue(key);
    if (!value)
        return false;
    if (value->typeId() == QMetaType::Bool)
        return value->toBool();
    if (value->typeId() == QMetaType::QString) {
        const QString text = value->toString().trimmed().toLower();
        if (text == u"true" || text == u"yes")
            return true;
        if (text == u"false" || text == u"no")
            return false;
        bool isNumber = false;
        const qint64 number = text.toLongLong(&isNumber);
        if (isNumber)
            return number != 0;
    }
    if (wrongType == WrongType::Logged)
        logWrongType(key, "a Boolean", "false");
    return false;
}

qint64 SettingsStore::integerForKey(const QString& key, WrongType wrongType) const
{
    const auto value = storedValue(key);
    if (!value)
        return 0;
    bool isNumber = false;
    qint64 number = 0;
    if (value->typeId() == QMetaType::QString)
        number = value->toString().trimmed().toLongLong(&isNumber);
    else if (value->typeId() == QMetaType::LongLong || value->typeId() == QMetaType::Int)
        number = value->toLongLong(&isNumber);
    if (isNumber)
        return number;
    if (wrongType == WrongType::Logged)
        logWrongType(key, "an integer", "0");
    return 0;
}

std::optional<QString> SettingsStore::stringForKey(const QString& key) const
{
    const auto value = storedValue(key);
    if (value && value->typeId() == QMetaType::QString)
        return value->toString();
    if (value)
        logWrongType(key, "a string", "no string");
    if (m_globalDomain)
        return m_globalDomain(key);
    return std::nullopt;
}

std::optional<QVariant> SettingsStore::objectForKey(const QString& key) const
{
    return storedValue(key);
}

void SettingsStore::setBool(bool value, const QString& key)
{
    setObject(value, key);
}

void SettingsStore::setInteger(qint64 value, const QString& key)
{
    setObject(value, key);
}

void SettingsStore::setObject(const QVariant& value, const QString& key)
{
    setObjects({{key, value}});
}

bool SettingsStore::writeUnsaved()
{
    if (m_unsaved.isEmpty())
        return true;
    QSettings settings = open(m_filePath);
    for (auto it = m_unsaved.cbegin(); it != m_unsaved.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    // A format error is the read's, from a damaged file; only an access error says the write failed.
    if (settings.status() == QSettings::AccessError)
        return false;
    m_unsaved.clear();
    m_writeFailureReported = false;
    return true;
}

void SettingsStore::setObjects(const QVariantMap& values)
{
    if (values.isEmpty())
        return;
    // Changes that could not be written are written again with this one.
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        m_unsaved.insert(it.key(), it.value());
        m_reportedWrongType.remove(it.key());
    }
    if (writeUnsaved()) {
        m_retry.stop();
    } else {
        m_retry.start();
        if (!m_writeFailureReported) {
            // Once until a write succeeds again: a full disk or a read-only file fails every change alike.
            m_writeFailureReported = true;
            m_log.log(QStringLiteral("Settings: could not write %1 to %2; changes hold until Kestrelle quits "
                                     "or the file can be written again")
                          .arg(values.firstKey(), m_filePath));
        }
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        emit valueChanged(it.key());
}
