#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "player/IFileStorage.h"

namespace corvid::test {

// Storage that fails on purpose, over real storage: the opens and reads of the files a test
// picks hang, deaf to any interrupt, until the test lets them go, as on a network share that
// stops answering; or they fail. It counts what it held and the files left open.
class FaultyStorage : public IFileStorage, public std::enable_shared_from_this<FaultyStorage> {
public:
    enum class Mode { Answers, Hangs, Fails };

    static std::shared_ptr<FaultyStorage> over(std::shared_ptr<IFileStorage> real);
    // Over the local file system.
    static std::shared_ptr<FaultyStorage> local();

    // From now on the files opened for `use` (any when empty) whose path ends in `name`
    // (any when empty) answer as `mode` says; calls held until now go on as it says.
    void set(Mode mode, std::optional<Use> use = std::nullopt, const std::string& name = {});
    // Calls held so far.
    int hung() const { return hung_.load(); }
    // Files open now whose path ends in `name` (any when empty).
    int openFiles(const std::string& name = {}) const;

    std::unique_ptr<IStoredFile> open(const std::string& path, Use use) override;

private:
    class File;

    explicit FaultyStorage(std::shared_ptr<IFileStorage> real) : real_(std::move(real)) {}
    // Holds a call while the file hangs; false when it fails.
    bool answers(const std::string& path, Use use);
    bool picked(const std::string& path, Use use) const;
    void opened(const std::string& path, bool open);

    std::shared_ptr<IFileStorage> real_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Mode mode_ = Mode::Answers;
    std::optional<Use> use_;
    std::string name_;
    std::atomic<int> hung_{0};
    std::multiset<std::string> open_;
};

}  // namespace corvid::test
