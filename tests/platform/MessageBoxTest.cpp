#include "platform/widgets/MessageBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include "support/MessageBoxRecorder.h"
#include "support/QtPrinters.h"

namespace corvid {
namespace {

class MessageBoxTest : public ::testing::Test {};

TEST_F(MessageBoxTest, show_goesToTheInstalledHandlerAndBackToThePreviousOne) {
    QWidget owner;
    std::vector<std::pair<QWidget*, QString>> outer;
    MessageBox::Scoped outerScope(
        [&](QWidget* parent, const QString& text) { outer.emplace_back(parent, text); });
    {
        test::MessageBoxRecorder recorder;
        MessageBox::show(&owner, QStringLiteral("第一个端口文件不存在"));
        MessageBox::show(nullptr, QStringLiteral("second"));
        EXPECT_EQ(recorder.texts(),
                  QStringList({QStringLiteral("第一个端口文件不存在"), QStringLiteral("second")}));
        EXPECT_TRUE(outer.empty());
    }
    MessageBox::show(&owner, QStringLiteral("after"));
    ASSERT_EQ(outer.size(), 1u);
    EXPECT_EQ(outer[0].first, &owner);
    EXPECT_EQ(outer[0].second, QStringLiteral("after"));
}

TEST_F(MessageBoxTest, recorder_runsItsCallbackWhileTheBoxIsShown) {
    test::MessageBoxRecorder recorder;
    QStringList seenDuringShow;
    recorder.onShow([&](QWidget*, const QString& text) { seenDuringShow << text; });
    MessageBox::show(nullptr, QStringLiteral("x"));
    EXPECT_EQ(seenDuringShow, QStringList({QStringLiteral("x")}));
}

// The real box: modal, the application's title, the text as given, no icon, OK alone.
TEST_F(MessageBoxTest, show_realBoxIsModalWithTitleTextAndOnlyOk) {
    QWidget owner;
    owner.show();
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QStringList buttons;
    bool modal = false;
    Qt::TextFormat format = Qt::RichText;
    bool ownerKeptProcessing = false;
    QTimer ownerTimer;
    QObject::connect(&ownerTimer, &QTimer::timeout, [&] { ownerKeptProcessing = true; });
    ownerTimer.start(0);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        closer.stop();
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        modal = box->isModal();
        format = box->textFormat();
        for (QAbstractButton* button : box->buttons()) buttons << button->text();
        box->button(QMessageBox::Ok)->click();
    });
    closer.start(10);

    MessageBox::show(&owner, QStringLiteral("<b>第一个端口文件不存在</b>"));

    EXPECT_EQ(title, QStringLiteral("Corvid"));
    EXPECT_EQ(text, QStringLiteral("<b>第一个端口文件不存在</b>"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_TRUE(modal);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(buttons.size(), 1);
    EXPECT_TRUE(ownerKeptProcessing);
}

}  // namespace
}  // namespace corvid
