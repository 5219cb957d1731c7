// The option table: one pass over the command line with values after '=' or in the next
// argument, flags that take none, the verdicts of handlers and of the final checks, and the
// usage text laid out from the entries.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/host/command_line.h"
#include "shell/host/option_table.h"
#include "support/stream_text.h"

namespace {

// A small table: a program section (usage after a bad value) and a quiet one, whose
// handlers log what they took.
struct Fixture {
  std::vector<std::string> log;
  bool checked = false;
  OptionTable table{"Usage: t [options]\n\n"};
  Fixture() {
    table.section("Options:", "\n", true);
    table.add({"--flag", nullptr, "a flag", [this](OptionCall&) {
                 log.push_back("flag");
                 return -1;
               }});
    table.add({"--size", "N", "a size, taken whole\nover two lines", [this](OptionCall& call) {
                 const char* value = call.value();
                 if (value == nullptr) return call.fail("--size needs a number");
                 log.push_back(std::string("size ") + value);
                 return -1;
               }});
    table.section("More:", "the end\n", false);
    table.add({"--pair", "A B", "two values", [this](OptionCall& call) {
                 const char* a = call.value();
                 const char* b = call.value();
                 if (a == nullptr || b == nullptr) return call.fail("--pair needs two values");
                 log.push_back(std::string("pair ") + a + " " + b);
                 return -1;
               }});
    table.add({"--sub", "X", "",
               [this](OptionCall& call) {
                 log.push_back(std::string("sub ") + call.value());
                 return -1;
               },
               nullptr, true});
    table.add({"--stop", nullptr, "ends the parse", [](OptionCall&) { return 0; }, "--stop (or -s)", true});
    table.finally([this](std::FILE* err) {
      checked = true;
      if (log.empty()) return -1;
      if (log.back() == "flag") {
        std::fputs("vellumite: a flag may not come last\n", err);
        return 2;
      }
      return -1;
    });
  }
  struct Result {
    int code;
    std::string out;
    std::string err;
  };
  Result parse(std::vector<const char*> args) {
    args.insert(args.begin(), "t");
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Result r{table.parse(static_cast<int>(args.size()), args.data(), out, err), "", ""};
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
  }
};

TEST(OptionTable, TakesValuesAfterTheSignOrFromTheNextArguments) {
  Fixture f;
  EXPECT_EQ(f.parse({"--size=3", "--size", "--flag", "--pair=a", "b", "--pair", "c", "d", "--sub", "x"}).code, -1);
  EXPECT_EQ(f.log, (std::vector<std::string>{"size 3", "size --flag", "pair a b", "pair c d", "sub x"}));
  EXPECT_TRUE(f.checked);
  Fixture empty;
  EXPECT_EQ(empty.parse({"--size="}).code, -1);
  EXPECT_EQ(empty.log, (std::vector<std::string>{"size "})) << "an empty value is a value";
}

TEST(OptionTable, UnknownOptionsAndFlagsWithAValueEndWithTheUsage) {
  for (std::vector<const char*> args : std::vector<std::vector<const char*>>{{"--nope"}, {"--flag=1"}, {"plain"}}) {
    Fixture f;
    Fixture::Result r = f.parse(args);
    EXPECT_EQ(r.code, 2) << args[0];
    EXPECT_EQ(r.err.rfind(std::string("vellumite: unknown option ") + args[0] + "\n\nUsage: t", 0), 0u) << r.err;
    EXPECT_FALSE(f.checked) << "no final check after a refusal";
  }
}

TEST(OptionTable, AHandlersVerdictEndsTheParseAndOnlyItsSectionAddsTheUsage) {
  Fixture missing;
  Fixture::Result r = missing.parse({"--flag", "--size"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err.rfind("vellumite: --size needs a number\n\nUsage: t", 0), 0u) << r.err;
  Fixture quiet;
  r = quiet.parse({"--pair", "a"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "vellumite: --pair needs two values\n");
  Fixture stop;
  r = stop.parse({"--stop", "--nope"});
  EXPECT_EQ(r.code, 0) << "arguments after the verdict are not read";
  EXPECT_FALSE(stop.checked);
  Fixture last;
  r = last.parse({"--size", "1", "--flag"});
  EXPECT_EQ(r.code, 2) << "the final check sees every option";
  EXPECT_EQ(r.err, "vellumite: a flag may not come last\n");
}

TEST(OptionTable, UsageLaysOutColumnsContinuationLinesAndSections) {
  Fixture f;
  std::FILE* out = std::tmpfile();
  f.table.printUsage(out);
  EXPECT_EQ(readAll(out),
            "Usage: t [options]\n\n"
            "Options:\n"
            "  --flag              a flag\n"
            "  --size N            a size, taken whole\n"
            "                      over two lines\n"
            "\n"
            "More:\n"
            "  --pair A B          two values\n"
            "    --stop (or -s)    ends the parse\n"
            "the end\n");
}

TEST(OptionTable, TheProgramsUsageKeepsItsLayout) {
  std::FILE* out = std::tmpfile();
  printCommandLineUsage(out);
  const std::string usage = readAll(out);
  EXPECT_EQ(usage.rfind("Usage: vellumite [options]\nPlays the show from the files in the current directory (or --data "
                        "DIR).\n\nOptions:\n  --data DIR          read the show's files from DIR\n",
                        0),
            0u);
  for (const char* line : {"  --low-bpp-textures  prefer 16-bit texture formats\n",
                           "  --aspect keep|fill  in a mode that is not 4:3: keep the show's 4:3 picture with\n"
                           "                      black bars (keep, the default) or fill the mode with a wider\n",
                           "  --version           print the version and exit\n\nAny video option",
                           "\n\nOffline and authoring modes:\n  --capture OUT       render the show",
                           "    --fps N           frames per second of the capture (default 30)\n"
                           "    --from S --to S   capture only the show times from S to S seconds\n"
                           "    --codec C ",
                           "  --screenshot T OUT.png\n                      render the show's frame at T seconds",
                           "\n                      at T seconds\n--mode WxH sets the size of captures"})
    EXPECT_NE(usage.find(line), std::string::npos) << line;
  EXPECT_EQ(usage.find("\n    --to "), std::string::npos) << "--to is described with --from";
  EXPECT_EQ(usage.substr(usage.size() - 10), "640x480).\n");
}

}  // namespace
