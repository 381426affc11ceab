#include "file_dialogs/CommonDialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/FakeFileChooser.h"
#include "support/QtPrinters.h"

namespace corvid {
namespace {

using test::FakeFileChooser;
using Mode = FileChooserRequest::Mode;

QString nuls(qsizetype count) {
    return QString(count, QChar(u'\0'));
}

class CommonDialogTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeFileChooser> chooser = std::make_shared<FakeFileChooser>();
    CommonDialog dialog{chooser};
};

TEST_F(CommonDialogTest, newDialog_hasEmptyBuffersAndDefaults) {
    const CommonDialog::Record& record = dialog.record();
    EXPECT_EQ(record.lStructSize, 76);
    EXPECT_EQ(record.Flags, 2);
    EXPECT_EQ(record.lpstrFile, nuls(1024));
    EXPECT_EQ(record.lpstrFileTitle, nuls(256));
    EXPECT_FALSE(record.lpstrFilter.has_value());
    EXPECT_FALSE(record.lpstrTitle.has_value());
    EXPECT_FALSE(record.lpstrInitialDir.has_value());
    EXPECT_EQ(dialog.DefaultExt(), "txt");
    EXPECT_EQ(dialog.FileTitle(), nuls(256));
    EXPECT_EQ(dialog.Filter(), "");
    EXPECT_EQ(dialog.DialogTitle(), "");
    EXPECT_EQ(dialog.InitDir(), "");
    EXPECT_EQ(dialog.FileName(), "");
}

TEST_F(CommonDialogTest, fileName_isEmpty_whenDialogCancelled) {
    chooser->willCancel();
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "");

    chooser->willConfirm("/media/a-1.asf");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "/media/a-1.asf");
    chooser->willCancel();
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "");
}

TEST_F(CommonDialogTest, fileName_givesPathOnceThenEmpty_afterOneConfirmedDialog) {
    chooser->willConfirm("/media/rec/2024 录像-1.asf");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), QString::fromUtf8("/media/rec/2024 录像-1.asf"));
    EXPECT_EQ(dialog.FileName(), "");
    EXPECT_EQ(dialog.record().lpstrFile, nuls(1024));
}

TEST_F(CommonDialogTest, confirmedDialog_fillsTitleBufferAndOffsets) {
    chooser->willConfirm("/media/rec/cam-1.asf");
    dialog.ShowSave();

    EXPECT_EQ(dialog.FileTitle(), "cam-1.asf" + nuls(256 - 9));
    EXPECT_EQ(dialog.record().nFileOffset, 11);
    EXPECT_EQ(dialog.record().nFileExtension, 17);

    chooser->willConfirm("/media/录像.asf");
    dialog.ShowOpen();
    const QString title = dialog.FileTitle();
    EXPECT_TRUE(title.startsWith(QString::fromUtf8("录像.asf") + QChar(u'\0')));
    EXPECT_EQ(QString(title).remove(QChar(u'\0')), QString::fromUtf8("录像.asf"));
}

TEST_F(CommonDialogTest, cancelledDialog_keepsPresetNamesAndShowsThem) {
    dialog.setFileName("/media/preset.asf");
    dialog.setFileTitle("preset.asf");
    chooser->willCancel();
    dialog.ShowOpen();

    EXPECT_EQ(chooser->lastFileRequest().initialFileName, "/media/preset.asf");
    // The title buffer went to the dialog at its full capacity.
    EXPECT_EQ(dialog.FileTitle(), "preset.asf" + nuls(256 - 10));
    EXPECT_EQ(dialog.FileName(), "/media/preset.asf");
}

TEST_F(CommonDialogTest, confirmedPath_replacesALongerPresetName_withoutLeftovers) {
    dialog.setFileName("/a/much/longer/preset/folder/and/name.asf");
    chooser->willConfirm("/b/x.asf");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "/b/x.asf");
}

std::string deepFolder() {
    std::string folder;
    for (int i = 0; i < 10; ++i) folder += "/" + std::string(99, 'd');
    return folder;  // 1000 bytes
}

TEST_F(CommonDialogTest, pathTooLongForTheBuffer_countsAsFailedAndKeepsBuffers) {
    const std::string fitting = deepFolder() + "/" + std::string(18, 'b') + ".asf";  // 1023
    chooser->willConfirm(fitting);
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName().toStdString(), fitting);

    dialog.setFileName("/media/preset.asf");
    chooser->willConfirm(deepFolder() + "/" + std::string(19, 'b') + ".asf");
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "/media/preset.asf");
    EXPECT_EQ(dialog.FileTitle().left(22), QString(18, u'b') + ".asf");

    // The capacity counts bytes of the narrow form, not characters: 350 characters here.
    std::string wide;
    for (int folder = 0; folder < 4; ++folder) {
        wide += "/";
        for (int i = 0; i < 85; ++i) wide += "录";
    }
    wide += "/x.asf";
    chooser->willConfirm(wide);
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "");

    // A name longer than the title buffer fails the same way.
    chooser->willConfirm("/" + std::string(256, 'n'));
    dialog.ShowOpen();
    EXPECT_EQ(dialog.FileName(), "");
}

TEST_F(CommonDialogTest, defaultExt_dropsEveryDot_andReachesTheChooser) {
    dialog.setDefaultExt(".tar.gz");
    EXPECT_EQ(dialog.DefaultExt(), "targz");
    dialog.ShowSave();
    EXPECT_EQ(chooser->lastFileRequest().defaultExt, "targz");
}

TEST_F(CommonDialogTest, filter_readsBackWithBarsAndWithoutTrailingBar) {
    dialog.setFilter("Text files|*.txt|");
    EXPECT_EQ(dialog.Filter(), "Text files|*.txt");
    EXPECT_EQ(*dialog.record().lpstrFilter,
              QString("Text files") + QChar(u'\0') + "*.txt" + nuls(3));

    dialog.setFilter("ASF|*.asf");
    EXPECT_EQ(dialog.Filter(), "ASF|*.asf");
}

TEST_F(CommonDialogTest, filter_reachesTheChooserAsEntries_firstPreselectedOnEveryRun) {
    dialog.setFilter(QString::fromUtf8(
        "Divx/Avi files (divx avi)|*.avi;*.divx|录像 (asf)|*.asf|All files|*.*|Dangling"));
    const std::vector<FileFilter> expected = {
        {"Divx/Avi files (divx avi)", {"*.avi", "*.divx"}},
        {"录像 (asf)", {"*.asf"}},
        {"All files", {"*.*"}},
    };
    dialog.ShowOpen();
    dialog.ShowSave();

    ASSERT_EQ(chooser->fileRequests().size(), 2u);
    for (const FileChooserRequest& request : chooser->fileRequests()) {
        EXPECT_EQ(request.filters, expected);
        EXPECT_EQ(request.selectedFilter, 0u);
    }
    EXPECT_EQ(dialog.record().nFilterIndex, 1);
}

TEST_F(CommonDialogTest, titleAndFolder_reachTheChooser_andReadBackWithoutNuls) {
    dialog.ShowOpen();
    EXPECT_FALSE(chooser->lastFileRequest().title.has_value());
    EXPECT_FALSE(chooser->lastFileRequest().initialDir.has_value());
    EXPECT_EQ(chooser->lastFileRequest().mode, Mode::Open);

    dialog.setDialogTitle(QString::fromUtf8("打开"));
    dialog.setInitDir("/media/rec");
    EXPECT_EQ(dialog.DialogTitle(), QString::fromUtf8("打开"));
    EXPECT_EQ(dialog.InitDir(), "/media/rec");
    EXPECT_EQ(*dialog.record().lpstrInitialDir, QString("/media/rec") + QChar(u'\0'));
    dialog.ShowSave();

    const FileChooserRequest& request = chooser->lastFileRequest();
    EXPECT_EQ(request.mode, Mode::Save);
    EXPECT_EQ(request.title, "打开");
    EXPECT_EQ(request.initialDir, "/media/rec");
    EXPECT_TRUE(request.confirmOverwrite);
}

TEST_F(CommonDialogTest, getFolderName_returnsEmptyOnCancelAndThePathOnConfirm) {
    chooser->willCancel();
    EXPECT_EQ(dialog.GetFolderName(QString::fromUtf8("选择文件夹")), "");
    chooser->willConfirm("/");
    EXPECT_EQ(dialog.GetFolderName("Folder"), "/");
    chooser->willConfirm("/media/录像");
    EXPECT_EQ(dialog.GetFolderName("Folder"), QString::fromUtf8("/media/录像"));

    ASSERT_EQ(chooser->folderRequests().size(), 3u);
    EXPECT_EQ(chooser->folderRequests()[0].title, "选择文件夹");
    EXPECT_TRUE(chooser->fileRequests().empty());
    // The folder browser leaves the file dialog's record alone.
    EXPECT_EQ(dialog.record().lpstrFile, nuls(1024));
}

TEST_F(CommonDialogTest, getFolderName_givesNoPath_whenPathExceedsItsBuffer) {
    const std::string fitting = "/" + std::string(258, 'd');  // 259 bytes + NUL
    chooser->willConfirm(fitting);
    EXPECT_EQ(dialog.GetFolderName("t").toStdString(), fitting);
    chooser->willConfirm(fitting + "d");
    EXPECT_EQ(dialog.GetFolderName("t"), "");
}

TEST_F(CommonDialogTest, newDialog_usesTheProcessWideChooser) {
    test::ScopedFakeFileChooser installed;
    installed->willConfirm("/x.asf");
    CommonDialog fromDefault;
    fromDefault.ShowOpen();
    EXPECT_EQ(fromDefault.FileName(), "/x.asf");
    EXPECT_EQ(installed->fileRequests().size(), 1u);
    EXPECT_TRUE(chooser->fileRequests().empty());
}

}  // namespace
}  // namespace corvid
