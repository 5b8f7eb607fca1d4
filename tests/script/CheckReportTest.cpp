// The check report on the example shows, read through the Vfs.
#include <gtest/gtest.h>

#include <sstream>

#include "core/Globals.h"
#include "script/CheckReport.h"
#include "support/MemoryFiles.h"
#include "vfs/Vfs.h"

namespace kvx::script {
namespace {

class CheckReportTest : public ::testing::Test {
  protected:
    void TearDown() override {
        vfs::Vfs::reset();
        core::globals().beatEvent = 0.0f;
        core::globals().beatFalloff = 0.005f;
    }

    int check(const char* example) {
        vfs::Vfs::init(nullptr);
        vfs::Vfs::setDataDirectory(std::string(KVX_SOURCE_DIR) + "/examples/check/" + example);
        return checkShow(out_, err_);
    }

    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(CheckReportTest, ValidExampleListsDeclarationsAndLayers) {
    ASSERT_EQ(check("valid"), 0) << err_.str();
    const std::string out = out_.str();
    EXPECT_NE(out.find("duration: 8000 ms"), std::string::npos) << out;
    EXPECT_NE(out.find("soundtrack: music.m"), std::string::npos);
    EXPECT_NE(out.find("sound configuration: config.sp"), std::string::npos);
    EXPECT_NE(out.find("beat event: 2036 (channel slot 2, note 36)"), std::string::npos) << out;
    EXPECT_NE(out.find("beat fall-off: 0.004 per ms"), std::string::npos) << out;
    const size_t plasma =
        out.find("  plasma z=0 start=0 end=8000 target=0 blending=normal params: speed alpha");
    const size_t fade =
        out.find("  fadelayer z=1 start=0 end=4000 target=0 blending=additive params: f");
    ASSERT_NE(plasma, std::string::npos) << out;
    ASSERT_NE(fade, std::string::npos) << out;
    EXPECT_LT(plasma, fade);  // drawing order: ascending z
    EXPECT_EQ(err_.str(), "");
}

TEST_F(CheckReportTest, BrokenExampleNamesTheIncludedFileAndLine) {
    EXPECT_EQ(check("broken"), 1);
    EXPECT_EQ(err_.str(), "layers.zel:8:9: error: expected ';' after the value, found 'speed'\n");
    EXPECT_EQ(out_.str(), "");
}

TEST_F(CheckReportTest, WarnsAboutUnknownTypesBlendingsAndSlots) {
    std::ostringstream out;
    std::ostringstream err;
    const int rc = checkShow(
        out, err, "script.zel",
        test::memoryFiles({{"script.zel",
                            "<ZEL><DECLARATIONS>BEATEVENT = 1064;</DECLARATIONS><SCRIPT>\n"
                            "<LAYER>$TYPE=\"fade\";</LAYER>\n"
                            "<LAYER>$TYPE=\"wipe\"; $BLENDING=\"add\";</LAYER>\n"
                            "</SCRIPT></ZEL>"}}));
    EXPECT_EQ(rc, 0);
    const std::string e = err.str();
    EXPECT_NE(e.find("script.zel:2:1: warning: unknown layer type 'fade'"), std::string::npos) << e;
    EXPECT_NE(e.find("script.zel:3:1: warning: unknown blending 'add'"), std::string::npos) << e;
    EXPECT_NE(e.find("BEATEVENT is read as a decimal"), std::string::npos) << e;
    EXPECT_NE(out.str().find("layers in drawing order: 1"), std::string::npos);
    EXPECT_NE(out.str().find("  wipe z=0"), std::string::npos);
}

TEST_F(CheckReportTest, MissingScript) {
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(checkShow(out, err, "script.zel", test::memoryFiles({})), 1);
    EXPECT_EQ(err.str(), "script.zel: error: cannot read the script\n");
}

}  // namespace
}  // namespace kvx::script
