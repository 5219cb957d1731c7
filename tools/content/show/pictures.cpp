// Procedural pictures of the show. Every kind draws into floating-point RGB at u, v in 0..1
// (v = 0 on the top row) from the options of its recipe line; text comes from the show's font.
#include "pictures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "writers/byte_writer.h"
#include "writers/jpeg_writer.h"

namespace {

using Rgb = std::array<float, 3>;

Rgb mix(const Rgb& a, const Rgb& b, float t) {
  return {a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t};
}
Rgb scaled(const Rgb& a, float s) { return {a[0] * s, a[1] * s, a[2] * s}; }

// Deterministic value noise: the same on every machine (integer hashing, no library random).
float hash(int x, int y, int seed) {
  std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + std::uint32_t(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  return float((h ^ (h >> 16)) & 0xFFFF) / 65535.0f;
}
float smooth(float t) { return t * t * (3 - 2 * t); }
// Noise that tiles with the given period (in cells).
float valueNoise(float x, float y, int period, int seed) {
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const float fx = smooth(x - float(x0)), fy = smooth(y - float(y0));
  auto at = [&](int i, int j) { return hash(((i % period) + period) % period, ((j % period) + period) % period, seed); };
  const float a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
  const float b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
  return a + (b - a) * fy;
}
float fractal(float u, float v, int base, int seed) {
  float sum = 0, amp = 0.5f;
  for (int o = 0; o < 4; ++o) {
    const int period = base << o;
    sum += amp * valueNoise(u * float(period), v * float(period), period, seed + o);
    amp *= 0.5f;
  }
  return sum / 0.9375f;
}

using Shader = std::function<Rgb(float u, float v)>;

Shader shaderFor(const RecipeLine& line, const std::string& kind, int width, int height, const FontOutline& font) {
  const Rgb a = line.colour("a", {0, 0, 0}), b = line.colour("b", {1, 1, 1});
  const float n = line.number("n", 4), power = line.number("power", 1);
  const int seed = int(line.number("seed", 1));
  if (kind == "gradient") return [=](float, float v) { return mix(a, b, std::pow(v, power)); };
  if (kind == "radial")
    return [=](float u, float v) {
      const float r = std::min(1.0f, 2 * std::hypot(u - 0.5f, v - 0.5f));
      return mix(a, b, std::pow(r, power));
    };
  if (kind == "marble")
    return [=](float u, float v) {
      const float t = fractal(u, v, 4, seed);
      const float vein = 0.5f + 0.5f * std::sin((u + v) * n * 3.14159f + t * 9.0f);
      return mix(a, b, std::pow(vein, power) * 0.8f + t * 0.2f);
    };
  if (kind == "noise") return [=](float u, float v) { return mix(a, b, std::pow(fractal(u, v, int(n), seed), power)); };
  if (kind == "tiles") {
    const Rgb grout = line.colour("grout", {0.05f, 0.05f, 0.08f});
    return [=](float u, float v) {
      const float du = u * n - std::floor(u * n), dv = v * n - std::floor(v * n);
      const float edge = std::min(std::min(du, 1 - du), std::min(dv, 1 - dv));
      const float tile = hash(int(u * n), int(v * n), seed);
      const Rgb c = mix(a, b, 0.35f * tile + 0.65f * fractal(u, v, 8, seed + 7));
      return edge < 0.03f ? grout : mix(grout, c, std::min(1.0f, (edge - 0.03f) * 40));
    };
  }
  if (kind == "stripes")
    return [=](float, float v) { return mix(a, b, 0.5f + 0.5f * std::sin(v * n * 2 * 3.14159f)); };
  if (kind == "rings")
    return [=](float u, float v) {
      const float r = std::hypot(u - 0.5f, v - 0.5f) * 2;
      const float ring = std::pow(0.5f + 0.5f * std::cos(r * n * 2 * 3.14159f), power);
      return mix(a, b, ring * std::max(0.0f, 1 - r));
    };
  if (kind == "grid")
    return [=](float u, float v) {
      const float w = line.number("width", 0.04f);
      const float du = u * n - std::floor(u * n), dv = v * n - std::floor(v * n);
      const float d = std::min(std::min(du, 1 - du), std::min(dv, 1 - dv));
      return mix(b, a, std::clamp(d / w, 0.0f, 1.0f));
    };
  if (kind == "sky") {  // reflection map: upward normals read the bottom rows
    const Rgb top = line.colour("top", {0.1f, 0.1f, 0.3f}), horizon = line.colour("horizon", {0.8f, 0.6f, 0.3f}),
              ground = line.colour("ground", {0.02f, 0.02f, 0.05f});
    return [=](float u, float v) {
      const float glint = std::pow(std::max(0.0f, 1 - 4 * std::hypot(u - 0.3f, v - 0.8f)), 3.0f);
      if (v >= 0.5f) return mix(mix(horizon, top, std::pow((v - 0.5f) * 2, 0.6f)), {1, 1, 1}, glint);
      return mix(ground, horizon, std::pow(v * 2, 4.0f));
    };
  }
  if (kind == "flare")
    return [=](float u, float v) {
      const float r = 2 * std::hypot(u - 0.5f, v - 0.5f);
      const float core = std::pow(std::max(0.0f, 1 - r), 2.5f);
      const float ring = std::exp(-std::pow((r - 0.75f) * 14, 2.0f)) * 0.35f;
      const float ang = std::atan2(v - 0.5f, u - 0.5f);
      const float rays = std::pow(std::fabs(std::cos(ang * 4)), 40.0f) * std::max(0.0f, 1 - r) * 0.5f;
      return Rgb{core * a[0] + ring * b[0] + rays, core * a[1] + ring * b[1] + rays, core * a[2] + ring * b[2] + rays};
    };
  if (kind == "fire") {
    const int k = int(line.number("frame", 0));
    return [=](float u, float v) {
      const float wob = 0.06f * std::sin(v * 9 + float(k) * 1.7f) + 0.1f * (fractal(u, v, 4, 30 + k) - 0.5f);
      const float r = std::hypot((u - 0.5f + wob) * 1.1f, (v - 0.55f) * (1.0f + 0.12f * float(k)));
      const float t = std::clamp(1 - r * 2.1f, 0.0f, 1.0f);
      const float heat = 1.0f - 0.13f * float(k);
      return Rgb{t * 1.2f * heat + t * 0.2f, t * t * (1.0f * heat), t * t * t * 0.35f * heat};
    };
  }
  if (kind == "text") {
    const std::string words = line.words.size() > 5 ? line.words[5] : "";
    const Coverage c = font.text(words, int(line.number("size", float(height) * 0.7f)));
    const Rgb glowColour = line.colour("glow", a);
    const float frame = line.number("frame", 0);
    // Centred; a soft glow around the letters and an optional thin frame line.
    return [=](float u, float v) {
      const float px = u * float(width) - (float(width) - float(c.width)) * 0.5f;
      const float py = v * float(height) - (float(height) - float(c.height)) * 0.5f - line.number("shift", 0);
      const float ink = c.at(int(std::floor(px)), int(std::floor(py)));
      float glow = 0;
      for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) glow += c.at(int(std::floor(px)) + dx * 2, int(std::floor(py)) + dy * 2);
      glow = std::min(1.0f, glow / 18.0f);
      Rgb out = mix(mix(a, glowColour, glow), b, ink);
      if (frame > 0) {
        const float ex = std::min(u, 1 - u) * float(width), ey = std::min(v, 1 - v) * float(height);
        if (std::fabs(std::min(ex, ey) - frame) < 0.6f) out = mix(out, glowColour, 0.7f);
      }
      return out;
    };
  }
  return nullptr;
}

}  // namespace

bool makePicture(const RecipeLine& line, const std::string& dir, const FontOutline& font) {
  float w = 0, h = 0;
  if (line.words.size() < 5 || !parseNumber(line.words[2], &w) || !parseNumber(line.words[3], &h) || w < 1 ||
      h < 1 || w > 2048 || h > 2048) {
    RecipeErrors::report(line.file, line.lineNumber, "expected: picture NAME WIDTH HEIGHT KIND options");
    return false;
  }
  const int width = int(w), height = int(h);
  const Shader shade = shaderFor(line, line.words[4], width, height, font);
  if (!shade) {
    RecipeErrors::report(line.file, line.lineNumber, "unknown picture kind '" + line.words[4] + "'");
    return false;
  }
  const float gain = line.number("gain", 1);
  std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const Rgb c = scaled(shade((float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height)), gain);
      for (int k = 0; k < 3; ++k)
        rgb[(std::size_t(y) * width + x) * 3 + k] = std::uint8_t(std::clamp(c[std::size_t(k)], 0.0f, 1.0f) * 255.0f + 0.5f);
    }
  JpegSettings settings;
  settings.quality = int(line.number("quality", 90));
  settings.fullChroma = line.words[4] == "text";
  const std::string path = dir + "/" + line.words[1];
  if (!saveBytes(path, encodeJpeg(rgb.data(), width, height, JpegPixels::kRgb, settings))) {
    RecipeErrors::report(line.file, line.lineNumber, "cannot write " + path);
    return false;
  }
  return true;
}
