// render --video as its users meet it: the file ffmpeg writes has the frames, size and rate
// asked for and shows the frames upright; a missing ffmpeg stops the run before the plug-in is
// touched; an ffmpeg that fails is reported and leaves no file behind.
#include "support/HostImage.h"
#include "support/HostProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using namespace hosttest;

namespace {

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;
const std::string kClearGen = kPlugins + "/ClearGen.so";

class Video : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        root_ = fs::temp_directory_path() / ("ffglhost-" + name + "-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(work());
    }
    void TearDown() override { fs::remove_all(root_); }

    static bool haveFfmpeg() { return haveProgram("ffmpeg") && haveProgram("ffprobe"); }

    fs::path work() const { return root_ / "work"; }
    fs::path root() const { return root_; }

    Result host(const std::vector<std::string>& args, const std::string& env = std::string()) const
    {
        std::string cmd = "cd " + quote(work().string()) + " && " + env + " " + quote(FFGLHOST_EXE);
        for (const std::string& a : args)
            cmd += " " + quote(a);
        return run(cmd, root_);
    }
    // "width,height,rate,frames" of the first video stream, frames counted by decoding.
    std::string probe(const fs::path& video) const
    {
        const Result r = run("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                             "stream=width,height,r_frame_rate,nb_read_frames -of csv=p=0 " +
                                 quote(video.string()),
                             root_);
        const auto l = lines(r.out);
        return r.status == 0 && !l.empty() ? l[0] : "ffprobe failed: " + r.err;
    }
    std::vector<std::string> written() const
    {
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(work()))
            if (!e.is_directory())
                files.push_back(fs::relative(e.path(), work()).string());
        std::sort(files.begin(), files.end());
        return files;
    }

private:
    fs::path root_;
};

#define REQUIRE_FFMPEG()                                                                                        \
    if (!haveFfmpeg())                                                                                          \
        GTEST_SKIP() << "ffmpeg and ffprobe are not installed (Debian package ffmpeg; scripts/setup.sh installs it)";

TEST_F(Video, HasTheFramesSizeAndRateAskedForUpright)
{
    REQUIRE_FFMPEG();
    const Result r = host({"render", kPlugins + "/ClearGenSplit.so", "--size", "64x48", "--frames", "12", "--fps", "24",
                           "--set", "Red=1", "--set", "Green=0", "--set", "Blue=0.2", "--video", "clips/split.mp4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(written(), std::vector<std::string>{"clips/split.mp4"}) << "a video alone writes no PNG";
    EXPECT_NE(r.out.find("wrote clips/split.mp4 (12 frames at 24 fps, "), std::string::npos) << r.out;
    EXPECT_EQ(probe(work() / "clips/split.mp4"), "64,48,24/1,12");

    // The first frame, decoded: the upper half is the complement, the lower the colour itself.
    const fs::path frame = root() / "frame.ppm";
    ASSERT_EQ(run("ffmpeg -v error -i " + quote((work() / "clips/split.mp4").string()) +
                      " -frames:v 1 -f image2 -c:v ppm -y " + quote(frame.string()),
                  root())
                  .status,
              0);
    RgbImage image;
    ASSERT_TRUE(readPpm(frame, image));
    // 4:2:0 chroma and limited-range YUV cost a few levels, more at the colour edge.
    const std::array<int, 3> upper = {0, 255, 204}, lower = {255, 0, 51};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(image.at(10, 5)[c], upper[c], 12) << "channel " << c;
        EXPECT_NEAR(image.at(50, 42)[c], lower[c], 12) << "channel " << c;
    }
}

TEST_F(Video, OutStillWritesTheLastFrame)
{
    REQUIRE_FFMPEG();
    const Result r = host({"render", kClearGen, "--size", "32x16", "--frames", "2", "--video", "v.mp4", "--out",
                           "last.png"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(written(), (std::vector<std::string>{"last.png", "v.mp4"}));
    EXPECT_EQ(probe(work() / "v.mp4"), "32,16,60/1,2") << "60 frames per second unless --fps says otherwise";
}

TEST_F(Video, MissingFfmpegIsOneLineBeforeThePluginIsTouched)
{
    const fs::path emptyBin = root() / "empty-bin";
    fs::create_directories(emptyBin);
    const fs::path trace = root() / "trace.txt";
    const Result r = host({"render", kClearGen, "--frames", "3", "--video", "v.mp4"},
                          "PATH=" + quote(emptyBin.string()) + " CLEARGEN_TRACE=" + quote(trace.string()));
    EXPECT_EQ(r.status, 2);
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("ffglhost: error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("ffmpeg"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(written().empty());
    EXPECT_EQ(readFile(trace), "") << "no plug-in call before ffmpeg is found";
}

TEST_F(Video, FailingFfmpegIsReportedAndLeavesNoFile)
{
    REQUIRE_FFMPEG();
    // WebM takes neither H.264 nor MPEG-4 part 2: ffmpeg refuses to write the file.
    const fs::path trace = root() / "trace.txt";
    const Result r = host({"render", kClearGen, "--size", "32x16", "--frames", "3", "--video", "v.webm"},
                          "CLEARGEN_TRACE=" + quote(trace.string()));
    EXPECT_EQ(r.status, 1);
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("ffglhost: error: ffmpeg ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("exit status"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(written().empty());
    const auto calls = lines(readFile(trace));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()), (std::vector<std::string>{"19", "2"}));
}

class VideoEffect : public Video, public ::testing::WithParamInterface<std::string> {};

TEST_P(VideoEffect, HasEveryFrame)
{
    REQUIRE_FFMPEG();
    const std::string plugin = std::string(PLUGIN_DIR) + "/" + GetParam() + ".so";
    const Result r = host({"render", plugin, "--size", "96x54", "--frames", "6", "--fps", "30", "--video", "e.mp4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(work() / "e.mp4"), "96,54,30/1,6");
}

INSTANTIATE_TEST_SUITE_P(Plugins, VideoEffect, ::testing::ValuesIn(commaList(EFFECT_PLUGINS)),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

} // namespace
