// The host-memory vertex buffer the inspector, the tests and the benchmarks draw into: what
// create accepts, locks handing out one address, and vertices copied in and out through a lock;
// and the driver that makes such buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/vertex.h"
#include "headless/memory_graphics_driver.h"
#include "headless/memory_vertex_buffer.h"

namespace {

TEST(MemoryVertexBufferTest, CreateTakesTheVertexTypesLayoutAndRefusesTheRest) {
  MemoryVertexBuffer buffer;
  ASSERT_TRUE(buffer.create(1, 5, 3));
  EXPECT_EQ(buffer.stride, 24u);
  EXPECT_EQ(buffer.vertexCount, 5u);
  EXPECT_EQ(buffer.flags, 3u);
  EXPECT_EQ(buffer.storage, std::vector<std::uint8_t>(120, 0));

  MemoryVertexBuffer unknownType, negative;
  EXPECT_FALSE(unknownType.create(18, 5, 0));
  EXPECT_FALSE(negative.create(1, -1, 0));
  // A buffer that was never made hands out no memory.
  EXPECT_EQ(negative.lock(), nullptr);
  EXPECT_FALSE(negative.isLocked());
}

TEST(MemoryVertexBufferTest, ALockedBufferGivesTheSameMemoryWithoutAnotherLock) {
  MemoryVertexBuffer buffer;
  ASSERT_TRUE(buffer.create(0, 2, 0));
  void* first = buffer.lock();
  EXPECT_EQ(first, buffer.storage.data());
  EXPECT_EQ(buffer.lock(), first);
  EXPECT_EQ(buffer.lockCount, 1);
  EXPECT_TRUE(buffer.isLocked());
  buffer.unlock();
  EXPECT_FALSE(buffer.isLocked());
  EXPECT_EQ(buffer.lockedData, nullptr);
  buffer.unlock();  // a second unlock changes nothing
  EXPECT_EQ(buffer.lockCount, 1);
}

TEST(MemoryVertexBufferTest, VerticesGoInAndOutThroughALockAndStayInside) {
  MemoryVertexBuffer buffer;
  ASSERT_TRUE(buffer.create(1, 3, 0));
  const float u = 0.25f, v = 0.75f;
  const ColouredVertex written(1.0f, 2.0f, 3.0f, 0xff102030u, &u, &v);
  buffer.writeVertex(written, 2);
  EXPECT_EQ(std::memcmp(buffer.storage.data() + 48, written.data(), 24), 0);
  EXPECT_FALSE(buffer.isLocked()) << "a write locks and unlocks an unlocked buffer";
  EXPECT_EQ(buffer.lockCount, 1);

  ColouredVertex read;
  buffer.readVertex(read, 2);
  EXPECT_EQ(read.colour, 0xff102030u);
  EXPECT_EQ(read.z, 3.0f);

  // Inside a lock the copies take no lock of their own and leave the lock in place.
  buffer.lock();
  buffer.readVertex(read, 2);
  EXPECT_TRUE(buffer.isLocked());
  EXPECT_EQ(buffer.lockCount, 3);
  buffer.unlock();

  // Numbers outside the buffer and records of another vertex type are ignored.
  const std::vector<std::uint8_t> before = buffer.storage;
  buffer.writeVertex(written, 3);
  buffer.writeVertex(written, -1);
  NormalTexVertex<0> other;
  buffer.writeVertex(other, 0);
  EXPECT_EQ(buffer.storage, before);
  EXPECT_EQ(buffer.lockCount, 3);
}

TEST(MemoryGraphicsDriverTest, HandsOutMemoryBuffersEvenWhenCreateRefusesThem) {
  MemoryGraphicsDriver driver("headless");
  VertexBuffer* buffer = nullptr;
  ASSERT_TRUE(driver.createVertexBuffer(&buffer, 9, 4, 2));
  auto* memory = dynamic_cast<MemoryVertexBuffer*>(buffer);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(memory->storage.size(), 4u * 24u);
  EXPECT_EQ(memory->flags, 2u);
  delete buffer;

  // The caller owns what *out holds, made or not.
  VertexBuffer* refused = nullptr;
  EXPECT_FALSE(driver.createVertexBuffer(&refused, 30, 4, 0));
  EXPECT_NE(refused, nullptr);
  delete refused;
}

}  // namespace
