// The show's instruments, synthesised: drums, bass, pads, leads, plucks, bells and effects,
// rendered at 44.1 kHz into XM instruments tuned so that every note plays at its own pitch.
#pragma once

#include <string>
#include <vector>

#include "writers/xm_writer.h"

// Rate the instruments are rendered at; an unpitched instrument plays at this rate on C-4.
constexpr int kSynthRate = 44100;

// The instrument of that name (one of synthInstrumentNames), panned as given (0 left .. 255
// right); false when the name is unknown.
bool synthInstrument(const std::string& name, uint8_t panning, XmInstrument& out);
std::vector<std::string> synthInstrumentNames();

// Relative note and finetune that make a sample whose fundamental is f0 Hz at kSynthRate sound
// in tune (A-4 at 440 Hz); for unpitched sounds f0 = 261.626 plays them unchanged on C-4.
void tuneSample(double f0, XmSample& sample);
