// The remembered video choice: where it lives, what survives a round trip, and that a
// broken or foreign file is ignored as a whole rather than half applied.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "port/video_choice_file.h"

namespace {

// A scratch folder, removed with everything in it at the end of a test.
class ScratchFolder {
 public:
  ScratchFolder() {
    char pattern[] = "/tmp/vellumite-choice-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~ScratchFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  std::string path;
};

// Sets an environment variable for one test (unset when value is null) and restores it.
class EnvScope {
 public:
  EnvScope(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value != nullptr)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvScope() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }
  EnvScope(const EnvScope&) = delete;
  EnvScope& operator=(const EnvScope&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

const char* const kGoodFile =
    "# comment\n[video]\nadapter=Mesa llvmpipe\nmode=1280x720x32Bpp\nfullscreen=1\nretrace=0\nlowbpp=1\ndither=0\n";

}  // namespace

TEST(VideoChoiceFile, LivesUnderTheConfigHomeOrTheHomeConfigFolder) {
  {
    EnvScope config("XDG_CONFIG_HOME", "/cfg");
    EnvScope home("HOME", "/home/user");
    EXPECT_EQ(videoChoicePath(), "/cfg/vellumite/video.ini");
  }
  {
    // A relative config home does not count.
    EnvScope config("XDG_CONFIG_HOME", "relative");
    EnvScope home("HOME", "/home/user");
    EXPECT_EQ(videoChoicePath(), "/home/user/.config/vellumite/video.ini");
  }
  {
    EnvScope config("XDG_CONFIG_HOME", nullptr);
    EnvScope home("HOME", nullptr);
    EXPECT_EQ(videoChoicePath(), "");
  }
}

TEST(VideoChoiceFile, ChoiceSurvivesARoundTripThroughNewFolders) {
  ScratchFolder scratch;
  const std::string path = scratch.path + "/a/b/vellumite/video.ini";
  VideoChoiceRecord written;
  written.adapter = "Adapter with = sign";
  written.mode = "800x600x16Bpp";
  written.fullscreen = true;
  written.waitForRetrace = true;
  written.lowBppTextures = false;
  written.dither = false;
  ASSERT_TRUE(writeVideoChoice(path, written));
  VideoChoiceRecord read;
  ASSERT_TRUE(readVideoChoice(path, &read));
  EXPECT_EQ(read.adapter, written.adapter);
  EXPECT_EQ(read.mode, written.mode);
  EXPECT_TRUE(read.fullscreen);
  EXPECT_TRUE(read.waitForRetrace);
  EXPECT_FALSE(read.lowBppTextures);
  EXPECT_FALSE(read.dither);
  // Nothing is left beside it.
  EXPECT_NE(access((path + ".new").c_str(), F_OK), 0);
  // A text that would break the file's lines is refused, the old file kept.
  written.adapter = "two\nlines";
  EXPECT_FALSE(writeVideoChoice(path, written));
  ASSERT_TRUE(readVideoChoice(path, &read));
  EXPECT_EQ(read.adapter, "Adapter with = sign");
}

TEST(VideoChoiceFile, BrokenFilesAreIgnoredAsAWhole) {
  ScratchFolder scratch;
  const std::string path = scratch.path + "/video.ini";
  VideoChoiceRecord record;
  writeText(path, kGoodFile);
  ASSERT_TRUE(readVideoChoice(path, &record));
  EXPECT_EQ(record.adapter, "Mesa llvmpipe");
  EXPECT_TRUE(record.fullscreen);
  EXPECT_FALSE(record.dither);
  writeText(path, std::string(kGoodFile).replace(std::string(kGoodFile).find("\n[video]"), 8, "\r\n[video]\r"));
  EXPECT_TRUE(readVideoChoice(path, &record)) << "CR LF line ends are fine";

  const std::string broken[] = {
      "",                                        // empty
      "adapter=x\n",                             // outside the section
      std::string(kGoodFile) + "colour=blue\n",  // unknown key
      std::string(kGoodFile) + "dither=1\n",     // a key twice
      std::string(kGoodFile).replace(std::string(kGoodFile).find("fullscreen=1"), 12, "fullscreen=yes"),
      std::string(kGoodFile).replace(std::string(kGoodFile).find("dither=0\n"), 9, ""),  // missing key
      std::string(kGoodFile) + "garbage line\n",
      std::string(kGoodFile) + "[video]\n",                           // a second section
      std::string(kGoodFile) + "# " + std::string(5000, 'x') + "\n",  // far too long
      std::string("\x00\x01\x02\xff", 4),
  };
  for (const std::string& text : broken) {
    writeText(path, text);
    VideoChoiceRecord untouched;
    untouched.mode = "kept";
    EXPECT_FALSE(readVideoChoice(path, &untouched)) << text.substr(0, 60);
    EXPECT_EQ(untouched.mode, "kept");
  }
  EXPECT_FALSE(readVideoChoice(scratch.path + "/missing.ini", &record));
  EXPECT_FALSE(readVideoChoice(scratch.path, &record)) << "a folder";
}
