// Typed vertex records: each knows its vertex type and stride and holds its data in the
// buffer layout of that type (position; colour or normal; texture coordinate pairs).
#pragma once

#include <cstdint>

// Vertex types 0..8: position, diffuse colour, n = type texture sets.
// Vertex types 9..17: position, normal, n = type - 9 texture sets.
constexpr int kVertexTypeCount = 18;
constexpr int kMaxVertexStride = 88;
constexpr int kMaxTextureSets = 8;

// Stride in bytes of a vertex type, 0 for a type outside 0..17.
inline int vertexStride(int type) {
  if (type >= 0 && type <= 8) return 16 + 8 * type;
  if (type >= 9 && type <= 17) return 24 + 8 * (type - 9);
  return 0;
}

// Flexible vertex format code of a vertex type (position | colour or normal | texture
// count), 0 for a type outside 0..17.
inline std::uint32_t vertexFormat(int type) {
  if (type >= 0 && type <= 8) return 0x042u | (static_cast<std::uint32_t>(type) << 8);
  if (type >= 9 && type <= 17) return 0x012u | (static_cast<std::uint32_t>(type - 9) << 8);
  return 0;
}

// Texture sets of a vertex type, 0 for a type outside 0..17.
inline int vertexTextureSets(int type) {
  if (type >= 0 && type <= 8) return type;
  if (type >= 9 && type <= 17) return type - 9;
  return 0;
}

// The base record: a bare position. Derived records append their fields after z, so the
// vertex data runs from x for vertexSize() bytes.
class Vertex {
 public:
  Vertex() : x(0.0f), y(0.0f), z(0.0f) {}
  Vertex(float px, float py, float pz) : x(px), y(py), z(pz) {}

  virtual int vertexType() const { return -1; }
  virtual int vertexSize() const { return 12; }

  void* data() { return &x; }
  const void* data() const { return &x; }

  float x;
  float y;
  float z;
};

// Type 1: position, colour 0xAARRGGBB, one texture set.
class ColouredVertex : public Vertex {
 public:
  ColouredVertex() : colour(0x808080u) {}
  // u and v are taken only when both pointers are given (they stay 0 otherwise).
  ColouredVertex(float px, float py, float pz, std::uint32_t c, const float* pu, const float* pv)
      : Vertex(px, py, pz), colour(c) {
    if (pu != nullptr && pv != nullptr) {
      u = *pu;
      v = *pv;
    }
  }

  int vertexType() const override { return 1; }
  int vertexSize() const override { return 24; }

  std::uint32_t colour;
  // Never left indeterminate: the whole record is copied to the device.
  float u = 0.0f;
  float v = 0.0f;
};

// Types 0..8: position, colour and N texture sets. (Type 0 keeps room for one unused set.)
template <int N>
class ColouredTexVertex : public Vertex {
  static_assert(N >= 0 && N <= kMaxTextureSets);

 public:
  int vertexType() const override { return N; }
  int vertexSize() const override { return 16 + 8 * N; }

  std::uint32_t colour = 0;
  float texCoords[N > 0 ? N : 1][2] = {};
};

// Types 9..17: position, normal and N texture sets. (Type 9 keeps room for one unused set.)
template <int N>
class NormalTexVertex : public Vertex {
  static_assert(N >= 0 && N <= kMaxTextureSets);

 public:
  int vertexType() const override { return 9 + N; }
  int vertexSize() const override { return 24 + 8 * N; }

  float nx = 0.0f;
  float ny = 0.0f;
  float nz = 0.0f;
  float texCoords[N > 0 ? N : 1][2] = {};
};

// A record whose type is chosen at run time (0..17), e.g. from a file's texture set
// count. Outside 0..17 it answers type -1 and size 12 like the base record.
class TypedVertex : public Vertex {
 public:
  explicit TypedVertex(int type) : type_(vertexStride(type) > 0 ? type : -1) {
    for (float& f : extra) f = 0.0f;
  }

  int vertexType() const override { return type_; }
  int vertexSize() const override { return type_ < 0 ? 12 : vertexStride(type_); }

  bool hasNormal() const { return type_ >= 9; }
  int textureSets() const { return type_ < 0 ? 0 : vertexTextureSets(type_); }

  // Colour of types 0..8.
  std::uint32_t colour() const;
  void setColour(std::uint32_t c);
  // Normal of types 9..17 (zero vector / ignored otherwise).
  void normal(float* out3) const;
  void setNormal(float nx, float ny, float nz);
  // Texture set i (ignored outside the type's sets).
  void texCoord(int set, float* u, float* v) const;
  void setTexCoord(int set, float u, float v);

  // Everything after the position: colour or normal, then up to eight sets.
  float extra[(kMaxVertexStride - 12) / 4];

 private:
  int type_;
};
