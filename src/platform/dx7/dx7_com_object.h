// Reference counting and interface queries shared by the objects behind the DirectDraw and
// Direct3D interfaces (platform-internal). An object derives from Dx7ComObject with the
// interfaces it implements (each known by its kInterfaceId); the first also answers for IUnknown.
#pragma once

#include <type_traits>

#include "platform/dx7/d3d.h"

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
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, First::kInterfaceId)) {
      found = static_cast<First*>(this);
    } else {
      ((found = found == nullptr && IsEqualGUID(riid, Rest::kInterfaceId) ? static_cast<Rest*>(this) : found), ...);
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
