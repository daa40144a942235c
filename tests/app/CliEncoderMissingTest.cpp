// tarsel-cli movie when this FFmpeg has not the encoder a format needs. The program has its
// own avcodec_find_encoder_by_name, which the linker prefers to the library's: it finds none.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/CliRun.h"
#include "support/TestFiles.h"
#include "tools/ExampleRun.h"

struct AVCodec;

namespace {
std::vector<std::string> asked;
}

extern "C" const AVCodec* avcodec_find_encoder_by_name(const char* name) {
    asked.emplace_back(name);
    return nullptr;
}

namespace tarsel {
namespace {

TEST(CliEncoderMissing, ExitsOneWithTheReason) {
    test::TempDir dir;
    examples::RunSpec recipe = examples::WaterExample();
    recipe.Frames = 2;
    recipe.ViewWidth = 32;
    recipe.ViewHeight = 24;
    std::string error;
    ASSERT_TRUE(examples::WriteRun(examples::GenerateRun(recipe), dir.File("run"), error)) << error;
    const struct {
        std::string Name, Encoder, Ending;
    } cases[] = {{"m.mp4", "libx264", ".mp4"},
                 {"m.webm", "libvpx-vp9", ".webm"},
                 {"m.gif", "gif", ".gif"},
                 {"f%03d.png", "png", ".png"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        asked.clear();
        const test::CliRun r = test::Cli({"movie", dir.File("run.tsw"), "-o", dir.File(c.Name)});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(asked, std::vector<std::string>{c.Encoder});
        EXPECT_NE(r.err.find("this FFmpeg has no " + c.Encoder + " encoder, which " + c.Ending +
                             " movies need"),
                  std::string::npos)
            << r.err;
    }
    // The AVI needs no FFmpeg encoder.
    EXPECT_EQ(test::Cli({"movie", dir.File("run.tsw"), "-o", dir.File("m.avi")}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.File("m.avi")));
}

}  // namespace
}  // namespace tarsel
