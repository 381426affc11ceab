#include <QApplication>
#include <QDir>
#include <QStringList>
#include <cstdio>

#include "main_window/Form1.h"
#include "platform/AllocatorPolicy.h"

// Starts Corvid in the current folder, or in the folder named as the only argument.
int main(int argc, char** argv) {
    corvid::AllocatorPolicy::shareOneArena();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvid"));
    QApplication::setWindowIcon(corvid::Form1::icon());

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1 && !QDir::setCurrent(arguments.at(1))) {
        std::fprintf(stderr, "corvid: cannot open the folder %s\n", qPrintable(arguments.at(1)));
        return 1;
    }

    corvid::Form1 window;
    window.show();
    return app.exec();
}
