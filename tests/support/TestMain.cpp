#include <gtest/gtest.h>

#include <QApplication>

#include "main_window/DefaultServices.h"
#include "support/StallReport.h"

// Widgets, timers and the video windows need a running application object.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Suites start from the real services; a test installs its fakes for a scope.
    corvid::installDefaultServices();
    ::testing::InitGoogleTest(&argc, argv);
    if (const QString report = qEnvironmentVariable("CORVID_STALL_REPORT"); !report.isEmpty())
        ::testing::UnitTest::GetInstance()->listeners().Append(
            new corvid::test::StallReport(report));
    return RUN_ALL_TESTS();
}
