#include "main_window/NoSettingsFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "support/QtPrinters.h"

namespace corvid {
namespace {

// The toolkit's settings over a temporary folder standing in for the user's configuration.
class NoSettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(userConfig.isValid());
        ASSERT_TRUE(visited.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, userConfig.path());
    }

    void TearDown() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previousConfig);
    }

    // Opens Qt's own file dialog on `folder` and cancels it, as a user does; returns the
    // history the dialog started with.
    static QStringList dialogHistory(const QString& folder) {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        const QStringList history = dialog.history();
        dialog.setDirectory(folder);
        QTimer::singleShot(0, &dialog, &QFileDialog::reject);
        dialog.exec();
        return history;
    }

    QByteArray userSettings() const {
        QFile file(userConfig.filePath("QtProject.conf"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    const QString previousConfig =
        QSettings(QSettings::UserScope, "corvid-test").fileName().section(u'/', 0, -2);
    QTemporaryDir userConfig;
    QTemporaryDir visited;
};

TEST_F(NoSettingsFileTest, fileDialog_neitherReadsNorWritesTheUserSettings) {
    // The toolkit's default, for contrast: closing a dialog writes the folder it showed, and
    // the next dialog starts with it.
    dialogHistory(visited.path());
    ASSERT_TRUE(userSettings().contains("lastVisited"));
    const QString shown = QDir(visited.path()).absolutePath();
    ASSERT_TRUE(dialogHistory(QDir::tempPath()).contains(shown));
    const QByteArray written = userSettings();

    {
        const NoSettingsFile none;
        EXPECT_FALSE(dialogHistory(QDir::homePath()).contains(shown));
    }
    EXPECT_EQ(userSettings(), written);
}

}  // namespace
}  // namespace corvid
