// What a graphics driver receives for a light: type, colours, intensity, range,
// attenuation, position and direction. Drivers identify a light by this record's address.
#pragma once

#include <cstdint>

#include "math/vector3.h"

// An r, g, b, a colour of floats 0..1.
struct LightColour {
  float r;
  float g;
  float b;
  float a;
};

class LightParameters {
 public:
  // Light types, the Direct3D numbers.
  static constexpr std::uint8_t kPoint = 1;
  static constexpr std::uint8_t kSpot = 2;
  static constexpr std::uint8_t kDirectional = 3;

  LightParameters()
      : type(kDirectional),
        ambient{1.0f, 1.0f, 1.0f, 1.0f},
        diffuse{1.0f, 1.0f, 1.0f, 1.0f},
        specular{1.0f, 1.0f, 1.0f, 1.0f},
        intensity(1.0f),
        range(100000.0f),
        attenuation{1.0f, 0.0f, 0.0f} {
    position.x = 0.0f;
    position.y = 0.0f;
    position.z = 0.0f;
    direction.x = 0.0f;
    direction.y = 0.0f;
    direction.z = 1.0f;
  }
  virtual ~LightParameters() = default;

  virtual void setType(std::uint8_t t) { type = t; }
  virtual void setPosition(const Vector3& p) { position = p; }
  virtual void setDirection(const Vector3& d) { direction = d; }
  virtual void setAttenuation(float constant, float linear, float quadratic) {
    attenuation[0] = constant;
    attenuation[1] = linear;
    attenuation[2] = quadratic;
  }
  virtual void setRange(float r) { range = r; }
  virtual void setIntensity(float i) { intensity = i; }
  virtual void setAmbient(float r, float g, float b, float a) { ambient = LightColour{r, g, b, a}; }
  virtual void setDiffuse(float r, float g, float b, float a) { diffuse = LightColour{r, g, b, a}; }
  virtual void setSpecular(float r, float g, float b, float a) { specular = LightColour{r, g, b, a}; }

  std::uint8_t type;
  LightColour ambient;
  LightColour diffuse;
  LightColour specular;
  // Multiplies all three colours in the driver.
  float intensity;
  float range;
  // Constant, linear, quadratic.
  float attenuation[3];
  Vector3 position;
  Vector3 direction;
};
