// Tests of the vertex type table, the typed vertex records and the base vertex buffer.
#include "gfx/vertex.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "gfx/vertex_buffer.h"

namespace {

// Byte offset of a field from the start of a record's vertex data.
template <typename Record, typename Field>
long offsetInData(const Record& record, const Field& field) {
  return reinterpret_cast<const char*>(&field) - static_cast<const char*>(record.data());
}

TEST(VertexTypeTest, StridesAndFormatsFollowTheTypeTable) {
  EXPECT_EQ(vertexStride(0), 16);
  EXPECT_EQ(vertexFormat(0), 0x042u);
  EXPECT_EQ(vertexStride(1), 24);
  EXPECT_EQ(vertexFormat(1), 0x142u);
  EXPECT_EQ(vertexStride(8), 80);
  EXPECT_EQ(vertexFormat(8), 0x842u);
  EXPECT_EQ(vertexStride(9), 24);
  EXPECT_EQ(vertexFormat(9), 0x012u);
  EXPECT_EQ(vertexStride(10), 32);
  EXPECT_EQ(vertexFormat(10), 0x112u);  // position | normal | one texture set
  EXPECT_EQ(vertexStride(17), 88);
  EXPECT_EQ(vertexFormat(17), 0x812u);
  for (int bad : {-1, 18, 100}) {
    EXPECT_EQ(vertexStride(bad), 0);
    EXPECT_EQ(vertexFormat(bad), 0u);
  }
}

TEST(VertexRecordTest, RecordsAnswerTheirTypeAndLayTheirDataOutContiguously) {
  Vertex base;
  EXPECT_EQ(base.vertexType(), -1);
  EXPECT_EQ(base.vertexSize(), 12);

  ColouredVertex coloured;
  EXPECT_EQ(coloured.vertexType(), 1);
  EXPECT_EQ(coloured.vertexSize(), 24);
  EXPECT_EQ(coloured.colour, 0x808080u);
  EXPECT_EQ(offsetInData(coloured, coloured.colour), 12);
  EXPECT_EQ(offsetInData(coloured, coloured.v), 20);

  NormalTexVertex<8> widest;
  EXPECT_EQ(widest.vertexType(), 17);
  EXPECT_EQ(widest.vertexSize(), 88);
  EXPECT_EQ(offsetInData(widest, widest.nx), 12);
  EXPECT_EQ(offsetInData(widest, widest.texCoords[7][1]), 84);

  NormalTexVertex<0> bare;
  EXPECT_EQ(bare.vertexType(), 9);
  EXPECT_EQ(bare.vertexSize(), 24);

  ColouredTexVertex<3> three;
  EXPECT_EQ(three.vertexType(), 3);
  EXPECT_EQ(three.vertexSize(), 40);
  EXPECT_EQ(offsetInData(three, three.texCoords[2][1]), 36);
}

TEST(VertexRecordTest, ColouredVertexKeepsPositionColourAndCoordinates) {
  float u = 0.25f, v = 0.75f;
  ColouredVertex both(1.0f, 2.0f, 3.0f, 0xff00ff00u, &u, &v);
  EXPECT_EQ(both.x, 1.0f);
  EXPECT_EQ(both.z, 3.0f);
  EXPECT_EQ(both.colour, 0xff00ff00u);
  EXPECT_EQ(both.u, 0.25f);
  EXPECT_EQ(both.v, 0.75f);

  // Without both coordinates (or by default) the pair is zero, whatever the storage held.
  alignas(ColouredVertex) unsigned char storage[sizeof(ColouredVertex)];
  std::memset(storage, 0xab, sizeof storage);
  auto* partial = new (storage) ColouredVertex(0.0f, 0.0f, 0.0f, 0u, &u, nullptr);
  EXPECT_EQ(partial->u, 0.0f);
  EXPECT_EQ(partial->v, 0.0f);
  partial->~ColouredVertex();
  std::memset(storage, 0xab, sizeof storage);
  auto* plain = new (storage) ColouredVertex();
  EXPECT_EQ(plain->colour, 0x808080u);
  EXPECT_EQ(plain->u, 0.0f);
  plain->~ColouredVertex();
}

TEST(VertexRecordTest, TypedVertexPlacesNormalAndSetsAtTheirTypeOffsets) {
  TypedVertex mesh(11);  // normal and two sets: 40 bytes
  EXPECT_EQ(mesh.vertexType(), 11);
  EXPECT_EQ(mesh.vertexSize(), 40);
  mesh.setNormal(0.0f, 0.0f, 1.0f);
  mesh.setTexCoord(1, 0.5f, 0.25f);
  mesh.setTexCoord(2, 9.0f, 9.0f);  // beyond the type's sets: ignored
  const float* data = static_cast<const float*>(mesh.data());
  EXPECT_EQ(data[5], 1.0f);
  EXPECT_EQ(data[8], 0.5f);
  EXPECT_EQ(data[9], 0.25f);
  float u = -1.0f, v = -1.0f;
  mesh.texCoord(2, &u, &v);
  EXPECT_EQ(u, 0.0f);

  TypedVertex coloured(2);
  coloured.setColour(0x11223344u);
  coloured.setNormal(1.0f, 1.0f, 1.0f);  // no normal in this type
  coloured.setTexCoord(0, 0.125f, 0.5f);
  EXPECT_EQ(coloured.vertexSize(), 32);
  EXPECT_EQ(coloured.colour(), 0x11223344u);
  std::uint32_t stored = 0;
  std::memcpy(&stored, static_cast<const char*>(coloured.data()) + 12, 4);
  EXPECT_EQ(stored, 0x11223344u);
  EXPECT_EQ(static_cast<const float*>(coloured.data())[4], 0.125f);

  TypedVertex invalid(18);
  EXPECT_EQ(invalid.vertexType(), -1);
  EXPECT_EQ(invalid.vertexSize(), 12);
}

TEST(VertexBufferTest, BaseBufferStoresItsStateAndDrawsNothing) {
  VertexBuffer buffer;
  EXPECT_FALSE(buffer.create(10, 4, 1));
  EXPECT_EQ(buffer.vertexType, 10);
  EXPECT_EQ(buffer.lock(), nullptr);
  EXPECT_TRUE(buffer.isLocked());
  buffer.unlock();
  EXPECT_FALSE(buffer.isLocked());
  EXPECT_EQ(buffer.lockedData, nullptr);
  ColouredVertex vertex;
  buffer.writeVertex(vertex, 0);
  buffer.readVertex(vertex, 0);
  buffer.draw(4, 0, 3);
  buffer.drawIndexed(4, 0, 3, nullptr, 0);
}

}  // namespace
