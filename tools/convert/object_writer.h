// Writes a converted object as a 3DX file through the shared object writer: one "OBJE" per
// layer, then per group its "MATR", "VERT", "POLY" and, with weight maps, "WGHT".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converted_object.h"

namespace convert {

// The file's bytes. Texture names must already be tokens (no blanks, at most 255
// characters) and every group within the format's limits; empty names become "(none)".
std::vector<std::uint8_t> encodeObject(const ConvertedObject& object);

// Writes the file; false (with errno set) when it cannot be written completely.
bool writeObjectFile(const ConvertedObject& object, const std::string& path);

}  // namespace convert
