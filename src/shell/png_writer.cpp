// PNG encoding: rows filtered per row (the cheapest of None, Sub, Up and Paeth by the sum
// of absolute values), one fixed-code deflate block with greedy hash-chain matching.
#include "shell/png_writer.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kWindowSize = 32768;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;
constexpr int kHashBits = 15;
constexpr int kMaxChain = 16;

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,   2,   3,   4,    5,    7,    9,    13,    17,    25,
                                             33,  49,  65,  97,   129,  193,  257,  385,   513,   769,
                                             1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Bits go out least significant first; Huffman codes are reversed before they are put.
class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& target) : out(target) {}

  void put(std::uint32_t value, int count) {
    buffer |= static_cast<std::uint64_t>(value) << filled;
    filled += count;
    while (filled >= 8) {
      out.push_back(static_cast<std::uint8_t>(buffer));
      buffer >>= 8;
      filled -= 8;
    }
  }
  void putCode(std::uint32_t code, int length) {
    std::uint32_t reversed = 0;
    for (int i = 0; i < length; ++i) reversed |= ((code >> i) & 1u) << (length - 1 - i);
    put(reversed, length);
  }
  void flush() {
    if (filled > 0) out.push_back(static_cast<std::uint8_t>(buffer));
    buffer = 0;
    filled = 0;
  }

 private:
  std::vector<std::uint8_t>& out;
  std::uint64_t buffer = 0;
  int filled = 0;
};

// The fixed literal/length code of a symbol 0..287.
void putLiteral(BitWriter& bits, int symbol) {
  if (symbol < 144) {
    bits.putCode(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits.putCode(0x190 + (symbol - 144), 9);
  } else if (symbol < 280) {
    bits.putCode(symbol - 256, 7);
  } else {
    bits.putCode(0xC0 + (symbol - 280), 8);
  }
}

void putMatch(BitWriter& bits, int length, int distance) {
  int l = 28;
  while (kLengthBase[l] > length) --l;
  putLiteral(bits, 257 + l);
  if (kLengthExtra[l] > 0) bits.put(static_cast<std::uint32_t>(length - kLengthBase[l]), kLengthExtra[l]);
  int d = 29;
  while (kDistanceBase[d] > distance) --d;
  bits.putCode(static_cast<std::uint32_t>(d), 5);
  if (kDistanceExtra[d] > 0) bits.put(static_cast<std::uint32_t>(distance - kDistanceBase[d]), kDistanceExtra[d]);
}

std::uint32_t hashAt(const std::uint8_t* p) {
  std::uint32_t v = (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

const std::array<std::uint32_t, 256>& crcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void appendChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
  appendU32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  appendU32(out, pngCrc32(out.data() + start, out.size() - start));
}

int paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a);
  int pb = std::abs(p - b);
  int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

std::uint32_t pngCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  const std::array<std::uint32_t, 256>& table = crcTable();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  while (size > 0) {
    // 5552 bytes keep the sums below 2^32 before the reduction.
    std::size_t n = size < 5552 ? size : 5552;
    for (std::size_t i = 0; i < n; ++i) {
      a += data[i];
      b += a;
    }
    a %= 65521u;
    b %= 65521u;
    data += n;
    size -= n;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> zlibCompress(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out;
  out.reserve(size / 4 + 64);
  out.push_back(0x78);  // deflate, 32 KiB window
  out.push_back(0x01);  // fastest level; header check bits make 0x7801 a multiple of 31
  BitWriter bits(out);
  bits.put(1, 1);  // the final block
  bits.put(1, 2);  // fixed codes

  std::vector<std::int32_t> head(std::size_t{1} << kHashBits, -1);
  std::vector<std::int32_t> previous(kWindowSize, -1);
  auto insert = [&](std::size_t at) {
    if (at + kMinMatch > size) return;
    std::uint32_t h = hashAt(data + at);
    previous[at & (kWindowSize - 1)] = head[h];
    head[h] = static_cast<std::int32_t>(at);
  };

  std::size_t i = 0;
  while (i < size) {
    int bestLength = 0;
    int bestDistance = 0;
    if (i + kMinMatch <= size) {
      std::size_t limit = size - i < static_cast<std::size_t>(kMaxMatch) ? size - i : kMaxMatch;
      std::int32_t candidate = head[hashAt(data + i)];
      for (int chain = 0; chain < kMaxChain && candidate >= 0; ++chain) {
        std::size_t distance = i - static_cast<std::size_t>(candidate);
        if (distance > static_cast<std::size_t>(kWindowSize - 1)) break;
        const std::uint8_t* a = data + candidate;
        const std::uint8_t* b = data + i;
        std::size_t length = 0;
        while (length < limit && a[length] == b[length]) ++length;
        if (static_cast<int>(length) > bestLength) {
          bestLength = static_cast<int>(length);
          bestDistance = static_cast<int>(distance);
          if (length == limit) break;
        }
        std::int32_t next = previous[static_cast<std::size_t>(candidate) & (kWindowSize - 1)];
        if (next >= candidate) break;  // the slot was reused by a newer position
        candidate = next;
      }
    }
    if (bestLength >= kMinMatch) {
      putMatch(bits, bestLength, bestDistance);
      for (int k = 0; k < bestLength; ++k) insert(i + static_cast<std::size_t>(k));
      i += static_cast<std::size_t>(bestLength);
    } else {
      putLiteral(bits, data[i]);
      insert(i);
      ++i;
    }
  }
  putLiteral(bits, 256);
  bits.flush();
  appendU32(out, adler32(data, size));
  return out;
}

std::vector<std::uint8_t> encodePng(const std::uint32_t* pixels, int width, int height) {
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> raw(stride);
  std::vector<std::uint8_t> above(stride, 0);
  std::vector<std::uint8_t> filtered((stride + 1) * static_cast<std::size_t>(height));
  std::array<std::vector<std::uint8_t>, 4> candidates;
  for (auto& c : candidates) c.resize(stride);

  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x) {
      raw[static_cast<std::size_t>(x) * 3 + 0] = static_cast<std::uint8_t>(row[x] >> 16);
      raw[static_cast<std::size_t>(x) * 3 + 1] = static_cast<std::uint8_t>(row[x] >> 8);
      raw[static_cast<std::size_t>(x) * 3 + 2] = static_cast<std::uint8_t>(row[x]);
    }
    std::array<std::uint64_t, 4> cost{};
    for (std::size_t i = 0; i < stride; ++i) {
      int left = i >= 3 ? raw[i - 3] : 0;
      int up = above[i];
      int upLeft = i >= 3 ? above[i - 3] : 0;
      std::uint8_t values[4] = {raw[i], static_cast<std::uint8_t>(raw[i] - left),
                                static_cast<std::uint8_t>(raw[i] - up),
                                static_cast<std::uint8_t>(raw[i] - paeth(left, up, upLeft))};
      for (int f = 0; f < 4; ++f) {
        candidates[f][i] = values[f];
        cost[f] += values[f] < 128 ? values[f] : 256 - values[f];
      }
    }
    int best = 0;
    for (int f = 1; f < 4; ++f) {
      if (cost[f] < cost[best]) best = f;
    }
    std::uint8_t* out = filtered.data() + static_cast<std::size_t>(y) * (stride + 1);
    out[0] = static_cast<std::uint8_t>(best == 3 ? 4 : best);  // PNG numbers Paeth 4
    std::memcpy(out + 1, candidates[best].data(), stride);
    above.swap(raw);
  }

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  appendU32(header, static_cast<std::uint32_t>(width));
  appendU32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive filters, no interlace
  appendChunk(png, "IHDR", header);
  appendChunk(png, "IDAT", zlibCompress(filtered.data(), filtered.size()));
  appendChunk(png, "IEND", {});
  return png;
}

bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height) {
  std::vector<std::uint8_t> png = encodePng(pixels, width, height);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = std::fwrite(png.data(), 1, png.size(), file) == png.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}
