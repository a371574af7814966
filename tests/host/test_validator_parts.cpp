// Pieces of the validator and of the side-by-side render tested on their own: how check
// outcomes become lines and the summary, the values a seed chooses, the plug-in files a command
// line's folders stand for, the names of --also outputs, how two frames differ, and
// (in a real headless context) the host GL state the validator sets up and compares and the
// watch over its input textures.
#include "commands/render/SideBySideRender.h"
#include "commands/validate/Check.h"
#include "commands/validate/FrameDifference.h"
#include "commands/validate/HostGLState.h"
#include "commands/validate/InputTextureGuard.h"
#include "commands/validate/PluginFiles.h"
#include "commands/validate/SeededChoices.h"
#include "inputs/HostTexture.h"

#include "HeadlessGL.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace ffglhost;

TEST(ValidatorCheck, FailureOutranksWarningAndLinesCountWhatTheyDoNotShow)
{
    Check pass("a");
    Check warned("b");
    warned.warn("odd");
    Check failed("c");
    failed.warn("odd");
    for (int i = 1; i <= 5; ++i)
        failed.fail("bad " + std::to_string(i));
    Check skipped("d");
    skipped.fail("found before the skip");
    skipped.skip("needs the table");

    EXPECT_EQ(pass.line(), "PASS  a");
    EXPECT_EQ(warned.line(), "WARN  b: odd");
    EXPECT_EQ(failed.line(), "FAIL  c: bad 1; bad 2; bad 3 (and 2 more)");
    EXPECT_EQ(failed.failureCount(), 5u);
    EXPECT_EQ(skipped.line(), "SKIP  d: needs the table");
    skipped.fail("after the skip");
    EXPECT_EQ(skipped.outcome(), Outcome::Skip);

    const std::vector<Check> all = {pass, warned, failed, skipped};
    EXPECT_EQ(summaryLine(all), "4 checks, 1 passed, 1 warned, 1 failed, 1 skipped");
    EXPECT_EQ(failedCount(all), 1u);
    EXPECT_EQ(summaryLine({pass}), "1 check, 1 passed");
}

// A failure found with a seed must come back with it: in a fresh worker, in another run, on
// another platform.
TEST(SeededChoices, TheSameSeedChoosesTheSameValuesAndAnotherOthers)
{
    const SeededChoices a(7), again(7), other(8);
    EXPECT_EQ(a.unitValues(3, 4), again.unitValues(3, 4));
    EXPECT_NE(a.unitValues(3, 4), other.unitValues(3, 4));
    EXPECT_NE(a.unitValues(3, 4), a.unitValues(4, 4)) << "each parameter gets values of its own";
    // Not the generator's state: asking for fewer gives the first of the same.
    EXPECT_EQ(a.unitValues(3, 1)[0], a.unitValues(3, 4)[0]);
    for (float v : a.unitValues(0, 100))
        EXPECT_TRUE(v > 0.f && v < 1.f) << v;
    const std::vector<float> outside = a.outsideValues(100);
    for (float v : outside)
        EXPECT_TRUE(v > 1.f || v < 0.f) << v;
    EXPECT_EQ(outside, again.outsideValues(100));
}

TEST(PluginFiles, FoldersStandForTheirPluginFilesSorted)
{
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("ffglhost-plugin-files-" + std::to_string(::getpid()));
    fs::remove_all(root);
    for (const char* f : {"b.so", "a.so", "notes.txt", ".hidden.so", "sub/c.so", ".git/d.so", "x.so/inner.so"}) {
        fs::create_directories((root / f).parent_path());
        std::ofstream(root / f) << "x";
    }
    fs::create_directories(root / "empty");
    const std::string r = root.string() + "/";
    std::vector<std::string> files;
    bool folder = false;
    ASSERT_TRUE(listPluginFiles({root.string(), "missing.so"}, false, files, folder).ok());
    EXPECT_TRUE(folder);
    EXPECT_EQ(files, (std::vector<std::string>{r + "a.so", r + "b.so", "missing.so"}));
    ASSERT_TRUE(listPluginFiles({root.string()}, true, files, folder).ok());
    EXPECT_EQ(files, (std::vector<std::string>{r + "a.so", r + "b.so", r + "sub/c.so", r + "x.so/inner.so"}));
    // Named on the command line, a folder named like a plug-in is taken as one (and refused then).
    ASSERT_TRUE(listPluginFiles({r + "x.so"}, false, files, folder).ok());
    EXPECT_FALSE(folder);
    EXPECT_EQ(files, (std::vector<std::string>{r + "x.so"}));
    const Status empty = listPluginFiles({r + "empty"}, true, files, folder);
    EXPECT_EQ(empty.exitCode(), kExitBadInput);
    EXPECT_NE(empty.message().find("holds no plug-in file (.so), nor do its sub-folders"), std::string::npos)
        << empty.message();
    fs::remove_all(root);
}

TEST(AlsoOutputPath, NameGoesBeforeTheExtensionOrAfterTheFolderAndRepeatsAreNumbered)
{
    EXPECT_EQ(alsoOutputPath("a.png", "Quorus", false, {}), "a-Quorus.png");
    EXPECT_EQ(alsoOutputPath("out/deep/x.png", "Clear Gen/2", false, {}), "out/deep/x-Clear_Gen_2.png");
    EXPECT_EQ(alsoOutputPath("seq", "Quorus", true, {}), "seq-Quorus");
    EXPECT_EQ(alsoOutputPath("runs/seq/", "Quorus", true, {}), "runs/seq-Quorus");
    EXPECT_EQ(alsoOutputPath("a.png", "Quorus", false, {"a.png", "a-Quorus.png", "a-Quorus-2.png"}),
              "a-Quorus-3.png");
}

TEST(FrameDifference, CountsPixelsBeyondTheLevelsAndFramesThem)
{
    // 4x2 frames, rows top-down: two pixels moved, by 20 and by 5 levels.
    std::vector<unsigned char> a(4 * 2 * 4, 100);
    std::vector<unsigned char> b = a;
    b[(1 * 4 + 2) * 4 + 1] = 120; // x 2, y 1, green
    b[(0 * 4 + 1) * 4 + 3] = 95;  // x 1, y 0, alpha
    const FrameDifference d = compareFrames(a, b, 4, 2, 16);
    EXPECT_EQ(d.differing, 1u);
    EXPECT_EQ(d.largest, 20);
    EXPECT_EQ(d.text(16), "12.5% of pixels differ by more than 16 levels, by up to 20, within x 2..2, y 1..1 from "
                          "the top left");
    EXPECT_EQ(compareFrames(a, b, 4, 2, 2).differing, 2u);
    EXPECT_EQ(compareFrames(a, a, 4, 2, 0).text(0), "0.0% of pixels differ by more than 0 levels, by up to 0");
    // Frames of another size differ everywhere.
    EXPECT_EQ(compareFrames(a, std::vector<unsigned char>(4), 4, 2, 16).differing, 8u);
}

class HostGLStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!kxhost::HeadlessGL::displayAvailable())
            GTEST_SKIP() << "no EGL display is available on this machine";
        std::string error;
        gl_ = kxhost::HeadlessGL::create(error);
        ASSERT_NE(gl_, nullptr) << error;
        ASSERT_TRUE(framebuffer_.create(16, 8, error)) << error;
        glGenTextures(1, &texture_);
        scene_ = HostScene{framebuffer_.id(), 16, 8, texture_};
    }
    void TearDown() override
    {
        if (gl_ == nullptr)
            return;
        glDeleteTextures(1, &texture_);
        framebuffer_.release();
    }

    GLint integer(GLenum query) const
    {
        GLint v = -1;
        glGetIntegerv(query, &v);
        return v;
    }

    std::unique_ptr<kxhost::HeadlessGL> gl_;
    kxhost::Framebuffer framebuffer_;
    GLuint texture_ = 0;
    HostScene scene_;
};

TEST_F(HostGLStateTest, EnteringTheHostStateUndoesWhatAPluginLeftOnTheStacks)
{
    // What a careless plug-in might leave: extra pushes everywhere, another mode and framebuffer.
    for (GLenum mode : {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE}) {
        glMatrixMode(mode);
        glPushMatrix();
    }
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);

    for (int round = 0; round < 2; ++round) {
        enterHostState(scene_, GL_TEXTURE);
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 2);
        EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), 2);
        EXPECT_EQ(integer(GL_TEXTURE_STACK_DEPTH), 1);
        EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), 1);
        EXPECT_EQ(integer(GL_CLIENT_ATTRIB_STACK_DEPTH), 0);
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_TEXTURE);
        EXPECT_EQ(integer(GL_DRAW_FRAMEBUFFER_BINDING), static_cast<GLint>(framebuffer_.id()));
        EXPECT_EQ(integer(GL_TEXTURE_BINDING_2D), static_cast<GLint>(texture_));
        EXPECT_TRUE(glIsEnabled(GL_BLEND));
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    // Entering twice gives the same state.
    const GLStateSnapshot a = captureGLState();
    enterHostState(scene_, GL_TEXTURE);
    const GLStateSnapshot b = captureGLState();
    EXPECT_TRUE(transformDifferences(a, b).empty());
    EXPECT_TRUE(attributeDifferences(a, b).empty());
}

TEST_F(HostGLStateTest, DifferencesNameWhatChangedInItsGroup)
{
    enterHostState(scene_, GL_MODELVIEW);
    const GLStateSnapshot before = captureGLState();
    glPopMatrix(); // the modelview stack
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glDisable(GL_BLEND);
    glViewport(0, 0, 4, 4);
    const GLStateSnapshot after = captureGLState();
    EXPECT_EQ(transformDifferences(before, after),
              (std::vector<std::string>{"matrix mode GL_PROJECTION (was GL_MODELVIEW)",
                                        "modelview stack depth 1 (was 2)", "projection matrix changed"}));
    EXPECT_EQ(attributeDifferences(before, after),
              (std::vector<std::string>{"GL_BLEND disabled (was enabled)", "viewport 0 0 4 4 (was 0 0 16 8)"}));

    // The texture matrix and bound texture are those of the active unit.
    glActiveTexture(GL_TEXTURE2);
    const auto attributes = attributeDifferences(before, captureGLState());
    for (const char* expected : {"active texture unit GL_TEXTURE2 (was GL_TEXTURE0)", "bound 2D texture 0 (was "})
        EXPECT_NE(std::find_if(attributes.begin(), attributes.end(),
                               [expected](const std::string& a) { return a.rfind(expected, 0) == 0; }),
                  attributes.end())
            << expected;
    glActiveTexture(GL_TEXTURE0);
}

TEST_F(HostGLStateTest, PendingErrorsAreNamedAndCleared)
{
    enterHostState(scene_, GL_MODELVIEW);
    glEnable(0);
    EXPECT_EQ(takeGLErrors(), std::vector<std::string>{"GL_INVALID_ENUM"});
    EXPECT_TRUE(takeGLErrors().empty());
    glMatrixMode(GL_TEXTURE); // at the bottom of its stack
    glPopMatrix();
    EXPECT_EQ(takeGLErrors(), std::vector<std::string>{"GL_STACK_UNDERFLOW"});
    EXPECT_EQ(glEnumName(0xABCD), "0xABCD");
}

// An 8x4 input texture of distinct bytes in power-of-two layout (8x4 is one already; the picture
// fills it), and the guard's view of a plug-in that damages it.
class InputGuardTest : public HostGLStateTest {
protected:
    void SetUp() override
    {
        HostGLStateTest::SetUp();
        if (gl_ == nullptr)
            return;
        ASSERT_TRUE(texture_.create(8, 4, TextureLayout::PowerOfTwo).ok());
        picture_ = Picture(8, 4);
        for (std::size_t i = 0; i < picture_.rgba.size(); ++i)
            picture_.rgba[i] = static_cast<unsigned char>(i * 7);
        ASSERT_TRUE(texture_.upload(picture_).ok());
        inputs_ = {texture_.record()};
        who_ = "input 0 (texture " + std::to_string(texture_.id()) + ")";
    }
    void TearDown() override
    {
        texture_.release();
        HostGLStateTest::TearDown();
    }

    GLint parameter(GLenum name)
    {
        glBindTexture(GL_TEXTURE_2D, texture_.id());
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
        return v;
    }

    HostTexture texture_;
    Picture picture_;
    FrameInputs inputs_;
    std::string who_;
    std::vector<std::string> faults_;
    std::vector<std::string> warnings_;
};

TEST_F(InputGuardTest, ChangesAreNamedAndPutBack)
{
    InputTextureGuard overwritten(inputs_);
    const unsigned char grey[8 * 4] = {};
    glBindTexture(GL_TEXTURE_2D, texture_.id());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 2, 8, 1, GL_RGBA, GL_UNSIGNED_BYTE, grey);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    overwritten.restore(faults_, warnings_);
    EXPECT_EQ(faults_,
              std::vector<std::string>{who_ + " content changed in 1 of 4 rows, first at row 2 from the bottom"});
    EXPECT_EQ(warnings_, (std::vector<std::string>{who_ + " has wrap S GL_REPEAT (was GL_CLAMP_TO_EDGE)",
                                                   who_ + " has max level 0 (was 1000)"}));
    EXPECT_EQ(readInputPicture(*texture_.record()).rgba, picture_.rgba);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_MAX_LEVEL), 1000);

    faults_.clear();
    InputTextureGuard resized(inputs_);
    glBindTexture(GL_TEXTURE_2D, texture_.id());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, grey);
    resized.restore(faults_, warnings_);
    EXPECT_EQ(faults_, std::vector<std::string>{who_ + " was resized to 2x2 (was 8x4)"});
    EXPECT_EQ(readInputPicture(*texture_.record()).rgba, picture_.rgba);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(InputGuardTest, ADeletedTextureComesBackUnderItsName)
{
    InputTextureGuard guard(inputs_);
    const GLuint name = texture_.id();
    glDeleteTextures(1, &name);
    guard.restore(faults_, warnings_);
    EXPECT_EQ(faults_, std::vector<std::string>{who_ + " was deleted"});
    EXPECT_EQ(warnings_, std::vector<std::string>{}); // a texture made afresh is repaired, not blamed twice
    EXPECT_TRUE(glIsTexture(name));
    EXPECT_EQ(readInputPicture(*texture_.record()).rgba, picture_.rgba);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    // Nothing is left to report the next time.
    faults_.clear();
    InputTextureGuard again(inputs_);
    again.restore(faults_, warnings_);
    EXPECT_TRUE(faults_.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
