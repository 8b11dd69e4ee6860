// The root interface every COM object answers: identity and lifetime by
// reference count. An object lives while its count is above 0; Release that
// takes it to 0 destroys it.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/com/guid.h"
#include "platform/com/winerror.h"

using ULONG = std::uint32_t;
using USHORT = std::uint16_t;
using SHORT = std::int16_t;
using FLOAT = float;
using DOUBLE = double;
using LCID = DWORD;

#define STDMETHODCALLTYPE
#define STDMETHOD(method) virtual HRESULT method
#define STDMETHOD_(type, method) virtual type method

class IUnknown {
 public:
  // On success *object holds a new reference; on failure it is nullptr and
  // the result E_NOINTERFACE (E_POINTER when object is null).
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

namespace com {

// Holds one reference to an interface and releases it on destruction, so a
// pointer handed between functions is never leaked nor released twice.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns.
  explicit ComPtr(T* owned) : p_(owned) {}
  ComPtr(const ComPtr& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Adds a reference of its own.
  static ComPtr Share(T* p) {
    if (p) p->AddRef();
    return ComPtr(p);
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Hands the reference out; the caller releases it.
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // For out-parameters: releases what is held and gives the slot.
  T** Receive() {
    Reset();
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace com
