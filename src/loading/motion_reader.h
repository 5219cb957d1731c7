// Readers that build motions from the text of a scene file; the scene's readMotion and
// readValueEnvelope operations forward here.
#pragma once

#include "loading/motion.h"

class DataFile;

// Reads one motion block ("NumChannels", then "Channel" blocks of keys and behaviours)
// positioned just after the keyword that introduces it. type: 1 object, 2 light,
// 3 camera, 4 bone. Null when the block is malformed or ends with the file (nothing leaks).
Motion* readMotion(DataFile& file, int16_t type);

// Reads constant values or "(envelope)" blocks for a scalar (kind 5, one channel) or a
// colour (kind 6, three channels). Null for other kinds, or when an envelope block ends
// with the file.
Motion* readValueEnvelope(DataFile& file, int32_t kind);

// The same for a file held by pointer (null gives null).
inline Motion* readMotion(DataFile* file, int16_t type) { return file ? readMotion(*file, type) : nullptr; }
inline Motion* readValueEnvelope(DataFile* file, int32_t kind) {
  return file ? readValueEnvelope(*file, kind) : nullptr;
}
