#include "main_window/CommandLine.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/QtPrinters.h"

namespace corvid {
namespace {

// The command line read over a real temporary folder holding one recording and a sub-folder.
class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkdir("day one"));
        QFile file(folder.filePath("rec-1.asf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        previousFolder = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder.path()));
    }

    void TearDown() override { QDir::setCurrent(previousFolder); }

    static CommandLine read(QStringList arguments) {
        arguments.prepend(QStringLiteral("corvid"));
        return CommandLine(arguments);
    }

    QTemporaryDir folder;
    QString previousFolder;
};

TEST_F(CommandLineTest, read_startsInCurrentFolder_whenNothingIsGiven) {
    const CommandLine command = read({});
    EXPECT_EQ(command.outcome(), CommandLine::Outcome::Start);
    EXPECT_EQ(command.folder(), "");
    EXPECT_EQ(command.recording(), "");
    EXPECT_EQ(command.exitStatus(), 0);
}

TEST_F(CommandLineTest, read_opensFolderByAbsolutePath_whetherGivenRelativeOrAbsolute) {
    const QString wanted = QDir(folder.filePath("day one")).absolutePath();
    for (const QString& given :
         {QStringLiteral("day one"), QStringLiteral("./day one/"), folder.filePath("day one")}) {
        const CommandLine command = read({given});
        EXPECT_EQ(command.outcome(), CommandLine::Outcome::Start) << given.toStdString();
        EXPECT_EQ(command.folder(), wanted) << given.toStdString();
        EXPECT_EQ(command.recording(), "") << given.toStdString();
    }
}

TEST_F(CommandLineTest, read_opensFolderOfAFile_withThatFileAsTheRecording) {
    for (const QString& given : {QStringLiteral("rec-1.asf"), folder.filePath("rec-1.asf")}) {
        const CommandLine command = read({given});
        EXPECT_EQ(command.outcome(), CommandLine::Outcome::Start);
        EXPECT_EQ(command.folder(), QDir(folder.path()).absolutePath());
        EXPECT_EQ(command.recording(), "rec-1.asf");
    }
}

TEST_F(CommandLineTest, read_takesAFolderNamedLikeAnOption_afterDoubleDash) {
    ASSERT_TRUE(QDir(folder.path()).mkdir("-v"));
    const CommandLine command = read({"--", "-v"});
    EXPECT_EQ(command.outcome(), CommandLine::Outcome::Start);
    EXPECT_EQ(command.folder(), QDir(folder.filePath("-v")).absolutePath());
}

TEST_F(CommandLineTest, read_printsHelp_sayingWhatIsOpenedAndThatNothingIsRemembered) {
    for (const char* option : {"--help", "-h"}) {
        const CommandLine command = read({option, "no such folder"});
        EXPECT_EQ(command.outcome(), CommandLine::Outcome::Print) << option;
        EXPECT_EQ(command.exitStatus(), 0);
        EXPECT_TRUE(command.message().contains("[FOLDER | RECORDING]"));
        EXPECT_TRUE(command.message().contains("--version"));
        EXPECT_TRUE(command.message().contains("remembers nothing across starts"));
        EXPECT_TRUE(command.message().contains("writes no file of its own"));
    }
}

TEST_F(CommandLineTest, read_printsNameAndVersion_whenVersionIsAsked) {
    const QString previousName = QCoreApplication::applicationName();
    const QString previousVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationName("Corvid");
    QCoreApplication::setApplicationVersion("4.5.6");
    const CommandLine command = read({"--version"});
    QCoreApplication::setApplicationName(previousName);
    QCoreApplication::setApplicationVersion(previousVersion);

    EXPECT_EQ(command.outcome(), CommandLine::Outcome::Print);
    EXPECT_EQ(command.exitStatus(), 0);
    EXPECT_EQ(command.message(), "Corvid 4.5.6\n");
}

TEST_F(CommandLineTest, read_refusesWithUsageStatus_anUnknownOptionAMissingFolderOrTwoFolders) {
    const struct {
        QStringList arguments;
        QString reason;
    } cases[] = {
        {{"--full-screen"}, "Unknown option 'full-screen'"},
        {{"-x", "day one"}, "Unknown option 'x'"},
        {{"no such folder"}, "There is no folder \"no such folder\""},
        {{""}, "There is no folder \"\""},
        {{"day one", "rec-1.asf"}, "Only one folder can be opened"},
    };
    for (const auto& c : cases) {
        const CommandLine command = read(c.arguments);
        const std::string name = c.arguments.join(' ').toStdString();
        EXPECT_EQ(command.outcome(), CommandLine::Outcome::Refuse) << name;
        EXPECT_EQ(command.exitStatus(), CommandLine::UsageError) << name;
        EXPECT_EQ(command.folder(), "") << name;
        EXPECT_TRUE(command.message().startsWith("corvid: " + c.reason))
            << command.message().toStdString();
        EXPECT_TRUE(command.message().contains("corvid --help")) << name;
    }
}

}  // namespace
}  // namespace corvid
