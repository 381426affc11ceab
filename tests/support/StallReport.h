#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <memory>

namespace corvid::test {

class EventLoopProbe;

// Measures the longest stall of the event loop in each test and appends it to a file, one
// line per test: how long the window could not answer while the test's actions ran. Set
// CORVID_STALL_REPORT to the file's name to have every suite report (see TestMain).
class StallReport : public ::testing::EmptyTestEventListener {
public:
    explicit StallReport(QString file);
    ~StallReport() override;

    void OnTestStart(const ::testing::TestInfo& test) override;
    void OnTestEnd(const ::testing::TestInfo& test) override;

private:
    QString file_;
    std::unique_ptr<EventLoopProbe> probe_;
};

}  // namespace corvid::test
