#pragma once

#include <QProcessEnvironment>
#include <QStringList>
#include <QTranslator>

#include <memory>
#include <vector>

// The program's texts, and Qt's own (the file dialog's), in the user's language while it lives: the
// first of the user's languages that Kestrelle has a catalogue for. The capture tool reads the same
// variables through gettext, so both choose alike. Made after the application object, before any window.
class Translations {
public:
    // The program's catalogues, kestrelle_LANGUAGE.qm, are in `folder`; Qt's where Qt says.
    explicit Translations(const QString& folder = installedFolder());
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;
    ~Translations();

    // The folder of the catalogues beside the program: share/kestrelle/translations in its prefix, or
    // its build tree's.
    static QString installedFolder();

    // The catalogue names to try, best first, as GNU gettext reads the environment: LANGUAGE's
    // colon-separated list where it has one, else the messages locale, the first set of LC_ALL,
    // LC_MESSAGES and LANG; nothing where that locale is C, C.UTF-8 or POSIX (or none), which means
    // untranslated whatever LANGUAGE says. Each language as "ll_CC", then "ll", without a codeset or
    // modifier: de_DE.UTF-8@euro gives de_DE, de.
    static QStringList languagesOf(const QProcessEnvironment& environment);

private:
    std::vector<std::unique_ptr<QTranslator>> m_installed;
};
