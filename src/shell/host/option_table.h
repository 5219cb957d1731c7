// The program's one table of command-line options: each option's name, the placeholder of
// its value, its help text and the handler that takes it. The program and its run modes
// register their options into one table, which parses the command line in one pass and
// prints the usage text from the same entries.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class OptionTable;

// What a handler gets: the option's values, and the streams and verdicts of the parse.
class OptionCall {
 public:
  // The option's next value: first the text after '=' (or else the next argument), then
  // each further argument; null when the command line has no more.
  const char* value();
  // Ends the parse with exit code 2: "vellumite: <message><detail>" on err, followed by
  // the usage text when the option's section asks for it.
  int fail(const char* message, const char* detail = "");
  const OptionTable& table() const { return owner; }
  std::FILE* out() const { return outStream; }
  std::FILE* err() const { return errStream; }

 private:
  friend class OptionTable;
  OptionCall(const OptionTable& table, int argc, const char* const* argv, int& index, const char* inlineValue,
             bool usageOnError, std::FILE* out, std::FILE* err);
  const OptionTable& owner;
  int count;
  const char* const* arguments;
  int& at;
  const char* pending;
  bool usage;
  std::FILE* outStream;
  std::FILE* errStream;
};

// Returns -1 to go on with the parse, or the exit code to end the program with.
using OptionHandler = std::function<int(OptionCall& call)>;

struct OptionEntry {
  const char* name;         // "--mode"
  const char* placeholder;  // "WxH[xBPP]"; null: a flag, which takes no value
  // The help text: its lines after the first are indented to the help column; empty: the
  // option is described with another one and has no line of its own.
  const char* help;
  OptionHandler handler;
  // The usage column in place of "name placeholder" ("--from S --to S"); null: that.
  const char* column = nullptr;
  // Indented under the option before it (an option that only goes with that one).
  bool nested = false;
};

class OptionTable {
 public:
  // intro: the usage text's first paragraph ("Usage: ...").
  explicit OptionTable(std::string intro) : introText(std::move(intro)) {}

  // Starts a section of the usage text: its heading line ("Options:"), the text after its
  // options, and whether a bad value of one of its options prints the usage after the message.
  void section(std::string heading, std::string footer, bool usageOnError);
  // Adds an option to the section begun last.
  void add(OptionEntry entry);
  // Runs after every argument was taken (checks that look at several options); -1 goes on.
  void finally(std::function<int(std::FILE* err)> check);

  // Takes argv[1..] one after the other: "--name=value" or "--name value". Returns -1 to run
  // the program, or the exit code to end it with (2 for an unknown option or a bad value).
  int parse(int argc, const char* const* argv, std::FILE* out, std::FILE* err) const;
  void printUsage(std::FILE* stream) const;

 private:
  struct Section {
    std::string heading;
    std::string footer;
    bool usageOnError;
    std::vector<OptionEntry> entries;
  };
  std::string introText;
  std::vector<Section> sections;
  std::vector<std::function<int(std::FILE*)>> checks;
};

// A show time in seconds as an option's value: a finite number from 0 to 3600.
bool parseOptionSeconds(const char* text, double* out);
