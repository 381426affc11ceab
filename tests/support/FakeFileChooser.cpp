#include "support/FakeFileChooser.h"

namespace corvid::test {

std::optional<std::string> FakeFileChooser::nextAnswer() {
    if (answers_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

std::optional<std::string> FakeFileChooser::chooseFile(const FileChooserRequest& request) {
    fileRequests_.push_back(request);
    return nextAnswer();
}

std::optional<std::string> FakeFileChooser::chooseFolder(
    const std::string& title, const std::optional<std::string>& initialDir) {
    folderRequests_.push_back({title, initialDir});
    return nextAnswer();
}

}  // namespace corvid::test
