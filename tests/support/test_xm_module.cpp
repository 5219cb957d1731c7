// Minimal XM module writer for the music tests (the layout of the XM format, byte by byte).
#include "support/bass_xm_writer.h"

#include <cstdio>
#include <cstring>

namespace bass_test {

namespace {

void put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(uint8_t(v)); }

void put16(std::vector<uint8_t>& out, uint32_t v) {
    put8(out, v);
    put8(out, v >> 8);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

void putText(std::vector<uint8_t>& out, const char* text, size_t width) {
    const size_t n = std::strlen(text);
    for (size_t i = 0; i < width; ++i) out.push_back(i < n ? uint8_t(text[i]) : 0);
}

}  // namespace

std::vector<uint8_t> makeTestXm(uint8_t samplePanning) {
    std::vector<uint8_t> out;
    const int channels = 2;
    const int rows = 16;

    // Module header.
    putText(out, "Extended Module: ", 17);
    putText(out, "test module", 20);
    put8(out, 0x1a);
    putText(out, "vellumite tests", 20);
    put16(out, 0x0104);
    put32(out, 276);       // header size, counted from this field
    put16(out, 1);         // song length (orders)
    put16(out, 0);         // restart position
    put16(out, channels);
    put16(out, 1);         // patterns
    put16(out, 1);         // instruments
    put16(out, 1);         // linear frequency table
    put16(out, 6);         // tempo (ticks per row)
    put16(out, 125);       // BPM
    for (int i = 0; i < 256; ++i) put8(out, 0);  // order table: pattern 0

    // Pattern 0, packed: a note with instrument 1 on rows 0 and 8 of channel 0, the rest empty.
    std::vector<uint8_t> data;
    for (int row = 0; row < rows; ++row) {
        for (int channel = 0; channel < channels; ++channel) {
            if (channel == 0 && (row == 0 || row == 8)) {
                data.push_back(0x83);                      // note and instrument follow
                data.push_back(row == 0 ? 49 : 56);        // C-4, G-4
                data.push_back(1);
            } else {
                data.push_back(0x80);                      // empty
            }
        }
    }
    put32(out, 9);  // pattern header length
    put8(out, 0);   // packing type
    put16(out, rows);
    put16(out, uint32_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());

    // Instrument 1 with one sample.
    const size_t instrumentStart = out.size();
    put32(out, 263);
    putText(out, "square", 22);
    put8(out, 0);     // type
    put16(out, 1);    // samples
    put32(out, 40);   // sample header size
    for (int i = 0; i < 96; ++i) put8(out, 0);   // every note plays sample 0
    for (int i = 0; i < 96; ++i) put8(out, 0);   // volume and panning envelope points
    for (int i = 0; i < 14; ++i) put8(out, 0);   // envelope counts, sustain, loops, types; vibrato
    put16(out, 0);    // fadeout
    put16(out, 0);    // reserved
    while (out.size() - instrumentStart < 263) put8(out, 0);

    // The sample: a 32-byte square wave, looped over its whole length, stored as deltas.
    const int length = 32;
    put32(out, length);
    put32(out, 0);        // loop start
    put32(out, length);   // loop length
    put8(out, 64);        // volume
    put8(out, 0);         // finetune
    put8(out, 1);         // forward loop, 8-bit
    put8(out, samplePanning);
    put8(out, 0);         // relative note
    put8(out, 0);         // reserved
    putText(out, "square", 22);
    int8_t previous = 0;
    for (int i = 0; i < length; ++i) {
        const int8_t value = i < length / 2 ? 48 : -48;
        put8(out, uint8_t(int8_t(value - previous)));
        previous = value;
    }
    return out;
}

bool writeTestXm(const std::string& path, uint8_t samplePanning) {
    const std::vector<uint8_t> bytes = makeTestXm(samplePanning);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace bass_test
