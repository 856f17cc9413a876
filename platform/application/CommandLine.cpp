#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");

// Qt reads these itself when the application is made; they are accepted here so that they are not
// refused as unknown. An X11 desktop that restores sessions starts the program again with -session.
const QList<QCommandLineOption> qtOptions()
{
    return {
        //: --help: the option -platform NAME; xcb, X11 and wayland are names.
        {QStringLiteral("platform"),
         QCoreApplication::translate("CommandLine", "Qt's display system: xcb (X11) or wayland."),
         QStringLiteral("NAME")},
        //: --help: the option -display DISPLAY.
        {QStringLiteral("display"), QCoreApplication::translate("CommandLine", "The X display to run on."),
         QStringLiteral("DISPLAY")},
        //: --help: the option -session ID, which the desktop gives when it restores a session.
        {QStringLiteral("session"),
         QCoreApplication::translate("CommandLine", "The session being restored, given by the desktop."),
         QStringLiteral("ID")},
    };
}

QString helpText(const QString& program, const NamedActions& actions)
{
    QStringList lines{
        //: --help: %1 is the program's name, kestrelle; [option] stands for one of the options listed.
        QCoreApplication::translate("CommandLine", "Usage: %1 [option]").arg(program),
        //: --help: keep the lines shorter than 80 characters.
        QCoreApplication::translate(
            "CommandLine",
            "Takes screenshots of the whole desktop from the system tray. With an option, the\n"
            "Kestrelle that runs in this session does what its menu entry of that title does;\n"
            "when none runs, Kestrelle starts and then does it."),
        QString(),
        //: --help: the heading of the list of options.
        QCoreApplication::translate("CommandLine", "Options:"),
    };
    const auto line = [](const QString& option, const QString& text) {
        return QStringLiteral("  %1  %2").arg(option, -26).arg(text);
    };
    for (const NamedAction& action : actions)
        lines << line(QStringLiteral("--") + action.name, action.title);
    //: --help: what --help does.
    lines << line(QStringLiteral("--help"), QCoreApplication::translate("CommandLine", "Shows this text."))
          //: --help: what --version does.
          << line(QStringLiteral("--version"),
                  QCoreApplication::translate("CommandLine", "Shows the version."));
    for (const QCommandLineOption& option : qtOptions())
        lines << line(QStringLiteral("-%1 %2").arg(option.names().constFirst(), option.valueName()),
                      option.description());
    return lines.join(u'\n') + u'\n';
}

CommandLine refuse(const QString& reason)
{
    return {CommandLine::Request::Refuse, std::nullopt,
            reason + QStringLiteral("; --help lists the options")};
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments, const NamedActions& actions,
                               const QString& version)
{
    QCommandLineParser parser;
    // Qt's own options take one dash and a word: "-platform xcb" is one option, not seven letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const NamedAction& action : actions)
        parser.addOption(QCommandLineOption(action.name, action.title));
    parser.addOption(QCommandLineOption(kHelp));
    parser.addOption(QCommandLineOption(kVersion));
    parser.addOptions(qtOptions());

    if (!parser.parse(arguments)) {
        QString reason = parser.errorText();
        if (reason.endsWith(u'.'))
            reason.chop(1);
        return refuse(reason);
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(
            QStringLiteral("Unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
    const QString program =
        arguments.isEmpty() ? QStringLiteral("kestrelle") : QFileInfo(arguments.constFirst()).fileName();
    if (parser.isSet(kHelp))
        return {Request::Help, std::nullopt, helpText(program, actions)};
    if (parser.isSet(kVersion))
        return {Request::Version, std::nullopt, QStringLiteral("%1 %2\n").arg(program, version)};

    QStringList asked;
    for (const NamedAction& action : actions) {
        if (parser.isSet(action.name))
            asked << action.name;
    }
    if (asked.size() > 1)
        return refuse(QStringLiteral("One option at a time: --%1").arg(asked.join(QStringLiteral(" or --"))));
    if (asked.isEmpty())
        return {};
    return {Request::Run, asked.constFirst(), {}};
}
