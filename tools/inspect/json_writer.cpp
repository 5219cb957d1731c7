// Streaming JSON writer for the inspector's report.
#include "json_writer.h"

#include <cmath>

void JsonWriter::newline() {
  std::fputc('\n', out);
  for (std::size_t i = 0; i < hasEntry.size(); ++i) std::fputs("  ", out);
}

void JsonWriter::beforeValue() {
  if (afterKey) {
    afterKey = false;
    return;
  }
  if (!hasEntry.empty()) {
    if (hasEntry.back()) std::fputc(',', out);
    hasEntry.back() = true;
    newline();
  }
}

void JsonWriter::beginObject() {
  beforeValue();
  std::fputc('{', out);
  hasEntry.push_back(false);
}

void JsonWriter::endObject() {
  bool any = hasEntry.back();
  hasEntry.pop_back();
  if (any) newline();
  std::fputc('}', out);
  if (hasEntry.empty()) std::fputc('\n', out);
}

void JsonWriter::beginArray() {
  beforeValue();
  std::fputc('[', out);
  hasEntry.push_back(false);
}

void JsonWriter::endArray() {
  bool any = hasEntry.back();
  hasEntry.pop_back();
  if (any) newline();
  std::fputc(']', out);
}

void JsonWriter::key(const char* name) {
  beforeValue();
  writeString(name);
  std::fputs(": ", out);
  afterKey = true;
}

void JsonWriter::value(const char* text) {
  beforeValue();
  if (text == nullptr) {
    std::fputs("null", out);
    return;
  }
  writeString(text);
}

void JsonWriter::writeString(const char* text) {
  std::fputc('"', out);
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
    switch (*c) {
      case '"':
        std::fputs("\\\"", out);
        break;
      case '\\':
        std::fputs("\\\\", out);
        break;
      case '\n':
        std::fputs("\\n", out);
        break;
      case '\r':
        std::fputs("\\r", out);
        break;
      case '\t':
        std::fputs("\\t", out);
        break;
      default:
        // Names in scene files are bytes of an 8-bit code page: bytes from 0x80 are taken
        // as Latin-1 and escaped, so the report is plain ASCII and always valid UTF-8.
        if (*c < 0x20 || *c >= 0x7f)
          std::fprintf(out, "\\u%04x", *c);
        else
          std::fputc(*c, out);
    }
  }
  std::fputc('"', out);
}

void JsonWriter::value(double number) {
  beforeValue();
  if (!std::isfinite(number)) {
    std::fputs("null", out);
    return;
  }
  if (number == 0.0) number = 0.0;  // no "-0"
  std::fprintf(out, "%.9g", number);
}

void JsonWriter::value(int number) {
  beforeValue();
  std::fprintf(out, "%d", number);
}

void JsonWriter::value(bool flag) {
  beforeValue();
  std::fputs(flag ? "true" : "false", out);
}

void JsonWriter::null() {
  beforeValue();
  std::fputs("null", out);
}

void JsonWriter::hexColour(std::uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(colour));
  value(text);
}

void JsonWriter::numbers(const float* values, int count) {
  // Short arrays stay on one line.
  beforeValue();
  std::fputc('[', out);
  for (int i = 0; i < count; ++i) {
    if (i > 0) std::fputs(", ", out);
    double v = values[i];
    if (!std::isfinite(v))
      std::fputs("null", out);
    else
      std::fprintf(out, "%.9g", v == 0.0 ? 0.0 : v);
  }
  std::fputc(']', out);
}
