// A small streaming JSON writer: objects, arrays, keys and values with commas and
// indentation handled; numbers that are not finite are written as null.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class JsonWriter {
 public:
  explicit JsonWriter(std::FILE* stream) : out(stream) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // The key of the next value inside an object.
  void key(const char* name);

  void value(const char* text);  // null for a null pointer
  void value(const std::string& text) { value(text.c_str()); }
  void value(double number);
  void value(int number);
  void value(bool flag);
  void null();
  void hexColour(std::uint32_t colour);  // "0xAARRGGBB"
  void numbers(const float* values, int count);

  // Shorthands for a key followed by its value.
  template <typename T>
  void field(const char* name, const T& v) {
    key(name);
    value(v);
  }

 private:
  void beforeValue();
  void writeString(const char* text);
  void newline();

  std::FILE* out;
  // Per open container: whether it already holds an entry.
  std::vector<bool> hasEntry;
  bool afterKey = false;
};
