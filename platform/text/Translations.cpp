#include "text/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>

#ifndef KESTRELLE_TRANSLATIONS_DIR_FROM_BIN
#error "KESTRELLE_TRANSLATIONS_DIR_FROM_BIN is where the program finds its catalogues, from its own folder"
#endif

namespace {

// Qt's own catalogue, but for the texts of a process or a device that failed: those go into log lines
// ("Could not start ...: Unknown error"), which stay English.
class QtTranslator final : public QTranslator {
public:
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override
    {
        const QByteArrayView from(context);
        if (from == "QProcess" || from == "QIODevice")
            return {};
        return QTranslator::translate(context, sourceText, disambiguation, n);
    }
};

} // namespace

Translations::Translations(const QString& folder)
{
    const QStringList languages = languagesOf(QProcessEnvironment::systemEnvironment());
    for (const QString& language : languages) {
        auto own = std::make_unique<QTranslator>();
        if (!own->load(QStringLiteral("kestrelle_") + language, folder, QString()))
            continue;
        // Qt looks in the catalogue installed last first: Kestrelle's own wording wins over Qt's.
        auto qt = std::make_unique<QtTranslator>();
        if (qt->load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                     QString()) &&
            QCoreApplication::installTranslator(qt.get()))
            m_installed.push_back(std::move(qt));
        if (QCoreApplication::installTranslator(own.get()))
            m_installed.push_back(std::move(own));
        return;
    }
}

Translations::~Translations()
{
    for (const auto& translator : m_installed)
        QCoreApplication::removeTranslator(translator.get());
}

QString Translations::installedFolder()
{
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                               .filePath(QStringLiteral(KESTRELLE_TRANSLATIONS_DIR_FROM_BIN)));
}

QStringList Translations::languagesOf(const QProcessEnvironment& environment)
{
    QString messages;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = environment.value(QLatin1String(variable));
        if (!messages.isEmpty())
            break;
    }
    // C.UTF-8 as C, as the capture tool and the glibc of Debian 13 read it.
    if (messages.isEmpty() || messages == u"C" || messages.startsWith(u"C.") || messages == u"POSIX")
        return {};
    QStringList wanted = environment.value(QStringLiteral("LANGUAGE")).split(u':', Qt::SkipEmptyParts);
    if (wanted.isEmpty())
        wanted << messages;
    QStringList languages;
    for (const QString& each : wanted) {
        // ll_CC.codeset@modifier: only the language and the country name a catalogue.
        const QString language = each.section(u'.', 0, 0).section(u'@', 0, 0);
        const QString alone = language.section(u'_', 0, 0);
        for (const QString& name : {language, alone}) {
            if (!name.isEmpty() && !languages.contains(name))
                languages << name;
        }
    }
    return languages;
}
