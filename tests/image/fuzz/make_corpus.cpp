// Writes the committed fuzz corpus of the picture decoders: a few valid small pictures per
// format plus deterministic mutations of them (bit flips, extreme header values, truncation,
// inserted and repeated chunks). Usage: image_corpus_maker OUTPUT_FOLDER
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/image_writers.h"

using namespace image_test;
namespace fs = std::filesystem;

namespace {

struct Random {
  uint64_t state;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return uint32_t(state >> 16);
  }
  uint32_t below(uint32_t n) { return n == 0 ? 0 : next() % n; }
};

// Where the multi-byte header fields of each format sit (offset, width in bytes).
struct Field {
  size_t offset;
  int bytes;
};

const uint32_t kInteresting[] = {0,       1,          2,          3,          0x7f,       0x80,      0xff,
                                 0x100,   0x3fff,     0x4000,     0x4001,     0x7fff,     0x8000,    0xffff,
                                 0x10000, 0x7fffffff, 0x80000000, 0xfffffffe, 0xffffffff, 0x40000000};

void putValue(Bytes& b, Field f, uint32_t v) {
  for (int i = 0; i < f.bytes && f.offset + i < b.size(); ++i) b[f.offset + i] = uint8_t(v >> (8 * i));
}

// The frame header (SOF0 or SOF2) of a JPEG file: height, width and component count follow.
size_t frameHeader(const Bytes& b) {
  for (size_t i = 0; i + 9 < b.size(); ++i)
    if (b[i] == 0xff && (b[i + 1] == 0xc0 || b[i + 1] == 0xc2)) return i;
  return 0;
}

Bytes mutate(const Bytes& seed, const std::vector<Field>& fields, Random& rng) {
  Bytes b = seed;
  const int steps = 1 + int(rng.below(3));
  for (int s = 0; s < steps && !b.empty(); ++s) {
    switch (rng.below(7)) {
      case 0: {  // flip a few bits
        for (int k = 0, n = 1 + int(rng.below(4)); k < n; ++k)
          b[rng.below(uint32_t(b.size()))] ^= uint8_t(1u << rng.below(8));
        break;
      }
      case 1: {  // an interesting byte anywhere, mostly near the start
        const uint32_t limit = rng.below(2) ? uint32_t(std::min<size_t>(b.size(), 160)) : uint32_t(b.size());
        b[rng.below(limit)] = uint8_t(kInteresting[rng.below(sizeof kInteresting / sizeof kInteresting[0])]);
        break;
      }
      case 2:
      case 3: {                // an extreme value in a header field
        if (fields.empty()) {  // JPEG: big-endian frame dimensions or component count
          const size_t sof = frameHeader(b);
          if (sof == 0) break;
          const uint32_t v = kInteresting[rng.below(sizeof kInteresting / sizeof kInteresting[0])];
          const size_t at = sof + 5 + 2 * rng.below(3);
          b[at] = uint8_t(v >> 8);
          if (at + 1 < b.size() && at != sof + 9) b[at + 1] = uint8_t(v);
          break;
        }
        putValue(b, fields[rng.below(uint32_t(fields.size()))],
                 kInteresting[rng.below(sizeof kInteresting / sizeof kInteresting[0])]);
        break;
      }
      case 4: {  // truncate
        b.resize(rng.below(uint32_t(b.size())));
        break;
      }
      case 5: {  // insert random bytes
        const size_t at = rng.below(uint32_t(b.size()));
        Bytes chunk(1 + rng.below(24));
        for (auto& c : chunk) c = uint8_t(rng.next());
        b.insert(b.begin() + long(at), chunk.begin(), chunk.end());
        break;
      }
      default: {  // repeat a chunk of the file elsewhere
        const size_t from = rng.below(uint32_t(b.size()));
        const size_t length = std::min<size_t>(1 + rng.below(64), b.size() - from);
        const Bytes chunk(b.begin() + long(from), b.begin() + long(from + length));
        const size_t at = rng.below(uint32_t(b.size()));
        b.insert(b.begin() + long(at), chunk.begin(), chunk.end());
        break;
      }
    }
  }
  return b;
}

bool writeSet(const fs::path& folder, const std::string& extension, const std::vector<Bytes>& seeds,
              const std::vector<Field>& fields, int mutations, uint64_t seedValue) {
  std::error_code error;
  fs::create_directories(folder, error);
  int index = 0;
  char name[64];
  for (const Bytes& seed : seeds) {
    std::snprintf(name, sizeof name, "seed_%02d.%s", index++, extension.c_str());
    if (!writeFile((folder / name).string(), seed)) return false;
  }
  Random rng{seedValue};
  for (int i = 0; i < mutations; ++i) {
    const Bytes& seed = seeds[rng.below(uint32_t(seeds.size()))];
    std::snprintf(name, sizeof name, "mut_%04d.%s", i, extension.c_str());
    if (!writeFile((folder / name).string(), mutate(seed, fields, rng))) return false;
  }
  return true;
}

Bytes grey(int w, int h) {
  Bytes g(size_t(w) * h);
  for (size_t i = 0; i < g.size(); ++i) g[i] = uint8_t(i * 37);
  return g;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path root(argv[1]);
  const int kMutations = 150;

  std::vector<Bytes> bmp = {writeBmp24(makePattern(8, 8), 8, 8), writeBmp24(makePattern(5, 3), 5, 3),
                            writeBmp24(makePattern(1, 1), 1, 1), writeBmp24(makePattern(13, 7), 13, 7, false)};
  Bytes palette(1024);
  for (size_t i = 0; i < palette.size(); ++i) palette[i] = uint8_t(i * 13);
  bmp.push_back(writeBmp8(grey(7, 5), palette, 7, 5));
  bmp.push_back(writeBmp8(grey(16, 4), palette, 16, 4));
  const std::vector<Field> bmpFields = {{2, 4},  {10, 4}, {14, 4}, {18, 4}, {22, 4},
                                        {26, 2}, {28, 2}, {30, 4}, {34, 4}, {46, 4}};

  std::vector<Bytes> tga = {writeTga24(makePattern(8, 8), 8, 8), writeTga24(makePattern(5, 3), 5, 3, "id"),
                            writeTga24(makePattern(1, 1), 1, 1), writeTga24(makePattern(12, 9), 12, 9)};
  tga.back()[17] = 0x20;  // top-left origin
  const std::vector<Field> tgaFields = {{0, 1}, {1, 1},  {2, 1},  {3, 2},  {5, 2},
                                        {7, 1}, {12, 2}, {14, 2}, {16, 1}, {17, 1}};

  const std::vector<Bytes> pcx = {writePcx24(makePattern(8, 8), 8, 8), writePcx24(makePattern(7, 3), 7, 3),
                                  writePcx24(makePattern(1, 1), 1, 1), writePcx24(makePattern(20, 6), 20, 6, 24),
                                  writePcx24(Bytes(64 * 2 * 3, 0xff), 64, 2)};
  const std::vector<Field> pcxFields = {{3, 1}, {4, 2}, {6, 2}, {8, 2}, {10, 2}, {65, 1}, {66, 2}};

  const std::vector<Bytes> jpeg = {writeJpeg(makePattern(16, 16), 16, 16, 3), writeJpeg(makePattern(9, 5), 9, 5, 3, 50),
                                   writeJpeg(makePattern(24, 8), 24, 8, 3, 80, true), writeJpeg(grey(8, 8), 8, 8, 1),
                                   writeJpeg(grey(17, 3), 17, 3, 1, 75, true)};
  // Frame header fields sit right after the SOF marker; their offsets differ per file, so
  // JPEG mutations rely on the byte-level steps.
  const std::vector<Field> jpegFields;

  bool ok = writeSet(root / "bmp", "bmp", bmp, bmpFields, kMutations, 0x1b3d) &&
            writeSet(root / "tga", "tga", tga, tgaFields, kMutations, 0x7a71) &&
            writeSet(root / "pcx", "pcx", pcx, pcxFields, kMutations, 0x9c3) &&
            writeSet(root / "jpeg", "jpg", jpeg, jpegFields, kMutations, 0x5eed);
  if (!ok) {
    std::fprintf(stderr, "could not write the corpus under %s\n", argv[1]);
    return 1;
  }
  return 0;
}
