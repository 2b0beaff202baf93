// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Kestrix developers

#include "CommandLine.h"

#include <QCommandLineParser>

#include <algorithm>
#include <array>

namespace kestrix {

namespace {

// The toolkit's own window options: those that take a value, and those that
// do not. They may be written with one dash or two.
constexpr std::array kWindowOptionsWithValue = {"platform",
                                                "platformpluginpath",
                                                "platformtheme",
                                                "plugin",
                                                "qwindowgeometry",
                                                "qwindowicon",
                                                "qwindowtitle",
                                                "display",
                                                "geometry",
                                                "style",
                                                "stylesheet",
                                                "session",
                                                "title",
                                                "name",
                                                "fn",
                                                "font",
                                                "bg",
                                                "background",
                                                "fg",
                                                "foreground",
                                                "btn",
                                                "button",
                                                "visual",
                                                "ncols",
                                                "cmap",
                                                "inputstyle",
                                                "im"};
// X11's -sync is written with one dash only: --sync is Kestrix's own.
constexpr std::array kWindowOptionsAlone = {"reverse", "nograb", "dograb", "sync", "widgetcount", "testability"};
const QLatin1String kOwnSync("--sync");

QString optionName(const QString& argument)
{
    QString name = argument;
    while (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
    return name.section(QLatin1Char('='), 0, 0);
}

bool isOneOf(const QString& name, const auto& options)
{
    return std::any_of(options.begin(), options.end(),
                       [&](const char* option) { return name == QLatin1String(option); });
}

// The arguments without the window's own options.
QStringList withoutWindowOptions(const QStringList& arguments)
{
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (i == 0 || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")
            || argument == kOwnSync) {
            kept << argument;
            continue;
        }
        const QString name = optionName(argument);
        if (isOneOf(name, kWindowOptionsAlone)) continue;
        if (isOneOf(name, kWindowOptionsWithValue)) {
            if (!argument.contains(QLatin1Char('='))) ++i; // its value follows
            continue;
        }
        kept << argument;
    }
    return kept;
}

// The bytes of the value of the long option `name` (--name VALUE or
// --name=VALUE): the parser sees the arguments as text, which a file name
// need not be.
QByteArray valueBytes(const std::vector<QByteArray>& arguments, const char* name)
{
    const QByteArray alone = QByteArray("--") + name;
    const QByteArray joined = alone + '=';
    for (size_t i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--") break;
        if (arguments[i].startsWith(joined)) return arguments[i].mid(joined.size());
        if (arguments[i] == alone && i + 1 < arguments.size()) return arguments[i + 1];
    }
    return {};
}

// The options Kestrix takes, and the parser that knows them.
struct Options {
    Options();

    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version.")};
    const QCommandLineOption exportCards{
        QStringLiteral("export"),
        QStringLiteral("Write every card to FILE: vCard 4.0 for .vcf or .vcard, CSV for .csv, or as --format "
                       "says; \"-\" writes to standard output."),
        QStringLiteral("FILE")};
    const QCommandLineOption importCards{
        QStringLiteral("import"),
        QStringLiteral("Add the contacts in FILE (vCard 2.1, 3.0 or 4.0, or CSV, told apart by their content) as "
                       "new cards, each with a fresh number."),
        QStringLiteral("FILE")};
    const QCommandLineOption all{
        QStringLiteral("all"),
        QStringLiteral("With --import: add cards even when an identical card is already there.")};
    const QCommandLineOption format{QStringLiteral("format"),
                                    QStringLiteral("The format for --export or --import: vcard4, vcard3 or csv."),
                                    QStringLiteral("FORMAT")};
    const QCommandLineOption merge{
        QStringLiteral("merge-conflicts"),
        QStringLiteral("Merge the conflict copies a sync program kept beside the card files, then end.")};
    const QCommandLineOption undo{
        QStringLiteral("undo"),
        QStringLiteral("Take back the newest change made on this computer that is not itself an undo, then end.")};
    const QCommandLineOption undoChange{
        QStringLiteral("undo-change"),
        QStringLiteral("Take back change N of --history, whichever it is (an undo too), then end."),
        QStringLiteral("N")};
    const QCommandLineOption history{
        QStringLiteral("history"),
        QStringLiteral("List the changes of the cards, newest first, each with its number, then end.")};
    const QCommandLineOption restore{
        QStringLiteral("restore"),
        QStringLiteral("Bring back the cards change N of --history took, as one more change, then end."),
        QStringLiteral("N")};
    const QCommandLineOption keepHistory{
        QStringLiteral("keep-history"),
        QStringLiteral("Keep at most SIZE of history on this computer (as 64M or 1G; 64M at first), and never "
                       "more than 30 days, then end."),
        QStringLiteral("SIZE")};
    const QCommandLineOption sync{
        QStringLiteral("sync"),
        QStringLiteral("Sync the cards with an address book on a CardDAV server (Nextcloud, Radicale, ...) both "
                       "ways, then end. The first time give --server and --user; later they are remembered.")};
    const QCommandLineOption server{QStringLiteral("server"),
                                    QStringLiteral("With --sync: the server's address; its start page will do."),
                                    QStringLiteral("URL")};
    const QCommandLineOption user{QStringLiteral("user"), QStringLiteral("With --sync: your user name there."),
                                  QStringLiteral("NAME")};
    const QCommandLineOption passwordFile{
        QStringLiteral("password-file"),
        QStringLiteral("With --sync: read the password from the first line of FILE (else from the desktop's "
                       "keyring)."),
        QStringLiteral("FILE")};
    const QCommandLineOption addressBook{
        QStringLiteral("address-book"),
        QStringLiteral("With --sync: which address book, by name, where the server holds several."),
        QStringLiteral("NAME")};
    QCommandLineParser parser;
};

Options::Options()
{
    parser.setApplicationDescription(
        QStringLiteral("Kestrix keeps business contacts on cards, in the files kest1.dat and kestrec.rec of the\n"
                       "folder it is started in. Without an option it opens its window; the options below work\n"
                       "without one, over SSH or in a script."));
    parser.addOptions({help, version, exportCards, importCards, all, format, merge, undo, undoChange, history, restore,
                       keepHistory, sync, server, user, passwordFile, addressBook});
}

// What is wrong with the options given, once parsed; empty when nothing is.
QString mistakeIn(const Options& options)
{
    const QCommandLineParser& parser = options.parser;
    const QStringList given = parser.optionNames(); // each as often as it was given
    for (const QCommandLineOption* option :
         {&options.help, &options.version, &options.exportCards, &options.importCards, &options.all, &options.format,
          &options.merge, &options.undo, &options.undoChange, &options.history, &options.restore, &options.keepHistory,
          &options.sync, &options.server, &options.user, &options.passwordFile, &options.addressBook}) {
        const QStringList names = option->names();
        const auto times =
            std::count_if(given.begin(), given.end(), [&](const QString& name) { return names.contains(name); });
        if (times > 1) return QStringLiteral("--%1 is given %2 times: give it once.").arg(names.last()).arg(times);
    }
    const int actions = int(parser.isSet(options.help)) + int(parser.isSet(options.version))
        + int(parser.isSet(options.exportCards)) + int(parser.isSet(options.importCards))
        + int(parser.isSet(options.merge)) + int(parser.isSet(options.undo)) + int(parser.isSet(options.undoChange))
        + int(parser.isSet(options.history)) + int(parser.isSet(options.restore))
        + int(parser.isSet(options.keepHistory)) + int(parser.isSet(options.sync));
    if (actions > 1)
        return QStringLiteral(
            "Give one of --help, --version, --export, --import, --merge-conflicts, --undo, --undo-change, --history, "
            "--restore, --keep-history and --sync.");
    for (const QCommandLineOption* option :
         {&options.server, &options.user, &options.passwordFile, &options.addressBook})
        if (parser.isSet(*option) && !parser.isSet(options.sync))
            return QStringLiteral("--%1 goes with --sync.").arg(option->names().last());
    if (parser.isSet(options.all) && !parser.isSet(options.importCards))
        return QStringLiteral("--all goes with --import.");
    if (!parser.isSet(options.format)) return {};
    if (!parser.isSet(options.exportCards) && !parser.isSet(options.importCards))
        return QStringLiteral("--format goes with --export or --import.");
    if (!formatFromWord(parser.value(options.format)))
        return QStringLiteral("Unknown format \"%1\": give vcard4, vcard3 or csv.").arg(parser.value(options.format));
    return {};
}

// The one action the options ask for, with its file; none opens the window.
void setAction(const Options& options, const std::vector<QByteArray>& rawArguments, CommandRequest& request)
{
    const QCommandLineParser& parser = options.parser;
    if (parser.isSet(options.help)) {
        request.action = CommandRequest::Action::ShowHelp;
        // Made before the program knows its own name.
        request.text = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrix"));
    } else if (parser.isSet(options.version)) {
        request.action = CommandRequest::Action::ShowVersion;
    } else if (parser.isSet(options.exportCards)) {
        request.action = CommandRequest::Action::Export;
        request.file = valueBytes(rawArguments, "export");
    } else if (parser.isSet(options.importCards)) {
        request.action = CommandRequest::Action::Import;
        request.file = valueBytes(rawArguments, "import");
        request.addIdentical = parser.isSet(options.all);
    } else if (parser.isSet(options.merge)) {
        request.action = CommandRequest::Action::MergeConflicts;
    } else if (parser.isSet(options.undo)) {
        request.action = CommandRequest::Action::Undo;
    } else if (parser.isSet(options.undoChange)) {
        request.action = CommandRequest::Action::UndoChange;
        request.text = parser.value(options.undoChange);
    } else if (parser.isSet(options.history)) {
        request.action = CommandRequest::Action::History;
    } else if (parser.isSet(options.restore)) {
        request.action = CommandRequest::Action::Restore;
        request.text = parser.value(options.restore);
    } else if (parser.isSet(options.keepHistory)) {
        request.action = CommandRequest::Action::KeepHistory;
        request.text = parser.value(options.keepHistory);
    } else if (parser.isSet(options.sync)) {
        request.action = CommandRequest::Action::Sync;
        request.server = parser.value(options.server);
        request.user = parser.value(options.user);
        request.addressBook = parser.value(options.addressBook);
        request.passwordFile = valueBytes(rawArguments, "password-file");
    }
}

} // namespace

QStringList argumentsAsText(const std::vector<QByteArray>& arguments)
{
    QStringList text;
    for (const QByteArray& argument : arguments) text << QString::fromLocal8Bit(argument);
    return text;
}

CommandRequest readCommandLine(const std::vector<QByteArray>& rawArguments)
{
    Options options;
    const QCommandLineParser& parser = options.parser;
    CommandRequest request;
    const auto mistake = [&](const QString& what) {
        request.action = CommandRequest::Action::Mistake;
        request.text = what;
        return request;
    };
    if (!options.parser.parse(withoutWindowOptions(argumentsAsText(rawArguments)))) return mistake(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return mistake(QStringLiteral("Unexpected argument \"%1\".").arg(parser.positionalArguments().first()));
    if (const QString what = mistakeIn(options); !what.isEmpty()) return mistake(what);
    if (parser.isSet(options.format)) request.format = formatFromWord(parser.value(options.format));
    setAction(options, rawArguments, request);
    return request;
}

bool hasDisplay(const QStringList& arguments, QString& why)
{
    // A platform named outright (offscreen, a virtual display) is the user's choice.
    const bool platformNamed = std::any_of(arguments.begin(), arguments.end(), [](const QString& argument) {
        return argument.startsWith(QLatin1Char('-')) && optionName(argument) == QLatin1String("platform");
    });
    if (platformNamed || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return true;
    why = QStringLiteral("no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)");
    return false;
}

} // namespace kestrix
