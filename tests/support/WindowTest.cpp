#include "support/WindowTest.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QTest>

#include "platform/file_views/FolderList.h"
#include "recording_pair/RecordingPair.h"
#include "support/Eventually.h"

namespace corvid::test {

void WindowTest::copy(const std::string& from, const QString& name) {
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QFile::copy(QString::fromStdString(from), folder.filePath(name)));
}

void WindowTest::showOnFolder(int lines, const QString& path) {
    form = std::make_unique<Form1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->setWidth(10740);
    form->setHeight(10195);
    form->DirList->setPath(path.isEmpty() ? folder.path() : path);
    QCoreApplication::processEvents();
    ASSERT_EQ(form->lsASF->count(), lines);
}

void WindowTest::clickLine(const QString& line) {
    clickLineWithoutWaiting(line);
    ASSERT_TRUE(eventually([&] { return !form->pair().opening(); }, 30000)) << line.toStdString();
}

void WindowTest::clickLineWithoutWaiting(const QString& line) {
    const auto items = form->lsASF->findItems(line, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << line.toStdString();
    const QRect place = form->lsASF->visualItemRect(items[0]);
    QTest::mouseClick(form->lsASF->viewport(), Qt::LeftButton, {}, place.center());
}

void WindowTest::press(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : form.get(), key, modifiers);
}

}  // namespace corvid::test
