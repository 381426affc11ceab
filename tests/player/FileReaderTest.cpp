#include "player/FileReader.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <vector>

#include "player/MediaSource.h"
#include "player/MemoryFileStorage.h"
#include "support/Eventually.h"
#include "support/FaultyStorage.h"
#include "support/TestMedia.h"
#include "util/Failure.h"

namespace corvid {
namespace {

using namespace std::chrono_literals;
using test::FaultyStorage;
using Use = IFileStorage::Use;

MemoryFileStorage::Bytes bytesOf(const std::string& text) {
    return std::make_shared<const std::vector<std::uint8_t>>(text.begin(), text.end());
}

MemoryFileStorage::Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::make_shared<const std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                             std::istreambuf_iterator<char>());
}

// The reader over files served from memory, which FaultyStorage can make hang or fail.
class FileReaderTest : public ::testing::Test {
protected:
    FileReaderTest() { memory->add("/m/file", bytesOf("0123456789")); }

    std::string readText(FileReader& reader, std::int64_t offset, int size) {
        std::string text(static_cast<std::size_t>(size), '\0');
        const int read = reader.read(offset, reinterpret_cast<std::uint8_t*>(text.data()), size);
        return read < 0 ? "error" : text.substr(0, static_cast<std::size_t>(read));
    }

    // Once the storage answers, the thread left behind closes the file and lets go.
    void expectAllFreedOnceTheStorageAnswers() {
        storage->set(FaultyStorage::Mode::Answers);
        EXPECT_TRUE(test::eventually([&] { return storage.use_count() == 1; }));
        EXPECT_EQ(storage->openFiles(), 0);
    }

    std::shared_ptr<MemoryFileStorage> memory = std::make_shared<MemoryFileStorage>();
    std::shared_ptr<FaultyStorage> storage = FaultyStorage::over(memory);
};

TEST_F(FileReaderTest, read_answersAsTheStorageDoes_toTheEndAndNoFurther) {
    FileReader reader(storage, "/m/file", Use::Playing);
    reader.waitUntilOpen();
    EXPECT_EQ(reader.size(), 10);
    EXPECT_EQ(readText(reader, 2, 4), "2345");
    EXPECT_EQ(readText(reader, 8, 10), "89");
    EXPECT_EQ(readText(reader, 10, 4), "");

    FileReader missing(storage, "/m/none", Use::Playing);
    EXPECT_THROW(missing.waitUntilOpen(), Failure);
    EXPECT_EQ(readText(missing, 0, 4), "error");
}

TEST_F(FileReaderTest, interrupt_givesUpAReadTheStorageHolds_andTheFileIsClosedWhenItAnswers) {
    auto reader = std::make_unique<FileReader>(storage, "/m/file", Use::Playing);
    reader->waitUntilOpen();
    storage->set(FaultyStorage::Mode::Hangs);
    auto read = std::async(std::launch::async, [&] { return readText(*reader, 0, 4); });
    ASSERT_TRUE(test::eventually([&] { return storage->hung() == 1; }));
    QElapsedTimer waited;
    waited.start();
    reader->interrupt();
    EXPECT_EQ(read.get(), "error");
    EXPECT_LT(waited.elapsed(), 1000);
    // Given up for good, without asking the storage again.
    EXPECT_EQ(reader->size(), FileReader::kInterrupted);
    EXPECT_EQ(storage->hung(), 1);
    reader.reset();
    EXPECT_EQ(storage->openFiles(), 1);
    expectAllFreedOnceTheStorageAnswers();
}

TEST_F(FileReaderTest, limits_giveUpAtTheDeadline_orOnACallLongerThanTheStallLimit) {
    storage->set(FaultyStorage::Mode::Hangs, Use::EndScan);
    auto opening = std::make_unique<FileReader>(storage, "/m/file", Use::EndScan);
    opening->setDeadline(std::chrono::steady_clock::now() + 100ms);
    EXPECT_THROW(opening->waitUntilOpen(), Failure);
    EXPECT_FALSE(opening->stalled());
    opening.reset();

    storage->set(FaultyStorage::Mode::Answers);
    auto playing = std::make_unique<FileReader>(storage, "/m/file", Use::Playing);
    playing->setStallLimit(100ms);
    EXPECT_EQ(readText(*playing, 0, 2), "01");
    storage->set(FaultyStorage::Mode::Hangs, Use::Playing);
    EXPECT_EQ(playing->read(0, nullptr, 2), FileReader::kStalled);
    EXPECT_TRUE(playing->stalled());
    playing.reset();
    expectAllFreedOnceTheStorageAnswers();
}

// A recording served from memory opens as from disk; the date in its header is read with
// the open.
TEST(MediaSourceFromMemoryTest, opensARecording_andReadsItsDate) {
    test::MediaRecipe recipe;
    recipe.creationTime = "2021-06-15T10:20:30.250Z";
    const std::string path = test::TestMedia::make(recipe);
    auto memory = std::make_shared<MemoryFileStorage>();
    memory->add("/m/a.asf", fileBytes(path));
    MediaSource source(memory, "/m/a.asf", 10s);
    std::vector<PacketHandle> audio;
    EXPECT_TRUE(source.decodeFirstPicture(audio));
    source.finishOpening();
    EXPECT_NEAR(source.duration(), 4.0, 0.2);
    EXPECT_EQ(source.openedSize(), static_cast<std::int64_t>(fileBytes(path)->size()));
    ASSERT_TRUE(source.recordedAt());
    EXPECT_EQ(source.recordedAt(), AsfHeaderReader::creationTime(path));
}

}  // namespace
}  // namespace corvid
