#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/FileChooser.h"
#include "platform/files/IFileChooser.h"

namespace corvid::test {

// A file chooser that answers from a script instead of a user and records every request.
// Unscripted requests are cancelled.
class FakeFileChooser : public IFileChooser {
public:
    struct FolderRequest {
        std::string title;
        std::optional<std::string> initialDir;
    };

    // The next chooser run confirms this path.
    void willConfirm(std::string path) { answers_.emplace_back(std::move(path)); }
    // The next chooser run is cancelled.
    void willCancel() { answers_.emplace_back(std::nullopt); }

    std::optional<std::string> chooseFile(const FileChooserRequest& request) override;
    std::optional<std::string> chooseFolder(const std::string& title,
                                            const std::optional<std::string>& initialDir) override;

    const std::vector<FileChooserRequest>& fileRequests() const { return fileRequests_; }
    const std::vector<FolderRequest>& folderRequests() const { return folderRequests_; }
    const FileChooserRequest& lastFileRequest() const { return fileRequests_.back(); }

private:
    std::optional<std::string> nextAnswer();

    std::deque<std::optional<std::string>> answers_;
    std::vector<FileChooserRequest> fileRequests_;
    std::vector<FolderRequest> folderRequests_;
};

// Installs a fresh FakeFileChooser as the process-wide chooser while alive.
class ScopedFakeFileChooser {
public:
    ScopedFakeFileChooser() : fake_(std::make_shared<FakeFileChooser>()), scope_(fake_) {}
    FakeFileChooser& operator*() const { return *fake_; }
    FakeFileChooser* operator->() const { return fake_.get(); }
    std::shared_ptr<FakeFileChooser> get() const { return fake_; }

private:
    std::shared_ptr<FakeFileChooser> fake_;
    FileChooser::Scoped scope_;
};

}  // namespace corvid::test
