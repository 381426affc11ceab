#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

namespace corvid {
namespace {

// The built program started as a user starts it, on a screen of its own.
class CorvidProgramTest : public ::testing::Test {
protected:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };

    // Runs the program until it exits by itself; a program still running after the bound
    // has opened its window where it should have answered.
    Run run(const QStringList& arguments, const QString& platform = "offscreen") {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", platform);
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        // A session's own runtime folder, so that the toolkit has nothing to warn about.
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(CORVID_EXECUTABLE), arguments);
        Run result;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "corvid did not exit for " << arguments.join(' ').toStdString();
            return result;
        }
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromUtf8(process.readAllStandardOutput());
        result.err = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QTemporaryDir runtime;
};

TEST_F(CorvidProgramTest, help_printsUsageOnStandardOutput_andExitsWithSuccess) {
    const Run result = run({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.contains("Usage: ")) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains("[FOLDER | RECORDING]"));
    EXPECT_TRUE(result.out.contains("remembers nothing across starts"));
    EXPECT_EQ(result.err, "");
}

TEST_F(CorvidProgramTest, version_printsTheProjectVersion_andExitsWithSuccess) {
    const Run result = run({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, QStringLiteral("Corvid " CORVID_VERSION "\n"));
}

TEST_F(CorvidProgramTest, helpAndVersion_needNoScreen) {
    for (const char* option : {"--help", "--version"}) {
        const Run result = run({option}, "xcb");
        EXPECT_EQ(result.status, 0) << option << ": " << result.err.toStdString();
        EXPECT_TRUE(result.out.contains("Corvid")) << option;
    }
    // The toolkit's own options are still taken off the command line before it is read.
    const Run result = run({"-platform", "offscreen", "--version"}, "xcb");
    EXPECT_EQ(result.status, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("Corvid " CORVID_VERSION "\n"));
}

TEST_F(CorvidProgramTest, unusableCommandLine_isExplainedOnStandardError_withStatusTwo) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const QStringList& arguments :
         {QStringList{"--no-such-option"}, QStringList{folder.filePath("gone")}}) {
        const Run result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.startsWith("corvid: ")) << result.err.toStdString();
        EXPECT_TRUE(result.err.contains("corvid --help"));
    }
}

}  // namespace
}  // namespace corvid
