// Reference counting and interface queries of the shared object base: on a small object with
// two interfaces of its own and one handed out by another object, and on the DirectDraw and
// Direct3D objects, which hand out each other.
#include <gtest/gtest.h>

#include "platform/dx7/dx7_com_object.h"
#include "platform/dx7/dx7_platform.h"
#include "support/dx7_test_display.h"

inline constexpr GUID kShapeId = {0x11111111, 0x1, 0x1, {1, 1, 1, 1, 1, 1, 1, 1}};
inline constexpr GUID kColourId = {0x22222222, 0x2, 0x2, {2, 2, 2, 2, 2, 2, 2, 2}};
inline constexpr GUID kForwardedId = {0x33333333, 0x3, 0x3, {3, 3, 3, 3, 3, 3, 3, 3}};
inline constexpr GUID kUnknownId = {0x44444444, 0x4, 0x4, {4, 4, 4, 4, 4, 4, 4, 4}};

class ITestShape : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = kShapeId;
  virtual int corners() = 0;
};
class ITestColour : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = kColourId;
  virtual int colour() = 0;
};
class ITestForwarded : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = kForwardedId;
};

namespace {

class Forwarded final : public Dx7ComObject<ITestForwarded> {};

// Counts its deletions; kForwardedId is answered by a second object it holds.
class Square final : public Dx7ComObject<ITestShape, ITestColour> {
 public:
  explicit Square(int* deletions, IUnknown* forwarded = nullptr) : deletions_(deletions), forwarded_(forwarded) {}
  int corners() override { return 4; }
  int colour() override { return 0x00FF00; }
  ULONG count() const { return referenceCount(); }

 private:
  ~Square() override { ++*deletions_; }
  HRESULT queryOtherInterface(REFIID riid, LPVOID* object) override {
    if (forwarded_ == nullptr || !IsEqualGUID(riid, kForwardedId)) return E_NOINTERFACE;
    forwarded_->AddRef();
    *object = forwarded_;
    return DD_OK;
  }

  int* deletions_;
  IUnknown* forwarded_;
};

TEST(Dx7ComObjectTest, EachOwnInterfaceComesWithAReferenceAndTheLastReleaseDeletes) {
  int deletions = 0;
  auto* square = new Square(&deletions);
  ITestShape* shape = square;

  void* asUnknown = nullptr;
  ASSERT_EQ(shape->QueryInterface(IID_IUnknown, &asUnknown), S_OK);
  EXPECT_EQ(asUnknown, static_cast<void*>(static_cast<ITestShape*>(square)));  // the first interface
  void* asColour = nullptr;
  ASSERT_EQ(shape->QueryInterface(kColourId, &asColour), S_OK);
  EXPECT_EQ(static_cast<ITestColour*>(asColour)->colour(), 0x00FF00);
  void* asShape = nullptr;
  ASSERT_EQ(static_cast<ITestColour*>(asColour)->QueryInterface(kShapeId, &asShape), S_OK);
  EXPECT_EQ(static_cast<ITestShape*>(asShape)->corners(), 4);
  EXPECT_EQ(square->count(), 4u);
  EXPECT_EQ(square->AddRef(), 5u);

  // Releasing through any interface counts on the one object.
  EXPECT_EQ(square->Release(), 4u);
  EXPECT_EQ(static_cast<ITestColour*>(asColour)->Release(), 3u);
  EXPECT_EQ(static_cast<ITestShape*>(asShape)->Release(), 2u);
  EXPECT_EQ(static_cast<IUnknown*>(static_cast<ITestShape*>(asUnknown))->Release(), 1u);
  EXPECT_EQ(deletions, 0);
  EXPECT_EQ(shape->Release(), 0u);
  EXPECT_EQ(deletions, 1);
}

TEST(Dx7ComObjectTest, RefusedQueriesLeaveTheCountAlone) {
  int deletions = 0;
  auto* square = new Square(&deletions);
  EXPECT_EQ(square->QueryInterface(kShapeId, nullptr), DDERR_INVALIDPARAMS);
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(square->QueryInterface(kUnknownId, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(square->QueryInterface(kForwardedId, &out), E_NOINTERFACE);  // nothing to forward to
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(square->count(), 1u);
  square->Release();
  EXPECT_EQ(deletions, 1);
}

TEST(Dx7ComObjectTest, OtherInterfacesComeFromTheObjectThatHasThem) {
  int deletions = 0;
  auto* forwarded = new Forwarded();
  auto* square = new Square(&deletions, forwarded);
  void* out = nullptr;
  ASSERT_EQ(square->QueryInterface(kForwardedId, &out), DD_OK);
  EXPECT_EQ(out, static_cast<void*>(static_cast<ITestForwarded*>(forwarded)));
  EXPECT_EQ(square->count(), 1u);
  EXPECT_EQ(forwarded->Release(), 1u);
  square->Release();
  EXPECT_EQ(forwarded->Release(), 0u);
}

TEST(Dx7ComObjectTest, DirectDrawAndDirect3DHandOutEachOther) {
  dx7ResetAdapterProfile();
  Dx7TestDisplay display;
  ASSERT_TRUE(display.open(8, 8));

  // The Direct3D object is made once; a second query gives the same object.
  IDirect3D7* again = nullptr;
  ASSERT_EQ(display.directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&again)), DD_OK);
  EXPECT_EQ(again, display.direct3D);
  EXPECT_EQ(again->Release(), 2u);  // the display's reference and the device's

  IDirectDraw7* back = nullptr;
  ASSERT_EQ(display.direct3D->QueryInterface(IID_IDirectDraw7, reinterpret_cast<void**>(&back)), D3D_OK);
  EXPECT_EQ(back, display.directDraw);
  back->Release();

  // Each object answers for its own interface and IUnknown, and refuses the others.
  IUnknown* unknown = nullptr;
  ASSERT_EQ(display.device->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), D3D_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(display.device));
  unknown->Release();
  void* none = nullptr;
  EXPECT_EQ(display.device->QueryInterface(IID_IDirectDraw7, &none), E_NOINTERFACE);
  EXPECT_EQ(display.back->QueryInterface(IID_IDirect3DDevice7, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
}

}  // namespace
