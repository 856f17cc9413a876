#include "StderrLog.h"

#include <QCoreApplication>
#include <QDateTime>

#include <unistd.h>

StderrLog::StderrLog(const QString& processName)
    : m_prefix(QStringLiteral("%1[%2]").arg(processName).arg(QCoreApplication::applicationPid()).toUtf8())
{}

QByteArray StderrLog::lineBody(const QByteArray& prefix, const QString& message)
{
    QByteArray line = prefix + ' ';
    for (const char c : message.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f)
            line += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            line += c;
    }
    return line + '\n';
}

void StderrLog::log(const QString& message)
{
    const QByteArray stamp = QDateTime::currentDateTime().toString(u"yyyy-MM-dd HH:mm:ss.zzz").toUtf8();
    const QByteArray line = stamp + ' ' + lineBody(m_prefix, message);
    // One write per line, so that lines of concurrent writers never interleave.
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t n = ::write(STDERR_FILENO, line.constData() + done, size_t(line.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}
