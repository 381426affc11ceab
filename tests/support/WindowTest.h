#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "main_window/Form1.h"

namespace corvid::test {

// A fixture for tests that drive the main window over a temporary folder of recordings as
// a user would: files copied in, the window shown at its large size on the folder, lines
// clicked, keys pressed where the focus is. The window goes before the fixture's members.
class WindowTest : public ::testing::Test {
protected:
    void TearDown() override { form.reset(); }

    // Waits, the event loop running its timers between looks, until the condition holds.
    static bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000);

    // Copies a recording into the folder as `name`.
    void copy(const std::string& from, const QString& name);
    // Copies two cameras' recordings into the folder as the pair `stem`.
    void copyPair(const QString& stem, const std::string& camera1, const std::string& camera2);
    // Creates empty recording files, for graphs that do not read them.
    void touch(std::initializer_list<QString> names);
    std::string path(const QString& name) const { return folder.filePath(name).toStdString(); }

    // Shows the window, at the size it starts with, on the folder (or on `path`).
    void showWindow(const QString& path = {});
    // Shows the window at its large size on the folder (or on `path`) and expects `lines`
    // lines in its recording list.
    void showOnFolder(int lines, const QString& path = {});
    // Clicks the line and waits until the recording's files are open (they open in the
    // background when slow), as a reviewer waits for the pictures.
    void clickLine(const QString& line);
    void clickLineWithoutWaiting(const QString& line);
    // Clicks the line and waits until both panels show a picture.
    void load(const QString& line);
    // Selects the line as the keyboard does, which runs the click handler at once.
    void selectLine(const QString& line);
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {});

    QVRControl* panel(int number) const;
    // The frame number a panel's picture carries, or -1.
    int frame(int number) const;
    double position(int number) const;

    QTemporaryDir folder;
    std::unique_ptr<Form1> form;

private:
    void create(const QString& path, bool large);
};

}  // namespace corvid::test
