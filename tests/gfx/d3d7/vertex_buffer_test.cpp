// Direct3D vertex buffers: formats and strides by vertex type, typed writes and reads,
// locking, unknown types, and drawing through the device.
#include <gtest/gtest.h>

#include <memory>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/direct3d_vertex_buffer.h"
#include "gfx/material.h"
#include "gfx/vertex.h"
#include "support/d3d7_fixture.h"
#include "support/d3d7_recording_device.h"

using d3d7_test::backPixel;
using d3d7_test::DeviceCall;
using d3d7_test::ProfileScope;
using d3d7_test::RecordingDevice;
using d3d7_test::smallProfile;

namespace {

std::unique_ptr<VertexBuffer> makeBuffer(Direct3DDriver& driver, int type, int count, bool* created = nullptr) {
  VertexBuffer* buffer = nullptr;
  const bool ok = driver.createVertexBuffer(&buffer, type, count, 7);
  if (created != nullptr) *created = ok;
  return std::unique_ptr<VertexBuffer>(buffer);
}

}  // namespace

TEST(D3d7VertexBuffer, FormatAndStrideComeFromTheVertexType) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  bool created = false;
  auto buffer = makeBuffer(*driver, 10, 5, &created);
  ASSERT_TRUE(created);
  EXPECT_EQ(buffer->stride, 32u);
  EXPECT_EQ(buffer->vertexCount, 5u);
  EXPECT_EQ(buffer->flags, 7u);
  auto* d3dBuffer = static_cast<Direct3DVertexBuffer*>(buffer.get());
  D3DVERTEXBUFFERDESC desc{};
  desc.dwSize = sizeof desc;
  ASSERT_EQ(d3dBuffer->buffer->GetVertexBufferDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.dwFVF, D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1);
  EXPECT_EQ(desc.dwNumVertices, 5u);
  EXPECT_EQ(desc.dwCaps & D3DVBCAPS_SYSTEMMEMORY, D3DVBCAPS_SYSTEMMEMORY);

  auto coloured = makeBuffer(*driver, 8, 2);
  EXPECT_EQ(coloured->stride, 80u);
  auto richest = makeBuffer(*driver, 17, 2);
  EXPECT_EQ(richest->stride, 88u);
}

TEST(D3d7VertexBuffer, TypedWritesAndReadsKeepTheLockState) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  auto buffer = makeBuffer(*driver, 9, 4);
  NormalTexVertex<0> written;
  written.x = 1.0f;
  written.y = 2.0f;
  written.z = 3.0f;
  written.ny = 1.0f;
  buffer->writeVertex(written, 2);
  EXPECT_FALSE(buffer->isLocked());
  NormalTexVertex<0> read;
  buffer->readVertex(read, 2);
  EXPECT_FLOAT_EQ(read.z, 3.0f);
  EXPECT_FLOAT_EQ(read.ny, 1.0f);

  // Another type, or an index outside the buffer, changes nothing.
  const float u = 0.5f;
  const ColouredVertex other(9.0f, 9.0f, 9.0f, 0xffffffffu, &u, &u);
  buffer->writeVertex(other, 2);
  written.x = 5.0f;
  buffer->writeVertex(written, 4);
  buffer->writeVertex(written, -1);
  buffer->readVertex(read, 2);
  EXPECT_FLOAT_EQ(read.x, 1.0f);

  void* data = buffer->lock();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(buffer->lock(), data);
  EXPECT_TRUE(buffer->isLocked());
  buffer->writeVertex(written, 0);
  EXPECT_TRUE(buffer->isLocked());
  EXPECT_FLOAT_EQ(static_cast<const float*>(data)[0], 5.0f);
  buffer->unlock();
  EXPECT_FALSE(buffer->isLocked());
  EXPECT_EQ(buffer->lockedData, nullptr);
}

TEST(D3d7VertexBuffer, UnknownVertexTypesCreateNothingAndDoNothing) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  for (int type : {-1, 18, 100}) {
    bool created = true;
    auto buffer = makeBuffer(*driver, type, 3, &created);
    EXPECT_FALSE(created);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->lock(), nullptr);
    TypedVertex vertex(type);
    buffer->writeVertex(vertex, 0);
    buffer->readVertex(vertex, 0);
    RecordingDevice recorder(driver->device);
    driver->device = &recorder;
    buffer->draw(D3DPT_TRIANGLELIST, 0, 3);
    const std::uint16_t indices[3] = {0, 1, 2};
    buffer->drawIndexed(D3DPT_TRIANGLELIST, 0, 3, indices, 3);
    driver->device = recorder.inner;
    EXPECT_TRUE(recorder.calls.empty());
  }
}

TEST(D3d7VertexBuffer, DrawsWholeAndIndexedThroughTheDevice) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Matrix4 identity;
  identity.setIdentity();
  driver->setWorldMatrix(identity);
  driver->setViewMatrix(identity);
  driver->setProjectionMatrix(identity);
  Material plain;
  plain.setDepthFunction(D3DCMP_ALWAYS);
  driver->applyMaterialPass(&plain, 0);

  auto buffer = makeBuffer(*driver, 0, 4);
  const float corners[4][2] = {{-1.0f, 1.0f}, {1.0f, 1.0f}, {1.0f, -1.0f}, {-1.0f, -1.0f}};
  buffer->lock();
  for (int i = 0; i < 4; ++i) {
    ColouredTexVertex<0> v;
    v.x = corners[i][0];
    v.y = corners[i][1];
    v.z = 0.5f;
    v.colour = 0xff00ff00u;
    buffer->writeVertex(v, i);
  }
  buffer->unlock();
  buffer->optimize();

  driver->clear(0, 1.0f, 0, nullptr, true);
  RecordingDevice recorder(driver->device);
  driver->device = &recorder;
  driver->beginScene();
  buffer->draw(D3DPT_TRIANGLEFAN, 0, 4);
  driver->endScene();
  driver->device = recorder.inner;
  ASSERT_EQ(recorder.callsOf(DeviceCall::kDrawVB).size(), 1u);
  EXPECT_EQ(recorder.callsOf(DeviceCall::kDrawVB)[0].c, 4u);
  EXPECT_EQ(backPixel(*driver, 5, 40), 0x00ff00u);

  driver->clear(0, 1.0f, 0, nullptr, true);
  const std::uint16_t indices[3] = {0, 1, 2};
  driver->beginScene();
  buffer->drawIndexed(D3DPT_TRIANGLELIST, 0, 4, indices, 3);
  driver->endScene();
  EXPECT_EQ(backPixel(*driver, 60, 2), 0x00ff00u);
  EXPECT_EQ(backPixel(*driver, 2, 45), 0x000000u);
}
