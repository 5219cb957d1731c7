// Pixel conversion between PixelFormat layouts and filtered scaling through 32-bit buffers.
#include "image/pixel_conversion.h"

#include <cstdlib>
#include <cstring>

namespace {

int pixelBytes(const PixelFormat& format) {
  if (format.bitsPerPixel <= 8) return 1;
  if (format.bitsPerPixel <= 16) return 2;
  if (format.bitsPerPixel <= 24) return 3;
  return 4;
}

bool sameFormat(const PixelFormat& a, const PixelFormat& b) {
  return a.bitsPerPixel == b.bitsPerPixel && a.alphaMask == b.alphaMask && a.redMask == b.redMask &&
         a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

// Where a channel sits in a pixel value: trailing zero bits and the run of ones above them.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int width = 0;
};

Channel channelOf(uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  while (((mask >> c.shift) & 1u) == 0) ++c.shift;
  while (c.shift + c.width < 32 && ((mask >> (c.shift + c.width)) & 1u) != 0) ++c.width;
  return c;
}

// The four channel pairs of one conversion, worked out once per call.
struct ChannelMap {
  Channel source[4];
  Channel destination[4];
};

ChannelMap channelMap(const PixelFormat& source, const PixelFormat& destination) {
  ChannelMap map;
  const uint32_t sourceMasks[4] = {source.redMask, source.greenMask, source.blueMask, source.alphaMask};
  const uint32_t destinationMasks[4] = {destination.redMask, destination.greenMask, destination.blueMask,
                                        destination.alphaMask};
  for (int i = 0; i < 4; ++i) {
    map.source[i] = channelOf(sourceMasks[i]);
    map.destination[i] = channelOf(destinationMasks[i]);
  }
  return map;
}

uint32_t convertWith(const ChannelMap& map, uint32_t value) {
  uint32_t result = 0;
  for (int i = 0; i < 4; ++i) {
    const Channel& s = map.source[i];
    const Channel& d = map.destination[i];
    uint32_t v = (value & s.mask) >> s.shift;
    if (v != 0) {
      if (d.width < s.width) {
        const int drop = s.width - d.width;
        v = drop >= 32 ? 0 : v >> drop;
      } else {
        for (int k = s.width; k < d.width; ++k) v = 2 * v + 1;
      }
    }
    result += v << d.shift;
  }
  return result;
}

uint32_t readPixel(const unsigned char* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
  return value;
}

void writePixel(unsigned char* p, int bytes, uint32_t value) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

const PixelFormat kArgb32 = {32, 0xff000000u, 0xff0000u, 0xff00u, 0xffu};

}  // namespace

uint32_t convertPixel(const PixelFormat* source, const PixelFormat* destination, uint32_t value) {
  if (source == nullptr || destination == nullptr) return 0;
  return convertWith(channelMap(*source, *destination), value);
}

bool convertPixels(const PixelFormat* sourceFormat, const void* sourcePixels, int32_t width, int32_t height,
                   int32_t sourcePitch, const PixelFormat* destinationFormat, void* destinationPixels,
                   int32_t destinationWidth, int32_t destinationHeight, int32_t destinationPitch) {
  if (sourcePixels == nullptr || destinationPixels == nullptr || sourceFormat == nullptr ||
      destinationFormat == nullptr)
    return false;
  if (width != destinationWidth || height != destinationHeight) return false;
  // Negative sizes or pitches would turn into enormous copies.
  if (width < 0 || height < 0 || sourcePitch < 0 || destinationPitch < 0) return false;

  const auto* source = static_cast<const unsigned char*>(sourcePixels);
  auto* destination = static_cast<unsigned char*>(destinationPixels);
  if (sameFormat(*sourceFormat, *destinationFormat) && sourcePitch == destinationPitch) {
    std::memcpy(destination, source, static_cast<size_t>(height) * static_cast<size_t>(sourcePitch));
    return true;
  }

  const ChannelMap map = channelMap(*sourceFormat, *destinationFormat);
  const int sourceBytes = pixelBytes(*sourceFormat);
  const int destinationBytes = pixelBytes(*destinationFormat);
  for (int32_t y = 0; y < height; ++y) {
    const unsigned char* in = source + static_cast<size_t>(y) * static_cast<size_t>(sourcePitch);
    unsigned char* out = destination + static_cast<size_t>(y) * static_cast<size_t>(destinationPitch);
    for (int32_t x = 0; x < width; ++x) {
      writePixel(out, destinationBytes, convertWith(map, readPixel(in, sourceBytes)));
      in += sourceBytes;
      out += destinationBytes;
    }
  }
  return true;
}

namespace {

inline uint32_t channelAt(uint32_t pixel, int c) { return (pixel >> (8 * c)) & 0xffu; }

// Bilinear sample of the 32-bit source at the 16.16 position (fx, fy). Each horizontal
// product is truncated on its own; the vertical blend is truncated once.
uint32_t bilinearSample(const uint32_t* source, int32_t width, int32_t height, int64_t fx, int64_t fy) {
  const int32_t sx = static_cast<int32_t>(fx >> 16);
  const int32_t sy = static_cast<int32_t>(fy >> 16);
  const float wx = static_cast<float>(static_cast<double>(fx) / 65536.0 - sx);
  const float inverseWx = 1.0f - wx;
  const double wy = static_cast<double>(fy) / 65536.0 - sy;
  const uint32_t* row = source + static_cast<size_t>(sy) * static_cast<size_t>(width);
  const bool right = sx + 1 < width;
  const bool below = sy + 1 < height;
  uint32_t result = 0;
  for (int c = 0; c < 4; ++c) {
    uint32_t top = channelAt(row[sx], c);
    if (right) {
      top = static_cast<uint32_t>(channelAt(row[sx + 1], c) * static_cast<double>(wx)) +
            static_cast<uint32_t>(channelAt(row[sx], c) * static_cast<double>(inverseWx));
    }
    uint32_t value = top;
    if (below) {
      const uint32_t* next = row + width;
      uint32_t bottom = channelAt(next[sx], c);
      if (right) {
        bottom = static_cast<uint32_t>(channelAt(next[sx + 1], c) * static_cast<double>(wx)) +
                 static_cast<uint32_t>(channelAt(next[sx], c) * static_cast<double>(inverseWx));
      }
      value = static_cast<uint32_t>(bottom * wy + top * (1.0 - wy));
    }
    result |= (value & 0xffu) << (8 * c);
  }
  return result;
}

// Average of the boxWidth × boxHeight samples from (sx, sy) that lie inside the source.
uint32_t boxSample(const uint32_t* source, int32_t width, int32_t height, int32_t sx, int32_t sy, int32_t boxWidth,
                   int32_t boxHeight) {
  uint64_t sums[4] = {0, 0, 0, 0};
  uint64_t count = 0;
  for (int32_t y = sy; y < sy + boxHeight && y < height; ++y) {
    const uint32_t* row = source + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = sx; x < sx + boxWidth && x < width; ++x) {
      for (int c = 0; c < 4; ++c) sums[c] += channelAt(row[x], c);
      ++count;
    }
  }
  if (count == 0) return 0;
  uint32_t result = 0;
  for (int c = 0; c < 4; ++c) result |= static_cast<uint32_t>(sums[c] / count) << (8 * c);
  return result;
}

}  // namespace

bool scaleImage(const PixelFormat* sourceFormat, const void* sourcePixels, int32_t sourceWidth, int32_t sourceHeight,
                int32_t sourcePitch, const PixelFormat* destinationFormat, void* destinationPixels,
                int32_t destinationWidth, int32_t destinationHeight, int32_t destinationPitch) {
  if (sourceFormat == nullptr || sourcePixels == nullptr || destinationFormat == nullptr ||
      destinationPixels == nullptr)
    return false;
  if (sourceWidth <= 0 || sourceHeight <= 0 || destinationWidth <= 0 || destinationHeight <= 0) return false;
  if (sourcePitch < 0 || destinationPitch < 0) return false;
  if (sameFormat(*sourceFormat, *destinationFormat) && sourceWidth == destinationWidth &&
      sourceHeight == destinationHeight && sourcePitch == destinationPitch) {
    std::memcpy(destinationPixels, sourcePixels, static_cast<size_t>(sourceHeight) * static_cast<size_t>(sourcePitch));
    return true;
  }
  // Row pitches of the 32-bit temporaries must fit the 32-bit pitch argument.
  if (sourceWidth > INT32_MAX / 4 || destinationWidth > INT32_MAX / 4) return false;

  const size_t sourceCount = static_cast<size_t>(sourceWidth) * static_cast<size_t>(sourceHeight);
  const size_t destinationCount = static_cast<size_t>(destinationWidth) * static_cast<size_t>(destinationHeight);
  auto* source32 = static_cast<uint32_t*>(std::malloc(sourceCount * 4));
  auto* destination32 = static_cast<uint32_t*>(std::malloc(destinationCount * 4));
  if (source32 == nullptr || destination32 == nullptr ||
      !convertPixels(sourceFormat, sourcePixels, sourceWidth, sourceHeight, sourcePitch, &kArgb32, source32,
                     sourceWidth, sourceHeight, sourceWidth * 4)) {
    std::free(source32);
    std::free(destination32);
    return false;
  }

  const int64_t stepX = static_cast<int64_t>(sourceWidth) * 65536 / destinationWidth;
  const int64_t stepY = static_cast<int64_t>(sourceHeight) * 65536 / destinationHeight;
  const int32_t boxWidth = static_cast<int32_t>(stepX >> 16);
  const int32_t boxHeight = static_cast<int32_t>(stepY >> 16);
  const bool bilinear = stepX < 65536 || stepY < 65536;

  int64_t fy = 0;
  for (int32_t y = 0; y < destinationHeight; ++y) {
    uint32_t* out = destination32 + static_cast<size_t>(y) * static_cast<size_t>(destinationWidth);
    int64_t fx = 0;
    for (int32_t x = 0; x < destinationWidth; ++x) {
      out[x] = bilinear ? bilinearSample(source32, sourceWidth, sourceHeight, fx, fy)
                        : boxSample(source32, sourceWidth, sourceHeight, static_cast<int32_t>(fx >> 16),
                                    static_cast<int32_t>(fy >> 16), boxWidth, boxHeight);
      fx += stepX;
      if ((fx >> 16) >= sourceWidth) fx = static_cast<int64_t>(sourceWidth - 1) * 65536;
    }
    fy += stepY;
    if ((fy >> 16) >= sourceHeight) fy = static_cast<int64_t>(sourceHeight - 1) * 65536;
  }

  const bool converted =
      convertPixels(&kArgb32, destination32, destinationWidth, destinationHeight, destinationWidth * 4,
                    destinationFormat, destinationPixels, destinationWidth, destinationHeight, destinationPitch);
  std::free(source32);
  std::free(destination32);
  return converted;
}
