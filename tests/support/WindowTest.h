#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
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

    // Copies a recording into the folder as `name`.
    void copy(const std::string& from, const QString& name);
    // Shows the window on the folder (or on `path`) and expects `lines` lines in its
    // recording list.
    void showOnFolder(int lines, const QString& path = {});
    // Clicks a line of the recording list with the mouse.
    // Clicks the line and waits until the recording's files are open (they open in the
    // background when slow), as a reviewer waits for the pictures.
    void clickLine(const QString& line);
    void clickLineWithoutWaiting(const QString& line);
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {});

    QTemporaryDir folder;
    std::unique_ptr<Form1> form;
};

}  // namespace corvid::test
