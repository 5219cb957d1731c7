// The one option table: a single pass over the command line and the usage text.
#include "shell/host/option_table.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Where the help text starts in the usage text, and the indent of an option and of one
// nested under another.
constexpr std::size_t kHelpColumn = 22;
constexpr const char* kIndent = "  ";
constexpr const char* kNestedIndent = "    ";

}  // namespace

OptionCall::OptionCall(const OptionTable& table, int argc, const char* const* argv, int& index, const char* inlineValue,
                       bool usageOnError, std::FILE* out, std::FILE* err)
    : owner(table),
      count(argc),
      arguments(argv),
      at(index),
      pending(inlineValue),
      usage(usageOnError),
      outStream(out),
      errStream(err) {}

const char* OptionCall::value() {
  if (pending != nullptr) {
    const char* value = pending;
    pending = nullptr;
    return value;
  }
  if (at + 1 < count) return arguments[++at];
  return nullptr;
}

int OptionCall::fail(const char* message, const char* detail) {
  std::fprintf(errStream, "vellumite: %s%s\n", message, detail);
  if (usage) {
    std::fputc('\n', errStream);
    owner.printUsage(errStream);
  }
  return 2;
}

void OptionTable::section(std::string heading, std::string footer, bool usageOnError) {
  sections.push_back(Section{std::move(heading), std::move(footer), usageOnError, {}});
}

void OptionTable::add(OptionEntry entry) {
  if (sections.empty()) section("Options:", "", true);
  sections.back().entries.push_back(std::move(entry));
}

void OptionTable::finally(std::function<int(std::FILE* err)> check) { checks.push_back(std::move(check)); }

int OptionTable::parse(int argc, const char* const* argv, std::FILE* out, std::FILE* err) const {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    // "--name=value" splits at the '='; anything else is a name without a value.
    std::string name = argument;
    const char* inlineValue = nullptr;
    const std::size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      inlineValue = argument + equals + 1;
      name.resize(equals);
    }
    const OptionEntry* found = nullptr;
    bool usageOnError = true;
    for (const Section& s : sections) {
      for (const OptionEntry& entry : s.entries) {
        if (name == entry.name) {
          found = &entry;
          usageOnError = s.usageOnError;
        }
      }
    }
    // A flag given a value is no option this program knows.
    if (found == nullptr || (found->placeholder == nullptr && inlineValue != nullptr)) {
      OptionCall unknown(*this, argc, argv, i, nullptr, true, out, err);
      return unknown.fail("unknown option ", argument);
    }
    OptionCall call(*this, argc, argv, i, inlineValue, usageOnError, out, err);
    const int code = found->handler(call);
    if (code >= 0) return code;
  }
  for (const auto& check : checks) {
    const int code = check(err);
    if (code >= 0) return code;
  }
  return -1;
}

void OptionTable::printUsage(std::FILE* stream) const {
  std::fputs(introText.c_str(), stream);
  for (const Section& s : sections) {
    std::fprintf(stream, "%s\n", s.heading.c_str());
    for (const OptionEntry& entry : s.entries) {
      if (entry.help == nullptr || *entry.help == '\0') continue;
      std::string line = entry.nested ? kNestedIndent : kIndent;
      if (entry.column != nullptr) {
        line += entry.column;
      } else {
        line += entry.name;
        if (entry.placeholder != nullptr) line += std::string(" ") + entry.placeholder;
      }
      // The help starts in its column, or on the next line when the option leaves no gap.
      if (line.size() + 2 <= kHelpColumn)
        line.resize(kHelpColumn, ' ');
      else
        line += "\n" + std::string(kHelpColumn, ' ');
      for (const char* c = entry.help; *c != '\0'; ++c) {
        line += *c;
        if (*c == '\n' && c[1] != '\0') line += std::string(kHelpColumn, ' ');
      }
      if (line.back() != '\n') line += '\n';
      std::fputs(line.c_str(), stream);
    }
    std::fputs(s.footer.c_str(), stream);
  }
}

bool parseOptionSeconds(const char* text, double* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0.0 || value > 3600.0) return false;
  *out = value;
  return true;
}
