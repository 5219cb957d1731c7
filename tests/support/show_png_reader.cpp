// PNG and WAV read-back for the capture tests.
#include "support/show_png_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class BitReader {
 public:
  BitReader(const std::uint8_t* d, std::size_t n) : data(d), size(n) {}
  int bit() {
    if (pos >= size * 8) {
      overrun = true;
      return 0;
    }
    int b = (data[pos >> 3] >> (pos & 7)) & 1;
    ++pos;
    return b;
  }
  std::uint32_t bits(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(bit()) << i;
    return v;
  }
  void alignByte() { pos = (pos + 7) & ~std::size_t{7}; }

  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
  bool overrun = false;
};

// Canonical Huffman decoding table built from code lengths.
struct Huffman {
  std::vector<int> counts = std::vector<int>(16, 0);
  std::vector<int> symbols;
  bool build(const int* lengths, int n) {
    symbols.assign(static_cast<std::size_t>(n), 0);
    for (int i = 0; i < n; ++i) ++counts[static_cast<std::size_t>(lengths[i])];
    counts[0] = 0;
    std::vector<int> offsets(16, 0);
    for (int l = 1; l < 16; ++l) offsets[static_cast<std::size_t>(l)] = offsets[static_cast<std::size_t>(l - 1)] + counts[static_cast<std::size_t>(l - 1)];
    for (int i = 0; i < n; ++i) {
      if (lengths[i] != 0) symbols[static_cast<std::size_t>(offsets[static_cast<std::size_t>(lengths[i])]++)] = i;
    }
    return true;
  }
  int decode(BitReader& in) const {
    int code = 0;
    int first = 0;
    int index = 0;
    for (int l = 1; l < 16; ++l) {
      code |= in.bit();
      int count = counts[static_cast<std::size_t>(l)];
      if (code - first < count) return symbols[static_cast<std::size_t>(index + code - first)];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
      if (in.overrun) return -1;
    }
    return -1;
  }
};

const int kLengthBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool inflateBlock(BitReader& in, std::vector<std::uint8_t>& out, const Huffman& lit, const Huffman& dist) {
  for (;;) {
    int s = lit.decode(in);
    if (s < 0) return false;
    if (s < 256) {
      out.push_back(static_cast<std::uint8_t>(s));
    } else if (s == 256) {
      return true;
    } else {
      s -= 257;
      if (s >= 29) return false;
      int length = kLengthBase[s] + static_cast<int>(in.bits(kLengthExtra[s]));
      int d = dist.decode(in);
      if (d < 0 || d >= 30) return false;
      std::size_t distance = static_cast<std::size_t>(kDistBase[d]) + in.bits(kDistExtra[d]);
      if (distance > out.size()) return false;
      for (int i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
    }
    if (in.overrun) return false;
  }
}

std::uint32_t readBe32(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
         (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
  }
  return ~c;
}

}  // namespace

std::vector<std::uint8_t> showReadFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

bool showInflate(const std::vector<std::uint8_t>& zlib, std::vector<std::uint8_t>& out) {
  if (zlib.size() < 6 || (zlib[0] & 0x0F) != 8 || ((zlib[0] << 8) | zlib[1]) % 31 != 0) return false;
  BitReader in(zlib.data() + 2, zlib.size() - 6);
  out.clear();
  int final = 0;
  do {
    final = in.bit();
    int type = static_cast<int>(in.bits(2));
    if (type == 0) {
      in.alignByte();
      std::size_t at = in.pos / 8;
      if (at + 4 > in.size) return false;
      int len = in.data[at] | (in.data[at + 1] << 8);
      int nlen = in.data[at + 2] | (in.data[at + 3] << 8);
      if ((len ^ 0xFFFF) != nlen || at + 4 + static_cast<std::size_t>(len) > in.size) return false;
      out.insert(out.end(), in.data + at + 4, in.data + at + 4 + len);
      in.pos = (at + 4 + static_cast<std::size_t>(len)) * 8;
    } else if (type == 1) {
      int lengths[288];
      for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
      int distLengths[30];
      for (int& l : distLengths) l = 5;
      Huffman lit, dist;
      lit.build(lengths, 288);
      dist.build(distLengths, 30);
      if (!inflateBlock(in, out, lit, dist)) return false;
    } else if (type == 2) {
      int hlit = static_cast<int>(in.bits(5)) + 257;
      int hdist = static_cast<int>(in.bits(5)) + 1;
      int hclen = static_cast<int>(in.bits(4)) + 4;
      static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
      int codeLengths[19] = {};
      for (int i = 0; i < hclen; ++i) codeLengths[order[i]] = static_cast<int>(in.bits(3));
      Huffman lengthCode;
      lengthCode.build(codeLengths, 19);
      int lengths[320] = {};
      int n = 0;
      while (n < hlit + hdist) {
        int s = lengthCode.decode(in);
        if (s < 0) return false;
        if (s < 16) {
          lengths[n++] = s;
        } else {
          int repeat = 0;
          int value = 0;
          if (s == 16) {
            if (n == 0) return false;
            value = lengths[n - 1];
            repeat = 3 + static_cast<int>(in.bits(2));
          } else if (s == 17) {
            repeat = 3 + static_cast<int>(in.bits(3));
          } else {
            repeat = 11 + static_cast<int>(in.bits(7));
          }
          if (n + repeat > hlit + hdist) return false;
          while (repeat-- > 0) lengths[n++] = value;
        }
      }
      Huffman lit, dist;
      lit.build(lengths, hlit);
      dist.build(lengths + hlit, hdist);
      if (!inflateBlock(in, out, lit, dist)) return false;
    } else {
      return false;
    }
    if (in.overrun) return false;
  } while (!final);
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : out) {
    a = (a + v) % 65521u;
    b = (b + a) % 65521u;
  }
  return readBe32(zlib.data() + zlib.size() - 4) == ((b << 16) | a);
}

bool showReadPng(const std::string& path, ShowPicture& picture) {
  std::vector<std::uint8_t> file = showReadFile(path);
  static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || std::memcmp(file.data(), signature, 8) != 0) return false;
  std::size_t at = 8;
  std::vector<std::uint8_t> idat;
  int channels = 0;
  bool ended = false;
  while (at + 12 <= file.size()) {
    std::uint32_t length = readBe32(&file[at]);
    if (at + 12 + length > file.size()) return false;
    const std::uint8_t* type = &file[at + 4];
    const std::uint8_t* data = type + 4;
    if (crc32(type, length + 4) != readBe32(data + length)) return false;
    if (std::memcmp(type, "IHDR", 4) == 0) {
      picture.width = static_cast<int>(readBe32(data));
      picture.height = static_cast<int>(readBe32(data + 4));
      if (data[8] != 8 || (data[9] != 2 && data[9] != 6) || data[12] != 0) return false;
      channels = data[9] == 2 ? 3 : 4;
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      idat.insert(idat.end(), data, data + length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      ended = true;
      break;
    }
    at += 12 + length;
  }
  if (!ended || channels == 0) return false;
  std::vector<std::uint8_t> raw;
  if (!showInflate(idat, raw)) return false;
  std::size_t stride = static_cast<std::size_t>(picture.width) * channels;
  if (raw.size() != (stride + 1) * static_cast<std::size_t>(picture.height)) return false;
  std::vector<std::uint8_t> previous(stride, 0), row(stride);
  picture.pixels.assign(static_cast<std::size_t>(picture.width) * picture.height, 0);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* in = &raw[static_cast<std::size_t>(y) * (stride + 1)];
    int filter = in[0];
    for (std::size_t i = 0; i < stride; ++i) {
      int a = i >= static_cast<std::size_t>(channels) ? row[i - channels] : 0;
      int b = previous[i];
      int c = i >= static_cast<std::size_t>(channels) ? previous[i - channels] : 0;
      int predictor = 0;
      switch (filter) {
        case 0: predictor = 0; break;
        case 1: predictor = a; break;
        case 2: predictor = b; break;
        case 3: predictor = (a + b) / 2; break;
        case 4: {
          int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
          break;
        }
        default: return false;
      }
      row[i] = static_cast<std::uint8_t>(in[1 + i] + predictor);
    }
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = &row[static_cast<std::size_t>(x) * channels];
      picture.pixels[static_cast<std::size_t>(y) * picture.width + x] =
          (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[2];
    }
    previous.swap(row);
  }
  return true;
}

bool showReadWav(const std::string& path, ShowWav& wav) {
  std::vector<std::uint8_t> file = showReadFile(path);
  if (file.size() < 44 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0) return false;
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(file[at]) | (static_cast<std::uint32_t>(file[at + 1]) << 8) |
           (static_cast<std::uint32_t>(file[at + 2]) << 16) | (static_cast<std::uint32_t>(file[at + 3]) << 24);
  };
  if (le32(4) != file.size() - 8) return false;
  std::size_t at = 12;
  bool haveFormat = false;
  while (at + 8 <= file.size()) {
    std::uint32_t length = le32(at + 4);
    if (at + 8 + length > file.size()) return false;
    if (std::memcmp(&file[at], "fmt ", 4) == 0) {
      if (file[at + 8] != 1 || file[at + 9] != 0) return false;
      wav.channels = file[at + 10] | (file[at + 11] << 8);
      wav.sampleRate = static_cast<int>(le32(at + 12));
      wav.bitsPerSample = file[at + 22] | (file[at + 23] << 8);
      haveFormat = true;
    } else if (std::memcmp(&file[at], "data", 4) == 0) {
      if (!haveFormat || wav.bitsPerSample != 16) return false;
      wav.samples.resize(length / 2);
      for (std::size_t i = 0; i < wav.samples.size(); ++i)
        wav.samples[i] = static_cast<std::int16_t>(file[at + 8 + 2 * i] | (file[at + 9 + 2 * i] << 8));
      return true;
    }
    at += 8 + length;
  }
  return false;
}
