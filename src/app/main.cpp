#include "app/Form1.h"
#include "cli/FindCommand.h"
#include "platform/FileNames.h"
#include "platform/QtPlatform.h"
#include "platform/Termination.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdlib>
#include <unistd.h>

namespace {

// The arguments with their bytes: a path that is not UTF-8 still names its file.
QStringList heldArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(tagsifter::decodeFileName(argv[i]));
    return arguments;
}

void describe(QCoreApplication& app)
{
    app.setApplicationName(QStringLiteral("Tagsifter"));
    app.setOrganizationName(QStringLiteral("Brimvale"));
    app.setApplicationVersion(QStringLiteral(TAGSIFTER_VERSION));
}

// Files and folders named when the program starts, as absolute paths.
QStringList absolutePaths(const QStringList& paths)
{
    char buffer[4096];
    const QString here =
        ::getcwd(buffer, sizeof buffer) ? tagsifter::decodeFileName(buffer) : QString();
    QStringList absolute;
    for (QString path : paths) {
        if (!path.startsWith(QLatin1Char('/')))
            path = here + QLatin1Char('/') + path;
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        absolute.append(path);
    }
    return absolute;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = heldArguments(argc, argv);
    // The search from a terminal needs no display.
    if (arguments.value(1) == QLatin1String("find")) {
        QCoreApplication app(argc, argv);
        describe(app);
        return tagsifter::FindCommand::run(arguments, stdout, stderr);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Find JPEG images by the text of their metadata.\n\n"
        "tagsifter find [--extension EXT] [--table] TEXT PATH... searches from a terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QStringLiteral("Images and folders to put in the file list."),
                                 QStringLiteral("[PATH...]"));
    // Help and version are printed without a display too.
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h")) ||
        arguments.contains(QLatin1String("--version")) || arguments.contains(QLatin1String("-v"))) {
        QCoreApplication app(argc, argv);
        describe(app);
        parser.process(arguments);
        return 0;
    }

    QApplication app(argc, argv);
    describe(app);
    parser.process(arguments);

    tagsifter::QtPlatform services;
    tagsifter::Form1 window(services.platform(), tagsifter::applicationFolder());
    services.setOwner(&window);
    // Closing the window ends the process at once, whatever is still in progress; only the
    // helpers registered with at_quick_exit (ending processes of the program's own) still run.
    QObject::connect(&window, &tagsifter::Form1::unloaded, [] { std::quick_exit(EXIT_SUCCESS); });
    // Asked to end from outside (a logout, Ctrl+C): the exiftool processes end and the temp
    // folder goes, as when the window is closed.
    tagsifter::onTerminationRequest(&window, [&window](int signal) {
        window.Form_Unload();
        std::quick_exit(128 + signal);
    });
    window.Form_Load();
    window.show();
    // Files and folders named on the command line (a file manager's "Open With") are listed
    // as if they had been dropped on the list.
    const QStringList paths = parser.positionalArguments();
    if (!paths.isEmpty())
        window.addPaths(absolutePaths(paths));
    return QApplication::exec();
}
