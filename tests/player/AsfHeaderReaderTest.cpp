#include "player/AsfHeaderReader.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "support/TestMedia.h"

namespace corvid {
namespace {

using namespace std::chrono;
using test::MediaRecipe;
using test::TestMedia;
using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 16> kHeaderGuid = {
    0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr std::array<std::uint8_t, 16> kFilePropertiesGuid = {
    0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11, 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::array<std::uint8_t, 16> kOtherGuid = {
    0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11, 0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

void putLe64(Bytes& bytes, std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t ticksOf(system_clock::time_point t) {
    return kUnixEpochTicks + static_cast<std::uint64_t>(
                                 duration_cast<nanoseconds>(t.time_since_epoch()).count() / 100);
}

// An object: GUID, size, `payload` zero bytes.
Bytes object(const std::array<std::uint8_t, 16>& guid, std::size_t payload) {
    Bytes bytes(guid.begin(), guid.end());
    bytes.resize(24 + payload);
    putLe64(bytes, 16, bytes.size());
    return bytes;
}

Bytes fileProperties(std::uint64_t creationTicks) {
    Bytes bytes = object(kFilePropertiesGuid, 80);
    putLe64(bytes, 48, creationTicks);
    return bytes;
}

// A header object holding `objects` in order, its size and count filled in.
Bytes header(const std::vector<Bytes>& objects) {
    Bytes bytes(kHeaderGuid.begin(), kHeaderGuid.end());
    bytes.resize(30);
    bytes[24] = static_cast<std::uint8_t>(objects.size());
    bytes[28] = 1;
    bytes[29] = 2;
    for (const Bytes& o : objects) bytes.insert(bytes.end(), o.begin(), o.end());
    putLe64(bytes, 16, bytes.size());
    return bytes;
}

system_clock::time_point at(int y, unsigned m, unsigned d, int hh, int mm, int ss, int ms = 0) {
    return sys_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss} +
           milliseconds{ms};
}

class AsfHeaderReaderTest : public ::testing::Test {
protected:
    const system_clock::time_point now = at(2024, 3, 1, 12, 0, 0);
    const system_clock::time_point recorded = at(2021, 6, 15, 10, 20, 30, 250);

    std::optional<system_clock::time_point> read(const Bytes& bytes) const {
        return AsfHeaderReader::creationTime(bytes, now);
    }
};

TEST_F(AsfHeaderReaderTest, creationTime_readsTheDateTheWriterRecorded_whenGenerated) {
    for (const char* stamp : {"2021-06-15T10:20:30.250Z", "1999-12-31T23:59:59.999Z"}) {
        MediaRecipe recipe;
        recipe.seconds = 1;
        recipe.audio = false;
        recipe.creationTime = stamp;
        const auto created = AsfHeaderReader::creationTime(TestMedia::make(recipe));
        ASSERT_TRUE(created.has_value()) << stamp;
        const auto expected = std::string(stamp) == "2021-06-15T10:20:30.250Z"
                                  ? recorded
                                  : at(1999, 12, 31, 23, 59, 59, 999);
        EXPECT_EQ(duration_cast<milliseconds>(created->time_since_epoch()),
                  duration_cast<milliseconds>(expected.time_since_epoch()))
            << stamp;
    }
}

TEST_F(AsfHeaderReaderTest, creationTime_isEmpty_whenTheWriterLeftTheDateUnset) {
    MediaRecipe recipe;
    recipe.seconds = 1;
    recipe.audio = false;
    // The writer puts the Unix epoch there, which no recording can have.
    EXPECT_FALSE(AsfHeaderReader::creationTime(TestMedia::make(recipe)).has_value());
}

TEST_F(AsfHeaderReaderTest, creationTime_matchesTheRecordedDates_ofRealSamples) {
    const std::string dir = CORVID_SAMPLES_DIR;
    // The File Properties object after a 7 KB object, after two small ones, first.
    EXPECT_EQ(AsfHeaderReader::creationTime(dir + "/exiftool_ASF.wmv"),
              at(2004, 10, 28, 17, 23, 34, 174));
    EXPECT_EQ(AsfHeaderReader::creationTime(dir + "/moon_ElephantsDream.en_fr.wmv"),
              at(2008, 11, 4, 11, 46, 44, 950));
    EXPECT_EQ(AsfHeaderReader::creationTime(dir + "/taglib_lossless.wma"),
              at(2015, 5, 21, 3, 45, 49, 696));
    // Zero, the Unix epoch, an object whose size is smaller than its own preamble, a
    // header with no File Properties object.
    EXPECT_FALSE(AsfHeaderReader::creationTime(dir + "/mimetype_asf_full.asf"));
    EXPECT_FALSE(AsfHeaderReader::creationTime(dir + "/noplugin_sample.wmv"));
    EXPECT_FALSE(AsfHeaderReader::creationTime(dir + "/tinytag_invalid_object_size.wma"));
    EXPECT_FALSE(
        AsfHeaderReader::creationTime(dir + "/musicmetadata_max-numberOfObjectHeaders.wma"));
}

TEST_F(AsfHeaderReaderTest, creationTime_findsTheDate_wheneverTheFilePropertiesObjectIsWhole) {
    const Bytes whole =
        header({object(kOtherGuid, 40), fileProperties(ticksOf(recorded)), object(kOtherGuid, 10)});
    const std::size_t propertiesEnd = 30 + 64 + 104;
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
        if (length >= propertiesEnd)
            EXPECT_EQ(read(cut), recorded) << length;
        else
            EXPECT_FALSE(read(cut)) << length;
    }
}

TEST_F(AsfHeaderReaderTest, creationTime_isEmpty_whenObjectSizesLie) {
    const Bytes good = header({object(kOtherGuid, 40), fileProperties(ticksOf(recorded))});
    ASSERT_EQ(read(good), recorded);

    // The object before the File Properties: zero, too small to hold itself, one byte
    // too long, reaching past the header, and sizes that overflow an offset.
    for (const std::uint64_t size :
         {std::uint64_t{0}, std::uint64_t{23}, std::uint64_t{65}, std::uint64_t{100000},
          ~std::uint64_t{0}, ~std::uint64_t{0} - 20, std::uint64_t{1} << 63}) {
        Bytes damaged = good;
        putLe64(damaged, 30 + 16, size);
        EXPECT_FALSE(read(damaged)) << size;
    }
    // The File Properties object itself: smaller than its fixed fields, or longer than
    // the header.
    for (const std::uint64_t size :
         {std::uint64_t{56}, std::uint64_t{103}, std::uint64_t{105}, ~std::uint64_t{0}}) {
        Bytes damaged = good;
        putLe64(damaged, 30 + 64 + 16, size);
        EXPECT_FALSE(read(damaged)) << size;
    }
    // The header's own size: smaller than its preamble, or cutting the File Properties.
    for (const std::uint64_t size :
         {std::uint64_t{0}, std::uint64_t{29}, std::uint64_t{30 + 64 + 103}}) {
        Bytes damaged = good;
        putLe64(damaged, 16, size);
        EXPECT_FALSE(read(damaged)) << size;
    }
    // A header that claims more than there is is read as far as it goes.
    Bytes longer = good;
    putLe64(longer, 16, ~std::uint64_t{0});
    EXPECT_EQ(read(longer), recorded);
}

// Whether the writer finished the file: the size it recorded, and whether it was a live
// stream's header (whose sizes do not hold).
TEST_F(AsfHeaderReaderTest, fileProperties_readsTheRecordedSizeAndBroadcastFlag) {
    Bytes properties = fileProperties(ticksOf(recorded));
    putLe64(properties, 40, 6007475);
    properties[88] = 0x02;  // seekable only
    auto read = AsfHeaderReader::fileProperties(header({object(kOtherGuid, 40), properties}), now);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size, 6007475u);
    EXPECT_FALSE(read->broadcast);
    EXPECT_EQ(read->created, recorded);

    properties[88] = 0x03;
    read = AsfHeaderReader::fileProperties(header({properties}), now);
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->broadcast);

    // A generated recording's header holds its own size.
    MediaRecipe recipe;
    recipe.seconds = 1;
    const std::string path = TestMedia::make(recipe);
    std::ifstream in(path, std::ios::binary);
    const Bytes head((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    read = AsfHeaderReader::fileProperties(head, now);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size, std::filesystem::file_size(path));
    EXPECT_FALSE(read->broadcast);
}

TEST_F(AsfHeaderReaderTest, creationTime_isEmpty_whenTheBytesAreNoAsfHeader) {
    Bytes notAsf = header({fileProperties(ticksOf(recorded))});
    notAsf[3] ^= 0xFF;
    EXPECT_FALSE(read(notAsf));
    EXPECT_FALSE(read(Bytes{}));
    // The File Properties GUID at the top level, not inside a header.
    EXPECT_FALSE(read(fileProperties(ticksOf(recorded))));
}

TEST_F(AsfHeaderReaderTest, creationTime_keepsOnlyPlausibleDates) {
    const auto withDate = [&](std::uint64_t ticks) {
        return read(header({fileProperties(ticks)}));
    };
    EXPECT_FALSE(withDate(0));
    EXPECT_FALSE(withDate(kUnixEpochTicks));
    EXPECT_FALSE(withDate(ticksOf(at(1989, 12, 31, 23, 59, 59))));
    EXPECT_EQ(withDate(ticksOf(at(1990, 1, 1, 0, 0, 0))), at(1990, 1, 1, 0, 0, 0));
    // A recorder clock a little ahead is believed; a day and more is not.
    EXPECT_EQ(withDate(ticksOf(now + hours(23))), now + hours(23));
    EXPECT_FALSE(withDate(ticksOf(now + hours(25))));
    EXPECT_FALSE(withDate(~std::uint64_t{0}));
    // Sub-millisecond ticks are kept.
    EXPECT_EQ(withDate(ticksOf(recorded) + 7), recorded + nanoseconds(700));
}

TEST_F(AsfHeaderReaderTest, creationTime_isEmpty_forFilesThatCannotBeRead) {
    EXPECT_FALSE(AsfHeaderReader::creationTime(TestMedia::missing()));
    EXPECT_FALSE(AsfHeaderReader::creationTime(TestMedia::garbage()));
    // A header larger than the reader takes, with a good date inside: refused unread.
    const std::string path = TestMedia::directory() + "/asf-header-too-large.asf";
    Bytes huge = header({fileProperties(ticksOf(at(2020, 1, 1, 0, 0, 0))),
                         object(kOtherGuid, AsfHeaderReader::kMaxHeaderBytes)});
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(huge.data()),
               static_cast<std::streamsize>(huge.size()));
    EXPECT_FALSE(AsfHeaderReader::creationTime(path));
    EXPECT_TRUE(read(huge).has_value());
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace corvid
