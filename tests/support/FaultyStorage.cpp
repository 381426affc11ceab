#include "support/FaultyStorage.h"

#include <algorithm>
#include <cerrno>

#include "player/LocalFileStorage.h"
#include "util/Failure.h"

namespace corvid::test {

class FaultyStorage::File : public IStoredFile {
public:
    File(std::shared_ptr<FaultyStorage> storage, std::unique_ptr<IStoredFile> real,
         std::string path, Use use)
        : storage_(std::move(storage)), real_(std::move(real)), path_(std::move(path)), use_(use) {
        storage_->opened(path_, true);
    }
    ~File() override { storage_->opened(path_, false); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int read(std::int64_t offset, std::span<std::uint8_t> into) override {
        return storage_->answers(path_, use_) ? real_->read(offset, into) : -EIO;
    }
    std::int64_t size() override { return storage_->answers(path_, use_) ? real_->size() : -EIO; }

private:
    std::shared_ptr<FaultyStorage> storage_;
    std::unique_ptr<IStoredFile> real_;
    std::string path_;
    Use use_;
};

std::shared_ptr<FaultyStorage> FaultyStorage::over(std::shared_ptr<IFileStorage> real) {
    return std::shared_ptr<FaultyStorage>(new FaultyStorage(std::move(real)));
}

std::shared_ptr<FaultyStorage> FaultyStorage::local() {
    return over(std::make_shared<LocalFileStorage>());
}

void FaultyStorage::set(Mode mode, std::optional<Use> use, const std::string& name) {
    {
        std::lock_guard lock(mutex_);
        mode_ = mode;
        use_ = use;
        name_ = name;
    }
    changed_.notify_all();
}

namespace {

bool endsWith(const std::string& path, const std::string& name) {
    return path.size() >= name.size() &&
           path.compare(path.size() - name.size(), name.size(), name) == 0;
}

}  // namespace

void FaultyStorage::opened(const std::string& path, bool open) {
    std::lock_guard lock(mutex_);
    if (open) {
        open_.insert(path);
    } else {
        open_.erase(open_.find(path));
    }
}

int FaultyStorage::openFiles(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(
        open_.begin(), open_.end(), [&](const std::string& path) { return endsWith(path, name); }));
}

bool FaultyStorage::picked(const std::string& path, Use use) const {
    return (!use_ || *use_ == use) && endsWith(path, name_);
}

bool FaultyStorage::answers(const std::string& path, Use use) {
    std::unique_lock lock(mutex_);
    if (picked(path, use) && mode_ == Mode::Hangs) {
        ++hung_;
        changed_.wait(lock, [&] { return !picked(path, use) || mode_ != Mode::Hangs; });
    }
    return !picked(path, use) || mode_ != Mode::Fails;
}

std::unique_ptr<IStoredFile> FaultyStorage::open(const std::string& path, Use use) {
    if (!answers(path, use)) throw Failure(Failure::CannotOpen, "Cannot open " + path);
    return std::make_unique<File>(shared_from_this(), real_->open(path, use), path, use);
}

}  // namespace corvid::test
