#include "support/StallReport.h"

#include <QFile>
#include <QTextStream>

#include "support/EventLoopProbe.h"

namespace corvid::test {

StallReport::StallReport(QString file) : file_(std::move(file)) {}

StallReport::~StallReport() = default;

void StallReport::OnTestStart(const ::testing::TestInfo&) {
    probe_ = std::make_unique<EventLoopProbe>();
}

void StallReport::OnTestEnd(const ::testing::TestInfo& test) {
    if (!probe_) return;
    QFile out(file_);
    if (out.open(QIODevice::Append | QIODevice::Text)) {
        QTextStream(&out) << test.test_suite_name() << '.' << test.name() << ' '
                          << probe_->worstMs() << '\n';
    }
    probe_.reset();
}

}  // namespace corvid::test
