// What a conversion could not carry over, collected once per kind of loss for the user.
#pragma once

#include <string>
#include <vector>

namespace convert {

class ConvertReport {
 public:
  // Adds a note unless the same text was noted before.
  void note(const std::string& text) {
    for (const std::string& n : notes)
      if (n == text) return;
    notes.push_back(text);
  }
  std::vector<std::string> notes;
};

}  // namespace convert
