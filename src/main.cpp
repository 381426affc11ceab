#include <QApplication>
#include <QDir>
#include <cstdio>
#include <optional>

#include "main_window/CommandLine.h"
#include "main_window/DefaultServices.h"
#include "main_window/Form1.h"
#include "main_window/NoSettingsFile.h"
#include "util/AllocatorPolicy.h"

namespace {

// Prints help or version, or a refusal, and gives the exit status; nothing for a start.
std::optional<int> answered(const corvid::CommandLine& command) {
    if (command.outcome() == corvid::CommandLine::Outcome::Start) return std::nullopt;
    std::fputs(qPrintable(command.message()), command.exitStatus() == 0 ? stdout : stderr);
    return command.exitStatus();
}

}  // namespace

// Starts Corvid in the current folder, or on the folder or recording named on the command line.
int main(int argc, char** argv) {
    corvid::AllocatorPolicy::shareOneArena();
    QCoreApplication::setApplicationName(QStringLiteral("Corvid"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVID_VERSION));
    {
        // Help and version need no screen (a remote shell, a packaging tool), so they are
        // answered before the window system is reached. Anything else waits for the toolkit
        // to take its own options (-platform, -style, ...) off the command line.
        const QCoreApplication early(argc, argv);
        const corvid::CommandLine command(QCoreApplication::arguments());
        if (command.outcome() == corvid::CommandLine::Outcome::Print) return *answered(command);
    }

    QApplication app(argc, argv);
    corvid::installDefaultServices();
    // The desktop entry's name, so that a desktop shows the window under its menu entry's icon.
    QApplication::setDesktopFileName(QStringLiteral(CORVID_APP_ID));
    QApplication::setWindowIcon(corvid::Form1::icon());

    const corvid::CommandLine command(QApplication::arguments());
    if (const std::optional<int> status = answered(command)) return *status;
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
