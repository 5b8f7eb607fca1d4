// Packs written as several gzip members that record their lengths: read back
// byte for byte by the loader, which inflates the members side by side, and
// by zlib's gzread; records that lie, damaged members, and members that the
// reach cuts.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <string>

#include "core/ByteWriter.h"
#include "support/PackFiles.h"
#include "support/TempDir.h"
#include "vfs/FileIo.h"
#include "vfs/GzipMembers.h"
#include "vfs/PackImage.h"
#include "vfs/PackWriter.h"
#include "vfs/Vfs.h"
#include "vfs/VfsFile.h"

using namespace kvx::vfs;
using kvx::test::gunzipFile;
using kvx::test::TempDir;

namespace {

constexpr size_t kMember = 64 * 1024;
constexpr size_t kAll = std::numeric_limits<size_t>::max();
// Where a member's recorded length sits: after the fixed header, the size of
// the extra field and the subfield's id and size.
constexpr size_t kRecordAt = 10 + 2 + 4;

// Entries whose sizes put member boundaries inside them, with bytes that
// compress like real data, neither all alike nor noise.
std::vector<PackInput> showInputs() {
    const size_t sizes[] = {150000, 3, 0, 90001, 200000, 70000};
    std::vector<PackInput> inputs;
    for (size_t i = 0; i < std::size(sizes); ++i) {
        PackInput in;
        in.name = "dir/e" + std::to_string(i);
        in.data.resize(sizes[i]);
        for (size_t k = 0; k < sizes[i]; ++k) {
            in.data[k] = static_cast<uint8_t>((k * k / 7 + k / 300 + i * 31) & 0xFF);
        }
        inputs.push_back(std::move(in));
    }
    return inputs;
}

std::string str(const uint8_t* p, size_t n) {
    return std::string(reinterpret_cast<const char*>(p), n);
}

class PackMembersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        content = *buildPackImage(inputs, nullptr);
        ASSERT_TRUE(writePackFile(dir / "show.kvx", content, false, nullptr, kMember));
        file = *readFile(dir / "show.kvx");
        members = *findRecordedMembers(file.data(), file.size(), kAll);
    }
    void TearDown() override { Vfs::reset(); }

    std::string put(const std::string& name, const Bytes& bytes) {
        dir.write(name, bytes);
        return dir / name;
    }
    // The pack's file with len bytes at the given position changed.
    Bytes damaged(size_t at, size_t len) const {
        Bytes b = file;
        for (size_t i = at; i < at + len; ++i) {
            b[i] = static_cast<uint8_t>(b[i] * 13 + 101);
        }
        return b;
    }

    TempDir dir;
    std::vector<PackInput> inputs = showInputs();
    Bytes content;
    Bytes file;
    std::vector<GzipMember> members;
};

}  // namespace

TEST_F(PackMembersTest, EveryReaderReadsTheMembersAsOneContent) {
    // One member per 64 KiB of content, back to back, filling the file.
    ASSERT_EQ(members.size(), (content.size() + kMember - 1) / kMember);
    size_t start = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        EXPECT_EQ(members[i].start, start);
        EXPECT_EQ(members[i].offset, i * kMember);
        EXPECT_EQ(members[i].size, std::min(kMember, content.size() - i * kMember));
        start += members[i].length;
    }
    EXPECT_EQ(start, file.size());

    // zlib's gzread sees one gzip stream.
    EXPECT_EQ(gunzipFile(dir / "show.kvx"), content);

    std::optional<LoadedPack> pack = loadPack(dir / "show.kvx", PackScope::AllEntries);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->members, members.size());
    EXPECT_EQ(str(pack->image.data(), pack->image.size()), str(content.data(), content.size()));

    // Through the Vfs every entry reads back byte for byte, also those that
    // member boundaries cut.
    Vfs::init((dir / "show.kvx").c_str());
    ASSERT_TRUE(Vfs::packMode());
    int cut = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const PackEntry& e = Vfs::entries()[i];
        cut += e.size > 0 && e.offset / kMember != (e.offset + e.size - 1) / kMember;
        VfsFile f(inputs[i].name.c_str());
        ASSERT_TRUE(f.good()) << inputs[i].name;
        Bytes got(static_cast<size_t>(f.length()) + 1);
        EXPECT_EQ(f.read(got.data(), static_cast<int>(got.size())), f.length());
        got.pop_back();
        EXPECT_EQ(got, inputs[i].data) << inputs[i].name;
    }
    EXPECT_GE(cut, 3);

    // Bytes after the last member that start no member are ignored by every
    // reader.
    Bytes trailing = file;
    trailing.insert(trailing.end(), {'e', 'n', 'd'});
    pack = loadPack(put("trailing.kvx", trailing), PackScope::AllEntries);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->members, members.size());
    EXPECT_EQ(pack->image.size(), content.size());
}

TEST_F(PackMembersTest, RecordsThatLieLeaveThePlainStream) {
    // A length one too long, one that covers the next member too (so that
    // the records still chain), one past the end of the file, and a member
    // without a record between two with: the loader reads such a file as one
    // gzip stream, which holds the whole content all the same.
    const GzipMember& second = members[1];
    Bytes longer = file;
    longer[second.start + kRecordAt] += 1;
    Bytes merged = file;
    kvx::core::storeI32(&merged[second.start + kRecordAt],
                        static_cast<int32_t>(second.length + members[2].length));
    Bytes beyond = file;
    kvx::core::storeI32(&beyond[second.start + kRecordAt],
                        static_cast<int32_t>(file.size() - second.start + 1));
    Bytes unrecorded(file.begin(), file.begin() + static_cast<long>(second.start));
    const Bytes plain =
        kvx::test::gzipMember(Bytes(content.begin() + kMember, content.begin() + 2 * kMember));
    unrecorded.insert(unrecorded.end(), plain.begin(), plain.end());
    unrecorded.insert(unrecorded.end(), file.begin() + static_cast<long>(members[2].start),
                      file.end());
    for (const auto& [name, bytes] : {std::pair{"longer.kvx", longer},
                                      {"merged.kvx", merged},
                                      {"beyond.kvx", beyond},
                                      {"plain.kvx", unrecorded}}) {
        const std::string path = put(name, bytes);
        std::optional<LoadedPack> pack = loadPack(path, PackScope::AllEntries);
        ASSERT_TRUE(pack.has_value()) << name;
        EXPECT_EQ(pack->members, 0u) << name;
        EXPECT_EQ(str(pack->image.data(), pack->image.size()), str(content.data(), content.size()))
            << name;
    }
    EXPECT_EQ(gunzipFile(dir / "plain.kvx"), content);
}

TEST_F(PackMembersTest, ADamagedMemberBeforeTheReachFailsTheLoad) {
    const GzipMember& third = members[2];
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {{"data.kvx", damaged(third.start + 200, 300)},
                 {"crc.kvx", damaged(third.start + third.length - 8, 1)},
                 {"size.kvx", damaged(third.start + third.length - 4, 1)}};
    for (const auto& c : cases) {
        PackError why = PackError::None;
        EXPECT_FALSE(loadPack(put(c.name, c.bytes), PackScope::AllEntries, &why).has_value())
            << c.name;
        EXPECT_EQ(why, PackError::Unreadable) << c.name;
        Vfs::init((dir / c.name).c_str());
        EXPECT_FALSE(Vfs::packMode()) << c.name;
        EXPECT_FALSE(gunzipFile(dir / c.name).has_value()) << c.name;
    }
    // Damage in a member that no entry reaches is never read, as in a plain
    // gzip stream that is read only as far as the entries reach.
    Bytes tailed = content;
    tailed.resize(content.size() + 3 * kMember, 'z');
    const std::string path = dir / "tail.kvx";
    ASSERT_TRUE(writePackFile(path, tailed, false, nullptr, kMember));
    Bytes bytes = *readFile(path);
    const GzipMember end = findRecordedMembers(bytes.data(), bytes.size(), kAll)->back();
    for (size_t i = end.start + 100; i < end.start + 200; ++i) {
        bytes[i] ^= 0x5a;
    }
    std::optional<LoadedPack> pack = loadPack(put("tail.kvx", bytes), PackScope::Findable);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->members, members.size());
    EXPECT_EQ(str(pack->image.data(), pack->image.size()), str(content.data(), content.size()));
}

TEST_F(PackMembersTest, TheReachCutsAMemberAndNothingBeyondIsInflated) {
    // One entry of 100000 bytes, then 16 MiB of zeros that no entry reaches,
    // all in one recorded member: only the entry's bytes are inflated.
    std::vector<PackInput> one = {inputs[0]};
    one[0].data.resize(100000);
    Bytes small = *buildPackImage(one, nullptr);
    const size_t reach = small.size();
    small.resize(reach + (16u << 20), 0);
    const std::string path = dir / "cut.kvx";
    ASSERT_TRUE(writePackFile(path, small, false, nullptr, 16u << 20));
    std::optional<LoadedPack> pack = loadPack(path, PackScope::Findable);
    ASSERT_TRUE(pack.has_value());
    EXPECT_EQ(pack->members, 1u);
    ASSERT_EQ(pack->image.size(), reach);
    EXPECT_EQ(str(pack->image.data(), reach), str(small.data(), reach));
    EXPECT_LT(pack->producedBytes, 2 * reach);
    Vfs::init(path.c_str());
    EXPECT_EQ(Vfs::readAll("dir/e0"), one[0].data);
}
