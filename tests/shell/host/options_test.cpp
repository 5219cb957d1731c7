// Command-line options: help and version, video options, bad values and unknown options,
// and the usage text the option table prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/host/command_line.h"
#include "support/stream_text.h"

namespace {

struct Parsed {
  int code;
  ProgramOptions options;
  std::string out;
  std::string err;
};

Parsed parse(std::vector<const char*> args) {
  args.insert(args.begin(), "vellumite");
  Parsed p{};
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  CommandLine line;
  p.code = parseCommandLine(static_cast<int>(args.size()), args.data(), "1.2.3", &line, out, err);
  p.options = line.program;
  p.out = readAll(out);
  p.err = readAll(err);
  return p;
}

TEST(ProgramOptions, HelpAndVersionPrintAndEndWithZero) {
  Parsed help = parse({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: vellumite", 0), 0u);
  EXPECT_NE(help.out.find("--mode WxH[xBPP]"), std::string::npos);
  Parsed version = parse({"--headless", "--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "vellumite 1.2.3\n");
  EXPECT_EQ(version.err, "");
}

TEST(ProgramOptions, VideoOptionsFillTheRecordAndSkipTheDialog) {
  Parsed none = parse({"--headless", "--data", "/tmp/show"});
  EXPECT_EQ(none.code, -1);
  EXPECT_TRUE(none.options.headless);
  EXPECT_EQ(none.options.dataDirectory, "/tmp/show");
  EXPECT_FALSE(none.options.videoOptionGiven);

  Parsed video = parse({"--mode", "800x600", "--fullscreen", "--vsync", "--low-bpp-textures", "--no-dither",
                        "--adapter=1", "--data=dir"});
  ASSERT_EQ(video.code, -1);
  const ProgramOptions& o = video.options;
  EXPECT_TRUE(o.videoOptionGiven && o.hasMode && o.fullscreen && o.vsync && o.lowBppTextures && o.noDither);
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 600);
  EXPECT_EQ(o.bitsPerPixel, 32);
  EXPECT_EQ(o.adapter, 1);
  EXPECT_EQ(o.dataDirectory, "dir");
  EXPECT_TRUE(parse({"--no-dither"}).options.videoOptionGiven);

  // The frame-rate cap is pacing, not a video option: the dialog still comes.
  Parsed capped = parse({"--max-fps", "60"});
  ASSERT_EQ(capped.code, -1);
  EXPECT_EQ(capped.options.maxFps, 60);
  EXPECT_FALSE(capped.options.videoOptionGiven);
  EXPECT_EQ(parse({"--max-fps=1000"}).options.maxFps, 1000);
  EXPECT_EQ(parse({}).options.maxFps, 0);
}

TEST(ProgramOptions, ModeTextsAreCheckedWhole) {
  int w = 0, h = 0, bpp = 0;
  EXPECT_TRUE(parseVideoMode("1024x768x16", &w, &h, &bpp));
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  EXPECT_EQ(bpp, 16);
  EXPECT_TRUE(parseVideoMode("123x45", &w, &h, &bpp));
  EXPECT_EQ(bpp, 32);
  for (const char* bad :
       {"", "800", "800x", "x600", "800x600x24", "800x600x32x1", "0x600", "800x600 ", "-800x600", "99999999x1"})
    EXPECT_FALSE(parseVideoMode(bad, &w, &h, &bpp)) << bad;
}

TEST(ProgramOptions, UnknownOptionsAndBadValuesEndWithTwoAndTheUsage) {
  for (std::vector<const char*> args : std::vector<std::vector<const char*>>{{"--frobnicate"},
                                                                             {"--mode"},
                                                                             {"--mode", "big"},
                                                                             {"--adapter", "x"},
                                                                             {"--adapter", "-1"},
                                                                             {"--help=yes"},
                                                                             {"--data"},
                                                                             {"show.lws"},
                                                                             {"--max-fps"},
                                                                             {"--max-fps", "0"},
                                                                             {"--max-fps", "1001"},
                                                                             {"--max-fps", "6o"}}) {
    Parsed p = parse(args);
    EXPECT_EQ(p.code, 2) << args[0];
    EXPECT_EQ(p.err.rfind("vellumite: ", 0), 0u) << p.err;
    EXPECT_NE(p.err.find("Usage: vellumite"), std::string::npos);
    EXPECT_EQ(p.out, "");
  }
  EXPECT_NE(parse({"--frobnicate"}).err.find("unknown option --frobnicate"), std::string::npos);
}

}  // namespace
