#include "app/Form1.h"
#include "cli/CommandLine.h"
#include "cli/FindCommand.h"
#include "core/ApplicationFolder.h"
#include "core/PathRules.h"
#include "platform/FileNames.h"
#include "platform/Termination.h"
#include "platform/widgets/Display.h"
#include "platform/widgets/QtWindowServices.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
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

// A standard stream the program was started without is held open on /dev/null, so that no
// file the program opens (the cache file) takes its number and receives its output. True when
// `fd` was closed.
bool holdStream(int fd, int flags)
{
    if (::fcntl(fd, F_GETFD) != -1)
        return false;
    const int opened = ::open("/dev/null", flags);
    if (opened >= 0 && opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
    }
    return true;
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
    const QString here = tagsifter::currentFolder();
    QStringList absolute;
    for (QString path : paths) {
        if (!path.startsWith(QLatin1Char('/')))
            path = here + QLatin1Char('/') + path;
        absolute.append(tagsifter::withoutTrailingSlashes(path));
    }
    return absolute;
}

// True when something, even a dangling link, has the name `path`.
bool exists(const QString& path)
{
    struct stat status;
    return ::lstat(tagsifter::encodeFileName(path).constData(), &status) == 0;
}

int print(std::FILE* stream, const QString& text, int status)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    return status;
}

int runWindow(int argc, char* argv[], const QStringList& paths)
{
    QApplication app(argc, argv);
    describe(app);
    // Docks and Wayland compositors match the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.brimvale.Tagsifter"));
    tagsifter::QtWindowServices services;
    tagsifter::Form1 window(services.window(), tagsifter::applicationFolder());
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
    if (!paths.isEmpty())
        window.addPaths(absolutePaths(paths));
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    holdStream(STDIN_FILENO, O_RDONLY);
    const bool outClosed = holdStream(STDOUT_FILENO, O_WRONLY);
    holdStream(STDERR_FILENO, O_WRONLY);
    using tagsifter::CommandLine;
    // The command line is read before anything is made: a wrong one needs no display.
    const CommandLine line = CommandLine::parse(heldArguments(argc, argv));
    switch (line.action) {
    case CommandLine::Action::Error:
        // One line, as grep says it: the rest of the screen stays the user's.
        return print(stderr, QStringLiteral("tagsifter: %1\n").arg(line.error), 2);
    case CommandLine::Action::Help:
        return print(stdout, CommandLine::help(), 0);
    case CommandLine::Action::FindHelp:
        return print(stdout, CommandLine::findHelp(), 0);
    case CommandLine::Action::TagsHelp:
        return print(stdout, CommandLine::tagsHelp(), 0);
    case CommandLine::Action::Version:
        return print(stdout, QStringLiteral("Tagsifter " TAGSIFTER_VERSION "\n"), 0);
    case CommandLine::Action::Find:
    case CommandLine::Action::Tags: {
        QCoreApplication app(argc, argv);
        describe(app);
        return tagsifter::FindCommand::run(line.find, stdout, stderr, outClosed);
    }
    case CommandLine::Action::Window:
        break;
    }
    // A word that is neither a file nor a command is a command mistyped, not an empty list.
    for (const QString& path : line.paths) {
        if (!exists(path))
            return print(stderr,
                         QStringLiteral("tagsifter: '%1' is neither a file, a folder nor a "
                                        "command (find, tags)\n")
                                 .arg(path) +
                             CommandLine::usage(),
                         2);
    }
    // Without a display the window cannot be made (Qt would abort): say so, as a terminal
    // program does.
    if (!tagsifter::displayAvailable())
        return print(stderr, QStringLiteral("tagsifter: cannot open the window: no display\n"), 2);
    return runWindow(argc, argv, line.paths);
}
