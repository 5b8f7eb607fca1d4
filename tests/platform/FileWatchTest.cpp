// Changed files of a folder, by notification and by polling: saves, saves
// by renaming over the old file, deletions and files in new folders.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/watch/FileWatch.h"

namespace kvx::platform {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

class FileWatchTest : public ::testing::TestWithParam<FileWatch::Method> {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("kvx_watch_" + std::to_string(static_cast<int>(GetParam())));
        fs::remove_all(root_);
        fs::create_directories(root_ / "textures");
        write("script.zel", "one");
        write("textures/sky.tga", "sky");
        watch_ = FileWatch::open(root_.string(), GetParam(), std::chrono::milliseconds(0));
        ASSERT_NE(watch_, nullptr);
    }
    void TearDown() override { fs::remove_all(root_); }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(root_ / name, std::ios::binary) << text;
    }

    fs::path root_;
    std::unique_ptr<FileWatch> watch_;
};

TEST_P(FileWatchTest, SavesRenamesDeletionsAndNewFoldersAreReportedOnce) {
    if (GetParam() == FileWatch::Method::Notify) {
        EXPECT_EQ(watch_->method(), FileWatch::Method::Notify);  // Linux has inotify
    }
    EXPECT_EQ(watch_->changes(), Names{});

    write("script.zel", "two, longer");
    write("script.zel", "three, longer still");  // two saves, one name
    EXPECT_EQ(watch_->changes(), Names{"script.zel"});
    EXPECT_EQ(watch_->changes(), Names{});

    // An editor's save: a new file renamed over the old one.
    write("textures/sky.tmp", "new sky, a bigger one");
    fs::rename(root_ / "textures/sky.tmp", root_ / "textures/sky.tga");
    Names got = watch_->changes();
    EXPECT_NE(std::find(got.begin(), got.end(), "textures/sky.tga"), got.end());

    fs::remove(root_ / "script.zel");
    EXPECT_EQ(watch_->changes(), Names{"script.zel"});

    fs::create_directories(root_ / "meshes");
    if (GetParam() == FileWatch::Method::Notify) {
        EXPECT_EQ(watch_->changes(), Names{"meshes"});  // the folder itself
    }
    write("meshes/cube.kmesh", "mesh");
    got = watch_->changes();
    EXPECT_NE(std::find(got.begin(), got.end(), "meshes/cube.kmesh"), got.end());
}

INSTANTIATE_TEST_SUITE_P(Methods, FileWatchTest,
                         ::testing::Values(FileWatch::Method::Notify, FileWatch::Method::Poll));

TEST(FileWatch, NotAFolderGivesNoWatch) {
    EXPECT_EQ(FileWatch::open("/no/such/folder/kvx"), nullptr);
}

}  // namespace
}  // namespace kvx::platform
