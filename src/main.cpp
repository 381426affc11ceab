#include <QApplication>
#include <QDir>
#include <cstdio>

#include "main_window/CommandLine.h"
#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "main_window/NoSettingsFile.h"
#include "platform/util/AllocatorPolicy.h"

// Starts Corvid in the current folder, or on the folder or recording named on the command line.
int main(int argc, char** argv) {
    corvid::AllocatorPolicy::shareOneArena();
    QApplication app(argc, argv);
    corvid::installDefaultServices();
    QApplication::setApplicationName(QStringLiteral("Corvid"));
    QApplication::setApplicationVersion(QStringLiteral(CORVID_VERSION));
    // The desktop entry's name, so that a desktop shows the window under its menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral(CORVID_APP_ID));
    QApplication::setWindowIcon(corvid::Form1::icon());

    const corvid::CommandLine command(QApplication::arguments());
    if (command.outcome() != corvid::CommandLine::Outcome::Start) {
        std::fputs(qPrintable(command.message()), command.exitStatus() == 0 ? stdout : stderr);
        return command.exitStatus();
    }
    if (!command.folder().isEmpty() && !QDir::setCurrent(command.folder())) {
        std::fprintf(stderr, "corvid: cannot open the folder \"%s\".\n",
                     qPrintable(command.folder()));
        return corvid::CommandLine::UsageError;
    }

    const corvid::NoSettingsFile noSettingsFile;
    corvid::Form1 window;
    window.show();
    if (!command.recording().isEmpty()) window.SelectRecording(command.recording());
    return app.exec();
}
