#include "main_window/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace corvid {

namespace {

QString description() {
    return QCoreApplication::translate(
        "CommandLine",
        "Plays two-camera recordings (name-1.asf and name-2.asf) side by side.\n\n"
        "Corvid remembers nothing across starts and writes no file of its own: the only files\n"
        "it writes are those you explicitly save.");
}

}  // namespace

CommandLine::CommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FOLDER"),
        QCoreApplication::translate("CommandLine",
                                    "The folder of recordings to open; the current folder when "
                                    "none is given. A recording (such as rec-1.asf) given "
                                    "instead opens its folder and plays it."),
        QStringLiteral("[FOLDER | RECORDING]"));

    if (!parser.parse(arguments)) {
        refuse(parser.errorText());
        return;
    }
    if (parser.isSet(help)) {
        outcome_ = Outcome::Print;
        message_ = parser.helpText();
        return;
    }
    if (parser.isSet(version)) {
        outcome_ = Outcome::Print;
        message_ = QCoreApplication::applicationName() + u' ' +
                   QCoreApplication::applicationVersion() + u'\n';
        return;
    }
    const QStringList names = parser.positionalArguments();
    if (names.size() > 1) {
        refuse(QCoreApplication::translate("CommandLine", "Only one folder can be opened."));
        return;
    }
    if (names.size() == 1) open(names.first());
}

void CommandLine::open(const QString& argument) {
    const QFileInfo given(argument);
    if (argument.isEmpty() || !given.exists()) {
        return refuse(
            QCoreApplication::translate("CommandLine", "There is no folder \"%1\".").arg(argument));
    }
    if (given.isDir()) {
        folder_ = QDir::cleanPath(given.absoluteFilePath());
        return;
    }
    folder_ = given.absolutePath();
    recording_ = given.fileName();
}

void CommandLine::refuse(const QString& problem) {
    outcome_ = Outcome::Refuse;
    folder_.clear();
    recording_.clear();
    message_ = QCoreApplication::translate(
                   "CommandLine", "corvid: %1\nTry 'corvid --help' for more information.\n")
                   .arg(problem);
}

}  // namespace corvid
