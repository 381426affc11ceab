#pragma once

#include <QString>
#include <QStringList>

namespace corvid {

// What the program was asked to do on its command line: `corvid [FOLDER | RECORDING]`. A
// folder is opened; a recording opens its folder with that recording playing; help and
// version are printed; anything else is refused with a message and the usage status.
class CommandLine {
public:
    enum class Outcome { Start, Print, Refuse };

    // The conventional status for a command line that cannot be used.
    static constexpr int UsageError = 2;

    // Reads the arguments as the program received them, its own name first.
    explicit CommandLine(const QStringList& arguments);

    Outcome outcome() const { return outcome_; }
    // The folder to open, absolute; empty to start in the current folder.
    const QString& folder() const { return folder_; }
    // The file name, within folder(), of the recording to select and play; empty for none.
    const QString& recording() const { return recording_; }
    // The text to print: help or version on standard output, a refusal on standard error.
    const QString& message() const { return message_; }
    int exitStatus() const { return outcome_ == Outcome::Refuse ? UsageError : 0; }

private:
    void refuse(const QString& problem);
    void open(const QString& argument);

    Outcome outcome_ = Outcome::Start;
    QString folder_;
    QString recording_;
    QString message_;
};

}  // namespace corvid
