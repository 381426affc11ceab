#include "support/FaultyStorage.h"

#include <cerrno>

#include "platform/util/Failure.h"
#include "player/LocalFileStorage.h"

namespace corvid::test {

class FaultyStorage::File : public IStoredFile {
public:
    File(std::shared_ptr<FaultyStorage> storage, std::unique_ptr<IStoredFile> real,
         std::string path, Use use)
        : storage_(std::move(storage)), real_(std::move(real)), path_(std::move(path)), use_(use) {
        ++storage_->openFiles_;
    }
    ~File() override { --storage_->openFiles_; }
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

bool FaultyStorage::picked(const std::string& path, Use use) const {
    return (!use_ || *use_ == use) &&
           (name_.empty() || (path.size() >= name_.size() &&
                              path.compare(path.size() - name_.size(), name_.size(), name_) == 0));
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
