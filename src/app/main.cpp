#include "app/Form1.h"
#include "platform/QtPlatform.h"
#include "platform/Termination.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tagsifter"));
    QApplication::setOrganizationName(QStringLiteral("Brimvale"));

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
    return QApplication::exec();
}
