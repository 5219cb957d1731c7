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
// Noise that tiles with the given periods (in cells) across and down.
float valueNoise(float x, float y, int periodX, int periodY, int seed) {
  const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
  const float fx = smooth(x - float(x0)), fy = smooth(y - float(y0));
  auto at = [&](int i, int j) {
    return hash(((i % periodX) + periodX) % periodX, ((j % periodY) + periodY) % periodY, seed);
  };
  const float a = at(x0, y0) + (at(x0 + 1, y0) - at(x0, y0)) * fx;
  const float b = at(x0, y0 + 1) + (at(x0 + 1, y0 + 1) - at(x0, y0 + 1)) * fx;
  return a + (b - a) * fy;
}
float valueNoise(float x, float y, int period, int seed) { return valueNoise(x, y, period, period, seed); }
// Octaves of noise from `base` cells on, each twice as fine and half as strong; 0..1.
float fractal(float u, float v, int base, int seed, int octaves = 4) {
  float sum = 0, amp = 0.5f, total = 0;
  for (int o = 0; o < octaves; ++o) {
    const int period = base << o;
    sum += amp * valueNoise(u * float(period), v * float(period), period, seed + o);
    total += amp;
    amp *= 0.5f;
  }
  return sum / total;
}

// Fire colours: black, deep red, orange, yellow, white as the heat rises from 0 to 1.
Rgb heatColour(float f) {
  f = std::clamp(f, 0.0f, 1.0f);
  return {std::clamp(f * 2.4f, 0.0f, 1.0f), std::clamp((f - 0.22f) * 1.7f, 0.0f, 1.0f),
          std::clamp((f - 0.62f) * 2.0f, 0.0f, 1.0f) * 0.85f};
}

// One tongue of a flame: where it stands at the base, how high and wide it reaches, how it
// leans and how much it wavers.
struct Tongue {
  float x, height, width, lean, waver, phase;
};

// The six flames of the fire, all different: the first three (low in the fire) full and hot,
// the last three (high in it) thinner, torn and cooler.
const std::vector<Tongue>& flameTongues(int frame) {
  static const std::vector<Tongue> flames[6] = {
      {{0.5f, 0.78f, 0.26f, 0.0f, 0.03f, 0.0f}},
      {{0.42f, 0.72f, 0.2f, -0.12f, 0.03f, 1.0f}, {0.6f, 0.58f, 0.17f, 0.1f, 0.04f, 2.5f}},
      {{0.5f, 0.62f, 0.2f, 0.0f, 0.05f, 0.4f},
       {0.3f, 0.44f, 0.13f, -0.12f, 0.03f, 1.9f},
       {0.7f, 0.5f, 0.14f, 0.14f, 0.03f, 3.1f}},
      {{0.52f, 0.84f, 0.15f, -0.24f, 0.07f, 0.7f}},
      {{0.46f, 0.7f, 0.17f, 0.22f, 0.09f, 2.2f}, {0.62f, 0.4f, 0.1f, 0.3f, 0.05f, 4.0f}},
      {{0.36f, 0.62f, 0.11f, -0.16f, 0.08f, 1.4f},
       {0.56f, 0.8f, 0.1f, 0.05f, 0.1f, 3.3f},
       {0.7f, 0.46f, 0.09f, 0.2f, 0.06f, 5.1f}}};
  return flames[std::clamp(frame, 0, 5)];
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
  if (kind == "marble")  // clouded stone of the second colour with veins of the first
    return [=](float u, float v) {
      const float t = fractal(u, v, 4, seed, 6);
      const float vein = std::fabs(std::sin((u + v * 0.6f) * n * 3.14159f + t * 5.0f));
      const float fine = std::fabs(std::sin((u * 0.4f - v) * n * 5.0f + fractal(u, v, 8, seed + 20, 4) * 6.0f));
      const float veins = std::pow(1 - vein, 5.0f * power) * 0.7f + std::pow(1 - vein, 1.5f) * 0.12f +
                          std::pow(1 - fine, 40.0f) * 0.25f;
      const Rgb stone = mix(scaled(b, 0.72f), b, std::pow(t, 0.8f));
      return mix(stone, a, std::min(1.0f, veins));
    };
  if (kind == "noise")
    return [=](float u, float v) { return mix(a, b, std::pow(fractal(u, v, int(n), seed, 6), power)); };
  if (kind == "brushed") {  // metal: a to b down the picture, fine streaks across, engraved grooves
    const float grooves = line.number("grooves", 0);
    return [=](float u, float v) {
      const float streak =
          0.6f * valueNoise(u * 3, v * 192, 3, 192, seed) + 0.4f * valueNoise(u * 8, v * 96, 8, 96, seed + 1);
      Rgb c = scaled(mix(a, b, std::pow(v, power)), 0.78f + 0.4f * streak);
      if (grooves > 0) {
        const float g = v * grooves - std::floor(v * grooves);
        c = scaled(c, 1 - 0.65f * std::exp(-std::pow((g - 0.5f) * 26, 2.0f)) +
                          0.3f * std::exp(-std::pow((g - 0.58f) * 30, 2.0f)));
        // A chased wave between the grooves.
        const float wave = 0.28f + 0.09f * std::sin(u * grooves * 4 * 3.14159f);
        c = scaled(c, 1 - 0.5f * std::exp(-std::pow((g - wave) * 40, 2.0f)));
      }
      return c;
    };
  }
  if (kind == "cloth") {  // a plain weave: threads of a down, of b across, one over one under
    return [=](float u, float v) {
      const float fu = u * n * 2, fv = v * n * 2;
      const bool down = (int(std::floor(fu)) + int(std::floor(fv))) % 2 == 0;
      const float across = down ? fu - std::floor(fu) : fv - std::floor(fv);
      const float along = down ? fv - std::floor(fv) : fu - std::floor(fu);
      const float fibre =
          valueNoise(down ? u * 4 : u * 256, down ? v * 256 : v * 4, down ? 4 : 256, down ? 256 : 4, seed);
      const float shade = (0.45f + 0.55f * std::sin(3.14159f * across)) * (0.7f + 0.3f * std::sin(3.14159f * along));
      return scaled(down ? a : b, shade * (0.8f + 0.35f * fibre));
    };
  }
  if (kind == "wood")  // bark and grain: dark furrows along the picture
    return [=](float u, float v) {
      const float t = fractal(u, v, 4, seed, 5);
      const float furrow = std::fabs(std::sin(u * n * 3.14159f + t * 6 + valueNoise(u * 8, v * 2, 8, 2, seed + 3) * 3));
      return mix(a, b, std::pow(furrow, 0.6f) * (0.55f + 0.45f * valueNoise(u * 64, v * 6, 64, 6, seed + 4)));
    };
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
  if (kind == "stripes") return [=](float, float v) { return mix(a, b, 0.5f + 0.5f * std::sin(v * n * 2 * 3.14159f)); };
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
  if (kind == "fire") {  // one of the six flames, black (nothing, when added) round it
    const int k = int(line.number("frame", 0));
    const std::vector<Tongue> tongues = flameTongues(k);
    const float heat = k < 3 ? 1.0f : 0.8f;
    return [=](float u, float v) {
      const float y = (0.94f - v) / 0.88f;  // 0 at the base, 1 at the top
      if (y < -0.08f) return Rgb{0, 0, 0};
      float f = 0;
      for (const Tongue& t : tongues) {
        const float rise = std::max(0.0f, y) / t.height;
        if (rise >= 1) continue;
        const float centre = t.x + t.lean * rise * rise + t.waver * std::sin(rise * 9 + t.phase);
        const float half =
            t.width * std::pow(1 - rise, 0.75f) * std::min(1.0f, 0.55f + rise * 3) * std::min(1.0f, (y + 0.08f) * 8);
        const float across = std::fabs(u - centre) / std::max(half, 1e-3f);
        f = std::max(f, (1 - across) * (1 - 0.6f * rise));
      }
      const float torn = fractal(u, v * 0.6f + float(k) * 0.13f, 4, 40 + k, 4);
      f *= 0.62f + 0.7f * torn;
      // Black at the borders, or the square of the billboard shows.
      const float edge = std::clamp(std::min(std::min(u, 1 - u), std::min(v, 1 - v)) * 10 - 0.15f, 0.0f, 1.0f);
      return scaled(heatColour(f * 1.35f), heat * edge);
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
  if (line.words.size() < 5 || !parseNumber(line.words[2], &w) || !parseNumber(line.words[3], &h) || w < 1 || h < 1 ||
      w > 2048 || h > 2048) {
    RecipeErrors::report(line.file, line.lineNumber, "expected: picture NAME WIDTH HEIGHT KIND options");
    return false;
  }
  const int width = int(w), height = int(h);
  const Shader shade = shaderFor(line, line.words[4], width, height, font);
  if (!shade) {
    RecipeErrors::report(line.file, line.lineNumber, "unknown picture kind '" + line.words[4] + "'");
    return false;
  }
  const float gain = line.number("gain", 1), grain = line.number("grain", 0), cracks = line.number("cracks", 0);
  const int grainSeed = int(line.number("seed", 1)) + 77;
  std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const float u = (float(x) + 0.5f) / float(width), v = (float(y) + 0.5f) / float(height);
      Rgb c = scaled(shade(u, v), gain);
      // Any picture may be roughened: a speckle of single texels and dark hairline cracks.
      if (grain > 0) c = scaled(c, 1 + grain * (hash(x, y, grainSeed) - 0.5f) * 2);
      if (cracks > 0) {
        const float r = std::fabs(fractal(u, v, 3, grainSeed + 50, 5) - 0.5f);
        if (r < 0.018f) c = scaled(c, 1 - cracks * (1 - r / 0.018f));
      }
      for (int k = 0; k < 3; ++k)
        rgb[(std::size_t(y) * width + x) * 3 + k] =
            std::uint8_t(std::clamp(c[std::size_t(k)], 0.0f, 1.0f) * 255.0f + 0.5f);
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
