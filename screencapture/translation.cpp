#include "translation.h"

#include <climits>
#include <clocale>
#include <cstdlib>
#include <libintl.h>
#include <locale.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KESTRELLE_TEXT_DOMAIN
#error "KESTRELLE_TEXT_DOMAIN names the tool's catalogues"
#endif
#ifndef KESTRELLE_LOCALE_DIR_FROM_TOOL
#error "KESTRELLE_LOCALE_DIR_FROM_TOOL is where an installed tool finds its catalogues, from its own folder"
#endif

namespace {

bool isFolder(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The catalogues' folder: "locale" beside the tool in a build tree, else the one of the prefix the tool
// is installed in, found from the tool's own folder so that an install moved elsewhere finds its own.
std::string localeFolder()
{
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0)
        return {};
    std::string folder(exe, std::size_t(length));
    folder.erase(folder.rfind('/') + 1);
    if (isFolder(folder + "locale"))
        return folder + "locale";
    return folder + KESTRELLE_LOCALE_DIR_FROM_TOOL;
}

// The C locale, C.UTF-8 among them, means untranslated whatever LANGUAGE says, as the program and the
// glibc of Debian 13 read it; the glibc of Debian 12 still read LANGUAGE under C.UTF-8.
bool untranslated()
{
    const char* messages = nullptr;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        messages = std::getenv(variable);
        if (messages && *messages)
            break;
    }
    const std::string_view name = messages ? messages : "";
    return name.empty() || name == "C" || name.starts_with("C.") || name == "POSIX";
}

// Looks texts up in the user's locale, which only these lookups use: the tool itself stays in the "C"
// locale, so that the system's and the libraries' messages in its log lines stay English.
class Catalogue {
public:
    Catalogue()
        : m_locale(untranslated() ? locale_t(nullptr) : newlocale(LC_MESSAGES_MASK, "", locale_t(nullptr)))
    {
        if (!m_locale)
            return;
        const std::string folder = localeFolder();
        if (folder.empty() || !bindtextdomain(KESTRELLE_TEXT_DOMAIN, folder.c_str()))
            return;
        // D-Bus carries UTF-8, whatever the terminal's character set.
        bind_textdomain_codeset(KESTRELLE_TEXT_DOMAIN, "UTF-8");
        m_bound = true;
    }
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    ~Catalogue()
    {
        if (m_locale)
            freelocale(m_locale);
    }

    const char* lookUp(const char* english) const
    {
        if (!m_bound)
            return english;
        const locale_t previous = uselocale(m_locale);
        const char* text = dgettext(KESTRELLE_TEXT_DOMAIN, english);
        uselocale(previous);
        return text;
    }

private:
    locale_t m_locale;
    bool m_bound = false;
};

} // namespace

const char* translated(const char* english)
{
    static const Catalogue catalogue;
    return catalogue.lookUp(english);
}
