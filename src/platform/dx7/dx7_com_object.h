// Reference counting and interface queries shared by the objects behind the DirectDraw and
// Direct3D interfaces (platform-internal). An object derives from Dx7ComObject with the
// interfaces it implements; the first one also answers for IUnknown.
#pragma once

#include <type_traits>

#include "platform/dx7/d3d.h"

// The interface id each interface of the subset answers to in QueryInterface.
template <typename Interface>
struct Dx7InterfaceId;

template <>
struct Dx7InterfaceId<IDirectDraw7> {
  static constexpr const GUID& value = IID_IDirectDraw7;
};
template <>
struct Dx7InterfaceId<IDirectDrawSurface7> {
  static constexpr const GUID& value = IID_IDirectDrawSurface7;
};
template <>
struct Dx7InterfaceId<IDirectDrawClipper> {
  static constexpr const GUID& value = IID_IDirectDrawClipper;
};
template <>
struct Dx7InterfaceId<IDirect3D7> {
  static constexpr const GUID& value = IID_IDirect3D7;
};
template <>
struct Dx7InterfaceId<IDirect3DDevice7> {
  static constexpr const GUID& value = IID_IDirect3DDevice7;
};
template <>
struct Dx7InterfaceId<IDirect3DVertexBuffer7> {
  static constexpr const GUID& value = IID_IDirect3DVertexBuffer7;
};

// An object starts with one reference (its creator's). QueryInterface hands out one of the
// object's own interfaces with a new reference, or asks queryOtherInterface for ids the
// object answers by another object; anything else leaves *object null with E_NOINTERFACE.
// The release that takes the count to zero calls lastReferenceGone, which deletes the object
// unless the object overrides it.
template <typename First, typename... Rest>
class Dx7ComObject : public First, public Rest... {
  static_assert((std::is_base_of_v<IUnknown, First> && ... && std::is_base_of_v<IUnknown, Rest>));

 public:
  HRESULT QueryInterface(REFIID riid, LPVOID* object) override {
    if (object == nullptr) return DDERR_INVALIDPARAMS;
    void* found = nullptr;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, Dx7InterfaceId<First>::value)) {
      found = static_cast<First*>(this);
    } else {
      ((found == nullptr && IsEqualGUID(riid, Dx7InterfaceId<Rest>::value) ? (found = static_cast<Rest*>(this))
                                                                             : nullptr),
       ...);
    }
    if (found != nullptr) {
      AddRef();
      *object = found;
      return S_OK;
    }
    const HRESULT other = queryOtherInterface(riid, object);
    if (other != E_NOINTERFACE) return other;
    *object = nullptr;
    return E_NOINTERFACE;
  }

  ULONG AddRef() override { return ++refs_; }

  ULONG Release() override {
    // An object its owner keeps after the last reference (an orphaned surface) stays at zero.
    if (refs_ == 0) return 0;
    const ULONG left = --refs_;
    if (left == 0) lastReferenceGone();
    return left;
  }

 protected:
  Dx7ComObject() = default;
  ~Dx7ComObject() override = default;
  Dx7ComObject(const Dx7ComObject&) = delete;
  Dx7ComObject& operator=(const Dx7ComObject&) = delete;

  // Interface ids the object hands out through another object; E_NOINTERFACE for the rest.
  virtual HRESULT queryOtherInterface(REFIID, LPVOID*) { return E_NOINTERFACE; }
  // Called once the count reaches zero; the object must not be used after it returns.
  virtual void lastReferenceGone() { delete this; }

  ULONG referenceCount() const { return refs_; }
  // Drops a reference without releasing (an owner that is going away lets go of a part).
  void dropReference() {
    if (refs_ > 0) --refs_;
  }

 private:
  ULONG refs_ = 1;
};
