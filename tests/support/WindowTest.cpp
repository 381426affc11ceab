#include "support/WindowTest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTest>

#include "media_engine/clsDShowControl.h"
#include "platform/file_views/FolderList.h"
#include "player_control/QVRControl.h"
#include "recording_pair/RecordingPair.h"
#include "support/Eventually.h"
#include "support/PictureReader.h"

namespace corvid::test {

bool WindowTest::waitFor(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds) return false;
        QTest::qWait(10);
    }
    return true;
}

void WindowTest::copy(const std::string& from, const QString& name) {
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(QString::fromStdString(from), folder.filePath(name)));
}

void WindowTest::copyPair(const QString& stem, const std::string& camera1,
                          const std::string& camera2) {
    copy(camera1, stem + "-1.asf");
    copy(camera2, stem + "-2.asf");
}

void WindowTest::touch(std::initializer_list<QString> names) {
    ASSERT_TRUE(folder.isValid());
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    }
}

void WindowTest::create(const QString& path, bool large) {
    form = std::make_unique<Form1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    if (large) {
        form->setWidth(10740);
        form->setHeight(10195);
    }
    form->DirList->setPath(path.isEmpty() ? folder.path() : path);
    QCoreApplication::processEvents();
}

void WindowTest::showWindow(const QString& path) {
    create(path, false);
}

void WindowTest::showOnFolder(int lines, const QString& path) {
    ASSERT_NO_FATAL_FAILURE(create(path, true));
    ASSERT_EQ(form->lsASF->count(), lines);
}

void WindowTest::clickLine(const QString& line) {
    clickLineWithoutWaiting(line);
    ASSERT_TRUE(eventually([&] { return !form->pair().opening(); }, 30000)) << line.toStdString();
}

void WindowTest::clickLineWithoutWaiting(const QString& line) {
    const auto items = form->lsASF->findItems(line, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << line.toStdString();
    form->lsASF->scrollToItem(items[0]);
    const QRect place = form->lsASF->visualItemRect(items[0]);
    QTest::mouseClick(form->lsASF->viewport(), Qt::LeftButton, {}, place.center());
}

void WindowTest::load(const QString& line) {
    clickLine(line);
    ASSERT_TRUE(waitFor([&] { return frame(1) >= 0 && frame(2) >= 0; })) << line.toStdString();
}

void WindowTest::selectLine(const QString& line) {
    const auto items = form->lsASF->findItems(line, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << line.toStdString();
    form->lsASF->setCurrentRow(-1);
    form->lsASF->setCurrentItem(items[0]);
}

void WindowTest::press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : form.get(), key, modifiers);
}

QVRControl* WindowTest::panel(int number) const {
    return number == 1 ? form->QVRControl1 : form->QVRControl2;
}

int WindowTest::frame(int number) const {
    return PictureReader::frameShownIn(panel(number)->PicVid);
}

double WindowTest::position(int number) const {
    return panel(number)->engine()->DS_GetPosition();
}

}  // namespace corvid::test
