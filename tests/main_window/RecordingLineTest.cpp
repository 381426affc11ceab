#include "main_window/RecordingLine.h"

#include <gtest/gtest.h>

#include <QListWidgetItem>
#include <memory>

#include "support/QtPrinters.h"

namespace corvid {
namespace {

class RecordingLineTest : public ::testing::Test {
protected:
    // The partner names asked about, and the answer given.
    QStringList asked;
    bool partnerThere = false;

    std::optional<RecordingLine> fromFile(const QString& name) {
        return RecordingLine::ofFile(name, [this](const QString& partner) {
            asked << partner;
            return partnerThere;
        });
    }

    static std::unique_ptr<QListWidgetItem> item(const QString& text) {
        return std::make_unique<QListWidgetItem>(text);
    }
};

TEST_F(RecordingLineTest, ofFile_namesCameraAndPartner_bySuffixInAnyLetterCase) {
    partnerThere = true;
    auto line = fromFile("Day 1-1.ASF");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->kind(), RecordingLine::Kind::Pair);
    EXPECT_EQ(line->baseName(), "Day 1");
    EXPECT_EQ(line->fileNames(), QStringList({"Day 1-1.asf", "Day 1-2.asf"}));
    EXPECT_FALSE(fromFile("Day 1-2.asf"));  // the pair's line comes from camera 1
    EXPECT_EQ(asked, QStringList({"Day 1-2.asf", "Day 1-1.asf"}));

    partnerThere = false;
    asked.clear();
    EXPECT_EQ(fromFile("a-1.asf")->kind(), RecordingLine::Kind::Camera1Only);
    line = fromFile("b-2.Asf");
    EXPECT_EQ(line->kind(), RecordingLine::Kind::Camera2Only);
    EXPECT_EQ(line->fileNames(), QStringList{"b-2.asf"});

    // A suffix with nothing before it, a third camera and a plain name are files of their own;
    // no partner is asked about for them.
    asked.clear();
    for (const QString name : {"-1.asf", "c-3.asf", "clip.ASF"}) {
        line = fromFile(name);
        ASSERT_TRUE(line);
        EXPECT_EQ(line->kind(), RecordingLine::Kind::Single);
        EXPECT_EQ(line->fileNames(), QStringList{line->baseName() + ".asf"});
    }
    EXPECT_EQ(fromFile("-1.asf")->baseName(), "-1");
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(RecordingLineTest, of_readsKeptData_beforeTextThatHoldsTab) {
    const std::unique_ptr<QListWidgetItem> kept(
        RecordingLine(RecordingLine::Kind::Pair, "a\tb").toItem());
    EXPECT_EQ(kept->text(), "AB\ta\tb");
    const auto line = RecordingLine::of(kept.get());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->marker(), "AB");
    EXPECT_EQ(line->fileNames(), QStringList({"a\tb-1.asf", "a\tb-2.asf"}));
}

TEST_F(RecordingLineTest, of_readsText_andGivesNoKind_forUnknownMarker) {
    EXPECT_FALSE(RecordingLine::of(nullptr));
    EXPECT_FALSE(RecordingLine::of(item("no tab").get()));

    const auto typed = RecordingLine::of(item(" B\tcam").get());
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->kind(), RecordingLine::Kind::Camera2Only);
    EXPECT_EQ(typed->fileNames(), QStringList{"cam-2.asf"});

    // Markers are exact: the lower-case form is no marker the scan writes.
    const auto unknown = RecordingLine::of(item("ab\tcam").get());
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(unknown->kind());
    EXPECT_TRUE(unknown->fileNames().isEmpty());
}

}  // namespace
}  // namespace corvid
