#include "support/BenchWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <stdexcept>
#include <thread>

#include "main_window/Form1.h"
#include "platform/file_views/FolderList.h"
#include "player_control/QVRControl.h"

namespace corvid::bench {

BenchWindow::BenchWindow(const QString& folder) : form_(std::make_unique<Form1>()) {
    form_->show();
    if (!QTest::qWaitForWindowExposed(form_.get())) throw std::runtime_error("No window");
    form_->setWidth(10740);  // the window's minimum outer size
    form_->setHeight(10195);
    form_->DirList->setPath(folder);
    QApplication::processEvents();
}

BenchWindow::~BenchWindow() = default;

QVRControl& BenchWindow::camera1() {
    return *form_->QVRControl1;
}
QVRControl& BenchWindow::camera2() {
    return *form_->QVRControl2;
}

void BenchWindow::clickLine(const QString& line) {
    const auto items = form_->lsASF->findItems(line, Qt::MatchExactly);
    if (items.size() != 1) throw std::runtime_error("Not listed: " + line.toStdString());
    const QRect place = form_->lsASF->visualItemRect(items[0]);
    QTest::mouseClick(form_->lsASF->viewport(), Qt::LeftButton, {}, place.center());
}

QPoint BenchWindow::barPoint(double fraction) const {
    return QPoint(static_cast<int>(fraction * (form_->P1->width() - 1)), form_->P1->height() / 2);
}

void BenchWindow::pressBar(double fraction) {
    QTest::mousePress(form_->P1, Qt::LeftButton, {}, barPoint(fraction));
}

void BenchWindow::moveOnBar(double fraction) {
    QTest::mouseMove(form_->P1, barPoint(fraction));
}

void BenchWindow::releaseBar(double fraction) {
    QTest::mouseRelease(form_->P1, Qt::LeftButton, {}, barPoint(fraction));
}

bool BenchWindow::waitUntil(const std::function<bool()>& condition, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

}  // namespace corvid::bench
