#include "QtApplication.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QOperatingSystemVersion>
#include <QRegularExpression>
#include <QSysInfo>
#include <QWidget>

void QtApplication::activate()
{
    // A tray program has no window of its own in front; raising what it shows is what activation means
    // on desktops without an application-level focus.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window->isVisible() && window->windowType() != Qt::Popup)
            window->raise();
    }
}

void QtApplication::terminate()
{
    QApplication::quit();
}

QtApplication::QtApplication(const QString& infoResource)
{
    QFile file(infoResource);
    if (file.open(QIODevice::ReadOnly))
        m_infoDictionary = QJsonDocument::fromJson(file.readAll()).object().toVariantMap();
}

QVariantMap QtApplication::infoDictionary() const
{
    return m_infoDictionary;
}

OperatingSystemVersion QtApplication::parseVersion(const QString& text)
{
    static const QRegularExpression numbers(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = numbers.match(text);
    return {match.captured(1).toLongLong(), match.captured(2).toLongLong(), match.captured(3).toLongLong()};
}

OperatingSystemVersion QtApplication::operatingSystemVersion() const
{
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    if (current.type() != QOperatingSystemVersion::Unknown)
        return {current.majorVersion(), qMax(current.minorVersion(), 0), qMax(current.microVersion(), 0)};
    // Linux and the BSDs: the kernel's release names the running system.
    return parseVersion(QSysInfo::kernelVersion());
}

QString QtApplication::operatingSystemName() const
{
    const QOperatingSystemVersion current = QOperatingSystemVersion::current();
    if (current.type() != QOperatingSystemVersion::Unknown)
        return current.name();
    const QString kernel = QSysInfo::kernelType();
    if (kernel == QLatin1String("linux"))
        return QStringLiteral("Linux");
    if (kernel == QLatin1String("freebsd"))
        return QStringLiteral("FreeBSD");
    if (kernel == QLatin1String("netbsd"))
        return QStringLiteral("NetBSD");
    if (kernel == QLatin1String("openbsd"))
        return QStringLiteral("OpenBSD");
    return kernel;
}
