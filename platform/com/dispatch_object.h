// A base for automation objects served through IDispatch. A subclass lists
// its members in one table (name, dispatch id, the kinds of call each
// answers, how many arguments it takes, its handler), sorted by id; the base
// finds the member by id, checks the call against the entry and runs the
// handler, so a handler only ever sees its member called the right way with
// a count of arguments in range:
//
//   unknown id, or a kind the member lacks  DISP_E_MEMBERNOTFOUND
//   too few or too many arguments           DISP_E_BADPARAMCOUNT
//   a required argument passed as missing   DISP_E_PARAMNOTOPTIONAL
//   named arguments other than a put's      DISP_E_NONAMEDARGS
//   an argument that does not convert       DISP_E_TYPEMISMATCH (or the
//                                           conversion's code), *argErr set
//   Invocation::Raise                       DISP_E_EXCEPTION with EXCEPINFO
//
// A call asked with DISPATCH_METHOD | DISPATCH_PROPERTYGET answers as a get
// when the member has one, as a method otherwise. Arguments are read where
// the caller put them: a call copies no text and allocates nothing of its
// own.
#pragma once

#include <atomic>
#include <span>
#include <string>
#include <string_view>

#include "platform/com/oleauto.h"

namespace com {

class DispatchObject;
class Invocation;
struct MemberInfo;

using MemberHandler = void (*)(DispatchObject& self, Invocation& call);

struct MemberInfo {
  const wchar_t* name;
  DISPID id;
  WORD kinds;  // DISPATCH_METHOD, DISPATCH_PROPERTYGET, DISPATCH_PROPERTYPUT or'ed
  UINT min_args;
  UINT max_args;  // positional ones; a put's value is not counted
  MemberHandler handler;
};

// The handler that runs Method (void C::Method(Invocation&)) on the object.
template <typename T>
struct MethodOf;
template <typename C>
struct MethodOf<void (C::*)(Invocation&)> {
  using Class = C;
};
template <auto Method>
void Handle(DispatchObject& self, Invocation& call) {
  using C = typename MethodOf<decltype(Method)>::Class;
  (static_cast<C&>(self).*Method)(call);
}

// True when a member table is sorted by id without repeats, as lookups need.
constexpr bool SortedById(std::span<const MemberInfo> members) {
  for (size_t i = 1; i < members.size(); ++i) {
    if (members[i - 1].id >= members[i].id) return false;
  }
  return true;
}

inline constexpr UINT kMaxArgs = 8;

// One call as the member sees it: positional arguments in their natural
// order (0 is the first), the value of a put apart.
class Invocation {
 public:
  const MemberInfo& member() const { return member_; }
  WORD kind() const { return kind_; }
  bool is_get() const { return kind_ == DISPATCH_PROPERTYGET; }
  bool is_put() const { return kind_ == DISPATCH_PROPERTYPUT; }
  bool is_method() const { return kind_ == DISPATCH_METHOD; }

  // Positional arguments passed, those marked missing included.
  UINT count() const { return count_; }
  // False when index is beyond count() or the argument is marked missing
  // (VT_ERROR holding DISP_E_PARAMNOTFOUND) or VT_EMPTY.
  bool Has(UINT index) const {
    if (index == kValue) return has_value_;
    if (index >= count_) return false;
    const VARIANT& a = args_[index];
    return a.vt != VT_EMPTY && !IsMissing(a);
  }

  // An argument converted to the type asked (VariantChangeType's rules). A
  // failed conversion ends the call with its code and *argErr set.
  LONG Long(UINT index) const {
    const VARIANT* a = Typed(index, VT_I4);
    return a ? a->lVal : Converted(index, VT_I4).lVal;
  }
  double Double(UINT index) const {
    const VARIANT* a = Typed(index, VT_R8);
    return a ? a->dblVal : Converted(index, VT_R8).dblVal;
  }
  bool Bool(UINT index) const {
    const VARIANT* a = Typed(index, VT_BOOL);
    return (a ? a->boolVal : Converted(index, VT_BOOL).boolVal) != 0;
  }
  std::wstring String(UINT index) const;
  // As passed, by-reference arguments resolved (nothing copied). Valid for
  // the whole call.
  const VARIANT& Raw(UINT index) const {
    if (index != kValue && index >= count_) NotPassed();
    return Arg(index);
  }

  // The same for the value a put assigns.
  static constexpr UINT kValue = 0xFFFFFFFFu;

  void ReturnEmpty();
  void ReturnLong(LONG value);
  void ReturnDouble(double value);
  void ReturnBool(bool value);
  void ReturnString(std::wstring_view value);
  // Takes over the reference; a null object returns VT_DISPATCH nullptr.
  // Inline: most gets a writer makes hand out an object.
  void ReturnObject(IDispatch* object) {
    if (result_.vt != VT_EMPTY) VariantClear(&result_);
    result_.vt = VT_DISPATCH;
    result_.pdispVal = object;
  }
  // Copies the variant.
  void ReturnVariant(const VARIANT& value);

  // Ends the call with DISP_E_EXCEPTION carrying scode and description.
  [[noreturn]] void Raise(SCODE scode, std::wstring description) const;
  // Ends the call with a plain status code.
  [[noreturn]] void Fail(HRESULT hr) const;

  Invocation(const Invocation&) = delete;
  Invocation& operator=(const Invocation&) = delete;
  ~Invocation() {
    if (result_.vt != VT_EMPTY) VariantClear(&result_);
  }

 private:
  friend class DispatchObject;
  Invocation(const MemberInfo& member, WORD kind, UINT total_args)
      : member_(member), kind_(kind), total_args_(total_args) {}
  // The mark a caller puts in place of an argument it leaves out.
  static bool IsMissing(const VARIANT& v) {
    return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND;
  }
  const VARIANT& Arg(UINT index) const { return index == kValue ? value_ : args_[index]; }
  [[noreturn, gnu::cold]] void NotPassed() const;
  // The argument when it was passed as that type (so present), else null.
  const VARIANT* Typed(UINT index, VARTYPE type) const {
    const VARIANT* a = index == kValue ? &value_ : index < count_ ? &args_[index] : nullptr;
    return a != nullptr && a->vt == type ? a : nullptr;
  }
  UINT ArgErrIndex(UINT index) const;
  VARIANT Converted(UINT index, VARTYPE type) const;

  const MemberInfo& member_;
  WORD kind_;
  UINT total_args_;
  UINT count_ = 0;
  VARIANT args_[kMaxArgs];  // views of the caller's arguments, owning nothing
  VARIANT value_{};
  bool has_value_ = false;
  VARIANT result_{};
};

// Reference-counted: made with a count of 1; the Release that takes it to 0
// hands it to Recycle (which destroys it unless a subclass keeps it for
// reuse). Answers IUnknown and IDispatch.
class DispatchObject : public IDispatch {
 public:
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetTypeInfoCount(UINT* count) override;
  HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
  HRESULT Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                 VARIANT* result, EXCEPINFO* exception, UINT* argErr) override;

 protected:
  DispatchObject() = default;
  virtual ~DispatchObject() = default;

  // The member table, sorted by id (SortedById), for the whole run: lookups
  // are cached by its address. A handler ends by returning (S_OK) or through
  // Invocation::Raise / Fail.
  virtual std::span<const MemberInfo> Members() const = 0;
  // Named as the source in EXCEPINFO.
  virtual std::wstring ExceptionSource() const { return {}; }
  // Called once the last reference is gone; nobody can reach the object.
  virtual void Recycle() { delete this; }
  // For an object taken back out of a pool: one reference, the new holder's.
  void Revive() { refs_.store(1, std::memory_order_relaxed); }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace com
