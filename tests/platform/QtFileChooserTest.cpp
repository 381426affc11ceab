#include "file_dialogs/QtFileChooser.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "support/QtPrinters.h"

namespace corvid {
namespace {

class QtFileChooserTest : public ::testing::Test {
protected:
    static QStringList visibleFilterEntries(QFileDialog& dialog) {
        QStringList entries;
        auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (combo == nullptr) return entries;
        for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
        return entries;
    }

    // The names the dialog's list shows as selectable in its folder, once it has been read.
    static QStringList selectableNames(QFileDialog& dialog) {
        QStringList names;
        auto* model = dialog.findChild<QFileSystemModel*>();
        if (model == nullptr) return names;
        const QModelIndex root = model->index(dialog.directory().absolutePath());
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex index = model->index(row, 0, root);
            if (model->flags(index) & Qt::ItemIsEnabled) names << index.data().toString();
        }
        names.sort();
        return names;
    }

    FileChooserRequest openRequest() {
        FileChooserRequest request;
        request.mode = FileChooserRequest::Mode::Open;
        request.filters = {{"Divx/Avi files (divx avi)", {"*.avi", "*.divx"}},
                           {"录像 (asf)", {"*.asf"}},
                           {"All files", {"*.*"}}};
        request.title = "打开";
        request.initialDir = folder.path().toStdString();
        request.defaultExt = "txt";
        return request;
    }

    QTemporaryDir folder;
};

TEST_F(QtFileChooserTest, configure_showsEachDescriptionAloneWithTheFirstPreselected) {
    QFileDialog dialog;
    QtFileChooser::configure(dialog, openRequest());

    EXPECT_EQ(visibleFilterEntries(dialog),
              QStringList({QStringLiteral("Divx/Avi files (divx avi)"),
                           QStringLiteral("录像 (asf)"), QStringLiteral("All files")}));
    auto* combo = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("打开"));
    EXPECT_EQ(dialog.directory().absolutePath(), folder.path());
    EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("txt"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
}

TEST_F(QtFileChooserTest, configure_filtersByThePatternsNotByTheDescription) {
    for (const char* name : {"a.avi", "b.divx", "c.asf", "divx", "noext"}) {
        QFile file(folder.filePath(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    QtFileChooser::configure(dialog, openRequest());
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 5000));

    // The model fills in and filters on later turns of the event loop, even after loading.
    const QStringList byPattern({"a.avi", "b.divx"});
    (void)QTest::qWaitFor([&] { return selectableNames(dialog) == byPattern; }, 5000);
    EXPECT_EQ(selectableNames(dialog), byPattern);
    dialog.selectNameFilter(dialog.nameFilters().at(2));
    // The list is filtered again on the next turn of the event loop.
    const bool refiltered =
        QTest::qWaitFor([&] { return selectableNames(dialog).size() == 5; }, 5000);
    EXPECT_TRUE(refiltered);
    EXPECT_EQ(selectableNames(dialog), QStringList({"a.avi", "b.divx", "c.asf", "divx", "noext"}));
}

TEST_F(QtFileChooserTest, configure_saveAsksBeforeOverwritingOnlyWhenRequested) {
    FileChooserRequest request = openRequest();
    request.mode = FileChooserRequest::Mode::Save;
    request.confirmOverwrite = true;
    request.title.reset();
    QFileDialog asking;
    QtFileChooser::configure(asking, request);
    EXPECT_EQ(asking.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(asking.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_FALSE(asking.windowTitle().isEmpty());  // the dialog's own caption

    request.confirmOverwrite = false;
    QFileDialog silent;
    QtFileChooser::configure(silent, request);
    EXPECT_TRUE(silent.testOption(QFileDialog::DontConfirmOverwrite));
}

TEST_F(QtFileChooserTest, configureFolder_offersFoldersOnly) {
    QFileDialog dialog;
    QtFileChooser::configureFolder(dialog, "选择文件夹");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog.testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("选择文件夹"));
    EXPECT_EQ(dialog.directory().absolutePath(), QDir::homePath());

    QTemporaryDir start;
    QFileDialog placed;
    QtFileChooser::configureFolder(placed, "x", start.path().toStdString());
    EXPECT_EQ(placed.directory().absolutePath(), start.path());
}

}  // namespace
}  // namespace corvid
