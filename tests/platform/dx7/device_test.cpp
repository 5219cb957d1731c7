// The Direct3D device headless: state kept for Get, scenes, textures and drawing from memory and
// vertex buffers through the fixed-function pipeline.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

#include "platform/dx7/dx7_platform.h"
#include "support/d3d_test_vertices.h"
#include "support/dx7_test_display.h"

namespace {

class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dx7ResetAdapterProfile();
    ASSERT_TRUE(display.open(8, 8));
    device = display.device;
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000u, 1.0f, 0), D3D_OK);
  }
  std::uint32_t pixel(int x, int y) { return dx7TestReadPixel(display.back, x, y) & 0xFFFFFFu; }

  Dx7TestDisplay display;
  IDirect3DDevice7* device = nullptr;
};

TEST_F(DeviceTest, GetReturnsWhatSetStored) {
  for (DWORD s = 0; s <= 152; ++s)
    ASSERT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(s), s * 7 + 1), D3D_OK);
  for (DWORD stage = 0; stage < 8; ++stage) {
    for (DWORD t = 0; t <= 24; ++t) {
      if (t == D3DTSS_ADDRESS) continue;
      ASSERT_EQ(device->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(t), stage * 100 + t), D3D_OK);
    }
  }
  for (DWORD t = 0; t < 24; ++t) {
    D3DMATRIX m{};
    m._11 = static_cast<float>(t);
    m._43 = -static_cast<float>(t);
    ASSERT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(t), &m), D3D_OK);
  }
  for (DWORD p = 0; p < 32; ++p) {
    float plane[4] = {1.0f, 2.0f, 3.0f, static_cast<float>(p)};
    ASSERT_EQ(device->SetClipPlane(p, plane), D3D_OK);
  }
  for (DWORD l = 0; l < 128; ++l) {
    D3DLIGHT7 light{};
    light.dltType = (l % 2) ? D3DLIGHT_POINT : D3DLIGHT_DIRECTIONAL;
    light.dvRange = static_cast<float>(l);
    light.dcvDiffuse.r = 0.5f;
    ASSERT_EQ(device->SetLight(l, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(l, (l % 3) == 0), D3D_OK);
  }
  D3DVIEWPORT7 viewport{1, 2, 4, 5, 0.25f, 0.75f};
  ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
  D3DMATERIAL7 material{};
  material.ambient.r = 1.0f;
  material.power = 12.0f;
  ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
  D3DCLIPSTATUS status{D3DCLIPSTATUS_STATUS, 0x3F, 0, 0, 0, 0, 0, 0};
  ASSERT_EQ(device->SetClipStatus(&status), D3D_OK);
  IDirectDrawSurface7* texture = dx7TestSurface(display.directDraw, 2, 2, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_EQ(device->SetTexture(3, texture), D3D_OK);

  for (DWORD s = 0; s <= 152; ++s) {
    DWORD v = 0;
    ASSERT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(s), &v), D3D_OK);
    EXPECT_EQ(v, s * 7 + 1);
  }
  for (DWORD stage = 0; stage < 8; ++stage)
    for (DWORD t = 0; t <= 24; ++t) {
      if (t == D3DTSS_ADDRESS) continue;
      DWORD v = 0;
      ASSERT_EQ(device->GetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(t), &v), D3D_OK);
      EXPECT_EQ(v, stage * 100 + t);
    }
  for (DWORD t = 0; t < 24; ++t) {
    D3DMATRIX m{};
    ASSERT_EQ(device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(t), &m), D3D_OK);
    EXPECT_EQ(m._11, static_cast<float>(t));
    EXPECT_EQ(m._43, -static_cast<float>(t));
  }
  for (DWORD p = 0; p < 32; ++p) {
    float plane[4] = {};
    ASSERT_EQ(device->GetClipPlane(p, plane), D3D_OK);
    EXPECT_EQ(plane[3], static_cast<float>(p));
  }
  for (DWORD l = 0; l < 128; ++l) {
    D3DLIGHT7 light{};
    ASSERT_EQ(device->GetLight(l, &light), D3D_OK);
    EXPECT_EQ(light.dvRange, static_cast<float>(l));
    BOOL enabled = -1;
    ASSERT_EQ(device->GetLightEnable(l, &enabled), D3D_OK);
    EXPECT_EQ(enabled, (l % 3) == 0 ? TRUE : FALSE);
  }
  D3DVIEWPORT7 vp{};
  device->GetViewport(&vp);
  EXPECT_EQ(std::memcmp(&vp, &viewport, sizeof(vp)), 0);
  D3DMATERIAL7 mat{};
  device->GetMaterial(&mat);
  EXPECT_EQ(std::memcmp(&mat, &material, sizeof(mat)), 0);
  D3DCLIPSTATUS cs{};
  device->GetClipStatus(&cs);
  EXPECT_EQ(cs.dwStatus, 0x3Fu);
  IDirectDrawSurface7* got = nullptr;
  ASSERT_EQ(device->GetTexture(3, &got), D3D_OK);
  EXPECT_EQ(got, texture);
  got->Release();
  ASSERT_EQ(device->GetTexture(2, &got), D3D_OK);
  EXPECT_EQ(got, nullptr);
  // The device holds its own reference: the texture outlives the application's release.
  texture->Release();
  ASSERT_EQ(device->GetTexture(3, &got), D3D_OK);
  EXPECT_EQ(got, texture);
  got->Release();
  device->SetTexture(3, nullptr);
}

TEST_F(DeviceTest, RefusesOutOfRangeStateAndUnsetLights) {
  DWORD v = 0;
  EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(256), 1), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->GetTextureStageState(8, D3DTSS_COLOROP, &v), DDERR_INVALIDPARAMS);
  D3DLIGHT7 light{};
  EXPECT_EQ(device->GetLight(5, &light), DDERR_INVALIDPARAMS);
  EXPECT_EQ(device->SetLight(128, &light), DDERR_INVALIDPARAMS);
  light.dltType = static_cast<D3DLIGHTTYPE>(0);
  EXPECT_EQ(device->SetLight(5, &light), DDERR_INVALIDPARAMS);
  // Enabling a light never set gives the default white directional light.
  ASSERT_EQ(device->LightEnable(6, TRUE), D3D_OK);
  ASSERT_EQ(device->GetLight(6, &light), D3D_OK);
  EXPECT_EQ(light.dltType, D3DLIGHT_DIRECTIONAL);
  EXPECT_EQ(light.dvDirection.z, 1.0f);
  D3DVIEWPORT7 tooBig{4, 4, 8, 8, 0.0f, 1.0f};
  EXPECT_EQ(device->SetViewport(&tooBig), DDERR_INVALIDPARAMS);
  // ADDRESS sets both directions.
  ASSERT_EQ(device->SetTextureStageState(1, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP), D3D_OK);
  device->GetTextureStageState(1, D3DTSS_ADDRESSV, &v);
  EXPECT_EQ(v, static_cast<DWORD>(D3DTADDRESS_CLAMP));
}

TEST_F(DeviceTest, DrawsFromMemoryOnlyInsideAScene) {
  // One triangle over the whole viewport.
  ColourVertex tri[3] = {{-1, -1, 0.5f, 0xFF00FF00u}, {-1, 3, 0.5f, 0xFF00FF00u}, {3, -1, 0.5f, 0xFF00FF00u}};
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, tri, 3, 0),
            D3DERR_SCENE_NOT_IN_SCENE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_SCENE_IN_SCENE);
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, tri, 3, 0), D3D_OK);
  ASSERT_EQ(device->EndScene(), D3D_OK);
  EXPECT_EQ(device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
  EXPECT_EQ(pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(pixel(7, 7), 0x00FF00u);
}

TEST_F(DeviceTest, TexturesAreRefreshedFromSurfaceMemory) {
  IDirectDrawSurface7* texture = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(dx7TestFill(texture, 0xF800u));
  ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  OneSetVertex tri[3] = {
      {-1, -1, 0.5f, 0xFFFFFFFFu, 0, 0}, {-1, 3, 0.5f, 0xFFFFFFFFu, 0, 0}, {3, -1, 0.5f, 0xFFFFFFFFu, 0, 0}};
  const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, fvf, tri, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(pixel(3, 3), 0xFF0000u);
  ASSERT_TRUE(dx7TestFill(texture, 0x001Fu));
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, fvf, tri, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(pixel(3, 3), 0x0000FFu);
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(DeviceTest, VertexBuffersOfEveryEngineFormat) {
  for (DWORD n = 0; n <= 8; ++n) {
    for (DWORD base : {D3DFVF_XYZ | D3DFVF_DIFFUSE, D3DFVF_XYZ | D3DFVF_NORMAL}) {
      D3DVERTEXBUFFERDESC desc{sizeof(D3DVERTEXBUFFERDESC), D3DVBCAPS_SYSTEMMEMORY, base | (n << 8), 10};
      IDirect3DVertexBuffer7* vb = nullptr;
      ASSERT_EQ(display.direct3D->CreateVertexBuffer(&desc, &vb, 0), D3D_OK);
      void* data = nullptr;
      DWORD size = 0;
      ASSERT_EQ(vb->Lock(DDLOCK_WAIT, &data, &size), D3D_OK);
      DWORD stride = (base & D3DFVF_NORMAL ? 24 : 16) + 8 * n;
      EXPECT_EQ(size, stride * 10) << std::hex << desc.dwFVF;
      void* again = nullptr;
      ASSERT_EQ(vb->Lock(DDLOCK_WAIT, &again, nullptr), D3D_OK);
      EXPECT_EQ(again, data);
      vb->Unlock();
      vb->Unlock();
      EXPECT_EQ(vb->Unlock(), DDERR_NOTLOCKED);
      vb->Release();
    }
  }
  D3DVERTEXBUFFERDESC bad{sizeof(D3DVERTEXBUFFERDESC), 0, D3DFVF_DIFFUSE, 10};
  IDirect3DVertexBuffer7* vb = nullptr;
  EXPECT_EQ(display.direct3D->CreateVertexBuffer(&bad, &vb, 0), D3DERR_INVALIDVERTEXFORMAT);
}

TEST_F(DeviceTest, DrawsWholeAndIndexedVertexBuffers) {
  // The left half of the screen as a quad.
  const ColourVertex quad[4] = {
      {-1, 1, 0.5f, 0xFFFF0000u}, {0, 1, 0.5f, 0xFFFF0000u}, {0, -1, 0.5f, 0xFFFF0000u}, {-1, -1, 0.5f, 0xFFFF0000u}};
  D3DVERTEXBUFFERDESC desc{sizeof(D3DVERTEXBUFFERDESC), D3DVBCAPS_SYSTEMMEMORY, D3DFVF_XYZ | D3DFVF_DIFFUSE, 4};
  IDirect3DVertexBuffer7* vb = nullptr;
  ASSERT_EQ(display.direct3D->CreateVertexBuffer(&desc, &vb, 0), D3D_OK);
  void* data = nullptr;
  ASSERT_EQ(vb->Lock(DDLOCK_WAIT, &data, nullptr), D3D_OK);
  std::memcpy(data, quad, sizeof(quad));
  device->BeginScene();
  EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_TRIANGLEFAN, vb, 0, 4, 0), D3DERR_VERTEXBUFFERLOCKED);
  vb->Unlock();
  ASSERT_EQ(vb->Optimize(device, 0), D3D_OK);
  EXPECT_EQ(vb->Optimize(device, 0), D3DERR_VERTEXBUFFEROPTIMIZED);
  ASSERT_EQ(device->DrawPrimitiveVB(D3DPT_TRIANGLEFAN, vb, 0, 4, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(pixel(1, 4), 0xFF0000u);
  EXPECT_EQ(pixel(6, 4), 0x000000u);

  // New contents after a lock: the indexed draw sees them.
  ASSERT_EQ(vb->Lock(DDLOCK_WAIT, &data, nullptr), D3D_OK);
  auto* v = static_cast<ColourVertex*>(data);
  for (int i = 0; i < 4; ++i) {
    v[i].x += 1.0f;
    v[i].colour = 0xFF0000FFu;
  }
  vb->Unlock();
  WORD indices[6] = {0, 1, 2, 0, 2, 3};
  device->BeginScene();
  ASSERT_EQ(device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, 0, 4, indices, 6, 0), D3D_OK);
  WORD outside[3] = {0, 1, 4};
  EXPECT_NE(device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb, 0, 4, outside, 3, 0), D3D_OK);
  EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_TRIANGLELIST, vb, 2, 3, 0), DDERR_INVALIDPARAMS);
  device->EndScene();
  EXPECT_EQ(pixel(1, 4), 0xFF0000u);
  EXPECT_EQ(pixel(6, 4), 0x0000FFu);
  vb->Release();
}

TEST_F(DeviceTest, ClearNeedsTheBuffersItClears) {
  Dx7TestDisplay noDepth;
  ASSERT_TRUE(noDepth.open(4, 4, 32, 0));
  EXPECT_EQ(noDepth.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_ZBUFFER_NOTPRESENT);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_STENCILBUFFER_NOTPRESENT);
  EXPECT_EQ(device->Clear(2, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), DDERR_INVALIDPARAMS);
  // Clearing follows the viewport.
  D3DVIEWPORT7 vp{4, 0, 4, 8, 0.0f, 1.0f};
  ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFFu, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixel(3, 3), 0x000000u);
  EXPECT_EQ(pixel(4, 3), 0xFFFFFFu);
}

// A triangle covering the whole 8 x 8 target, textured with texel (0, 0).
void drawTexturedTriangle(IDirect3DDevice7* device, DWORD colour) {
  OneSetVertex tri[3] = {{-1, -1, 0.5f, colour, 0, 0}, {-1, 3, 0.5f, colour, 0, 0}, {3, -1, 0.5f, colour, 0, 0}};
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->BeginScene();
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, tri, 3, 0), D3D_OK);
  device->EndScene();
}

TEST_F(DeviceTest, ClearOfOneRectangleWithoutRectanglesClearsTheViewport) {
  D3DVIEWPORT7 vp{0, 4, 8, 4, 0.0f, 1.0f};
  ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
  ASSERT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0xFF0080FFu, 1.0f, 0), D3D_OK);
  EXPECT_EQ(pixel(0, 3), 0x000000u);
  EXPECT_EQ(pixel(0, 4), 0x0080FFu);
  EXPECT_EQ(pixel(7, 7), 0x0080FFu);
}

TEST_F(DeviceTest, TextureThatIsAlsoARenderTarget) {
  IDirectDrawSurface7* target =
      dx7TestSurface(display.directDraw, 4, 4, dx7TestFormatX888(), DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE);
  ASSERT_NE(target, nullptr);
  // Drawn into through a device of its own...
  IDirect3DDevice7* second = nullptr;
  ASSERT_EQ(display.direct3D->CreateDevice(IID_IDirect3DHALDevice, target, &second), D3D_OK);
  ASSERT_EQ(second->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00C000u, 1.0f, 0), D3D_OK);
  // ...and sampled as a texture by the first.
  ASSERT_EQ(device->SetTexture(0, target), D3D_OK);
  IDirectDrawSurface7* bound = nullptr;
  ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
  EXPECT_EQ(bound, target);
  if (bound) bound->Release();
  drawTexturedTriangle(device, 0xFFFFFFFFu);
  EXPECT_EQ(pixel(3, 3), 0x00C000u);
  // SetRenderTarget takes it too.
  EXPECT_EQ(device->SetRenderTarget(target, 0), D3D_OK);
  EXPECT_EQ(device->SetRenderTarget(display.back, 0), D3D_OK);
  device->SetTexture(0, nullptr);
  second->Release();
  target->Release();
}

TEST_F(DeviceTest, SetTextureIgnoresSurfacesThatAreNotTextures) {
  IDirectDrawSurface7* plain = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565());
  ASSERT_TRUE(dx7TestFill(plain, 0xF800u));
  ASSERT_EQ(device->SetTexture(0, plain), D3D_OK);
  IDirectDrawSurface7* bound = plain;
  ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
  EXPECT_EQ(bound, nullptr);
  // Nothing is sampled: the diffuse colour passes.
  drawTexturedTriangle(device, 0xFF3060C0u);
  EXPECT_EQ(pixel(3, 3), 0x3060C0u);
  plain->Release();
}

TEST_F(DeviceTest, EmptyAndInvertedViewportDepthRangesAreAccepted) {
  D3DVIEWPORT7 flat{0, 0, 8, 8, 0.5f, 0.5f};
  EXPECT_EQ(device->SetViewport(&flat), D3D_OK);
  D3DVIEWPORT7 inverted{0, 0, 8, 8, 0.75f, 0.25f};
  ASSERT_EQ(device->SetViewport(&inverted), D3D_OK);
  D3DVIEWPORT7 back{};
  ASSERT_EQ(device->GetViewport(&back), D3D_OK);
  EXPECT_EQ(back.dvMinZ, 0.75f);
  EXPECT_EQ(back.dvMaxZ, 0.25f);
  // Drawing works in it: the range is 0.75..0.751, in front of a z-buffer cleared to 0.8.
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.8f, 0), D3D_OK);
  device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE);
  ColourVertex tri[3] = {{-1, -1, 0.9f, 0xFF00FF00u}, {-1, 3, 0.9f, 0xFF00FF00u}, {3, -1, 0.9f, 0xFF00FF00u}};
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, tri, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(pixel(4, 4), 0x00FF00u);
  D3DVIEWPORT7 outside{0, 0, 8, 8, -0.5f, 1.0f};
  EXPECT_EQ(device->SetViewport(&outside), DDERR_INVALIDPARAMS);
}

TEST(DeviceZBufferTest, ANewZBufferReadsZeroAndFailsEveryLessEqualTest) {
  dx7ResetAdapterProfile();
  Dx7TestDisplay display;
  ASSERT_TRUE(display.open(8, 8, 32, 16));
  EXPECT_EQ(dx7TestReadPixel(display.zbuffer, 4, 4), 0u);
  IDirect3DDevice7* device = display.device;
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
  ColourVertex tri[3] = {{-1, -1, 0.5f, 0xFFFFFFFFu}, {-1, 3, 0.5f, 0xFFFFFFFFu}, {3, -1, 0.5f, 0xFFFFFFFFu}};
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, tri, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(dx7TestReadPixel(display.back, 4, 4) & 0xFFFFFFu, 0u);
  // Once cleared, the same triangle is drawn.
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3D_OK);
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, tri, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(dx7TestReadPixel(display.back, 4, 4) & 0xFFFFFFu, 0xFFFFFFu);
}

TEST_F(DeviceTest, TextureColourKeyingWithColorKeyEnable) {
  // Left texel red, right texel magenta (the texture's source key); point sampling across the target.
  IDirectDrawSurface7* texture = dx7TestSurface(display.directDraw, 2, 1, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(dx7TestWritePixel(texture, 0, 0, 0xF800u));
  ASSERT_TRUE(dx7TestWritePixel(texture, 1, 0, 0xF81Fu));
  DDCOLORKEY key{0xF81Fu, 0xF81Fu};
  ASSERT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
  ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  OneSetVertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFFFFu, 0, 0},
                          {1, 1, 0.5f, 0xFFFFFFFFu, 1, 0},
                          {-1, -1, 0.5f, 0xFFFFFFFFu, 0, 1},
                          {1, -1, 0.5f, 0xFFFFFFFFu, 1, 1}};
  const DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
  auto drawQuad = [&]() {
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FFu, 1.0f, 0), D3D_OK);
    device->BeginScene();
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, fvf, quad, 4, 0), D3D_OK);
    device->EndScene();
  };
  // Off (the default): the key colour is drawn like any other.
  drawQuad();
  EXPECT_EQ(pixel(1, 4), 0xFF0000u);
  EXPECT_EQ(pixel(6, 4), 0xFF00FFu);
  // On: keyed texels leave the target as it was.
  device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
  drawQuad();
  EXPECT_EQ(pixel(1, 4), 0xFF0000u);
  EXPECT_EQ(pixel(6, 4), 0x0000FFu);
  // A texture without a key is drawn whole.
  ASSERT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, nullptr), DD_OK);
  drawQuad();
  EXPECT_EQ(pixel(6, 4), 0xFF00FFu);
  device->SetTexture(0, nullptr);
  texture->Release();
}

TEST_F(DeviceTest, ReportsTheUserClipPlanesItClipsWith) {
  D3DDEVICEDESC7 caps{};
  ASSERT_EQ(device->GetCaps(&caps), D3D_OK);
  EXPECT_GE(caps.wMaxUserClipPlanes, 1);
  // Plane x >= 0 keeps the right half of a full-target triangle.
  float plane[4] = {1.0f, 0.0f, 0.0f, 0.0f};
  ASSERT_EQ(device->SetClipPlane(0, plane), D3D_OK);
  device->SetRenderState(D3DRENDERSTATE_CLIPPLANEENABLE, 1);
  ColourVertex tri[3] = {{-1, -1, 0.5f, 0xFF00FF00u}, {-1, 3, 0.5f, 0xFF00FF00u}, {3, -1, 0.5f, 0xFF00FF00u}};
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE, tri, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(pixel(1, 4), 0x000000u);
  EXPECT_EQ(pixel(6, 4), 0x00FF00u);
}

// Triangles wait in the pipeline to go to GL together; whatever comes between them (a texture
// refreshed from memory, a clear) still happens in its place.
TEST(DeviceDrawOrderTest, TextureChangesAndClearsBetweenTrianglesKeepTheirPlace) {
  dx7ResetAdapterProfile();
  Dx7TestDisplay display;
  ASSERT_TRUE(display.open(8, 8));
  IDirect3DDevice7* device = display.device;
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
  device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
  IDirectDrawSurface7* texture = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(dx7TestFill(texture, 0xF800u));  // red
  ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  const DWORD fvf = kOneSetFvf;
  // Left half (x < 0) and right half as single-triangle fans, the way the engine draws.
  OneSetVertex left[3] = {
      {-1, -1, 0.5f, 0xFFFFFFFFu, 0, 0}, {-1, 1, 0.5f, 0xFFFFFFFFu, 0, 0}, {0, 1, 0.5f, 0xFFFFFFFFu, 0, 0}};
  OneSetVertex right[3] = {
      {0.1f, 1, 0.5f, 0xFFFFFFFFu, 0, 0}, {1, 1, 0.5f, 0xFFFFFFFFu, 0, 0}, {1, -1, 0.5f, 0xFFFFFFFFu, 0, 0}};
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, fvf, left, 3, 0), D3D_OK);
  ASSERT_TRUE(dx7TestFill(texture, 0x001Fu));  // blue from here on
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, fvf, right, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(dx7TestReadPixel(display.back, 0, 1) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 7, 1) & 0xFFFFFFu, 0x0000FFu);

  // A clear between two triangles of the same state: the first one is cleared away.
  device->BeginScene();
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, fvf, left, 3, 0), D3D_OK);
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00u, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, fvf, right, 3, 0), D3D_OK);
  device->EndScene();
  EXPECT_EQ(dx7TestReadPixel(display.back, 0, 1) & 0xFFFFFFu, 0x00FF00u);
  EXPECT_EQ(dx7TestReadPixel(display.back, 7, 1) & 0xFFFFFFu, 0x0000FFu);
  device->SetTexture(0, nullptr);
  texture->Release();
}

// Drawing reuses the shader of the last draw until a state that shapes it changes: each kind
// of change between two draws must still show.
TEST_F(DeviceTest, ShaderShapingChangesBetweenDrawsShow) {
  IDirectDrawSurface7* texture = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(dx7TestFill(texture, 0xF800u));  // red
  ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  OneSetVertex tri[3] = {
      {-1, -1, 0.5f, 0xFF00FF00u, 0, 0}, {-1, 3, 0.5f, 0xFF00FF00u, 0, 0}, {3, -1, 0.5f, 0xFF00FF00u, 0, 0}};
  const DWORD fvf = kOneSetFvf;
  auto drawn = [&]() {
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, fvf, tri, 3, 0), D3D_OK);
    device->EndScene();
    return pixel(3, 3);
  };
  EXPECT_EQ(drawn(), 0xFF0000u);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);  // a stage state
  EXPECT_EQ(drawn(), 0x00FF00u);
  device->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);  // a render state
  device->SetRenderState(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_LINEAR);
  device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0xFF0000FFu);
  float start = 0.0f, end = 0.0f;  // equal: everything behind the start is fogged
  DWORD startBits = 0, endBits = 0;
  std::memcpy(&startBits, &start, 4);
  std::memcpy(&endBits, &end, 4);
  device->SetRenderState(D3DRENDERSTATE_FOGSTART, startBits);
  device->SetRenderState(D3DRENDERSTATE_FOGEND, endBits);
  EXPECT_EQ(drawn(), 0x0000FFu);
  device->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);  // lit without lights: the material's black
  device->SetRenderState(D3DRENDERSTATE_COLORVERTEX, FALSE);
  EXPECT_EQ(drawn(), 0x000000u);
  D3DLIGHT7 light{};
  light.dltType = D3DLIGHT_DIRECTIONAL;
  light.dcvAmbient = {1.0f, 1.0f, 1.0f, 1.0f};
  light.dvDirection = {0.0f, 0.0f, 1.0f};
  D3DMATERIAL7 material{};
  material.ambient = {0.0f, 1.0f, 1.0f, 1.0f};
  device->SetMaterial(&material);
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);  // a light's enable
  EXPECT_EQ(drawn(), 0x00FFFFu);
  device->SetTexture(0, nullptr);
  texture->Release();
}

}  // namespace

// The pipeline keeps its GL state from draw to draw while blits, uploads and deleted textures
// change GL in between: whatever they change must be set again for the next draw, and nothing
// else may be taken for granted.
TEST_F(DeviceTest, OtherGlWorkBetweenDrawsLeavesEachDrawItsOwnState) {
  IDirectDrawSurface7* red = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(dx7TestFill(red, 0x8000u));  // red 0x84
  ASSERT_EQ(device->SetTexture(0, red), D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
  OneSetVertex tri[3] = {
      {-1, -1, 0.5f, 0xFFFFFFFFu, 0, 0}, {-1, 3, 0.5f, 0xFFFFFFFFu, 0, 0}, {3, -1, 0.5f, 0xFFFFFFFFu, 0, 0}};
  auto draw = [&]() {
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, kOneSetFvf, tri, 3, 0), D3D_OK);
    device->EndScene();
  };
  draw();
  EXPECT_EQ(pixel(3, 3), 0x840000u);
  // A blit draws with blending off; the next draw blends again.
  IDirectDrawSurface7* green = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormatX888(), DDSCAPS_OFFSCREENPLAIN);
  ASSERT_TRUE(dx7TestFill(green, 0x00001100u));
  RECT corner{0, 0, 1, 1};
  ASSERT_EQ(display.back->Blt(&corner, green, nullptr, DDBLT_WAIT, nullptr), D3D_OK);
  draw();
  EXPECT_EQ(pixel(3, 3), 0xFF0000u);  // 0x84 twice, saturated
  EXPECT_EQ(pixel(0, 0), 0x841100u);

  // A texture deleted while bound, and a new one that may come back under its GL name.
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 1.0f, 0), D3D_OK);
  ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
  red->Release();
  IDirectDrawSurface7* blue = dx7TestSurface(display.directDraw, 1, 1, dx7TestFormat565(), DDSCAPS_TEXTURE);
  ASSERT_TRUE(dx7TestFill(blue, 0x0010u));  // blue 0x84
  ASSERT_EQ(device->SetTexture(0, blue), D3D_OK);
  draw();
  EXPECT_EQ(pixel(3, 3), 0x000084u);
  device->SetTexture(0, nullptr);
  blue->Release();
  green->Release();
}
