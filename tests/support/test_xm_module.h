// A minimal module for the music tests, made with the shared XM writer: two channels, one
// pattern of 16 rows with two notes, one instrument holding a short looped square wave.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "writers/xm_writer.h"

namespace bass_test {

// The module. At tempo 6 and 125 BPM its single pattern lasts 16 × 0.12 s = 1.92 s.
// samplePanning: 0 hard left, 128 centre, 255 hard right.
XmModule testModule(uint8_t samplePanning = 128);
// Its bytes.
std::vector<uint8_t> makeTestXm(uint8_t samplePanning = 128);
// Seconds one pass through the test module takes.
constexpr double kTestXmSeconds = 1.92;

// Writes the module to path; false on failure.
bool writeTestXm(const std::string& path, uint8_t samplePanning = 128);

}  // namespace bass_test
