// Small text holders for the table model, whose tables run to hundreds of
// thousands of cells: most cells are blank or carry one of a few fixed texts,
// so the usual value should cost no allocation and little room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// A text in one pointer, its length and characters in one heap block; empty
// costs nothing. Copies are deep.
class CPackedText {
 public:
  CPackedText() = default;
  explicit CPackedText(std::wstring_view text) { Assign(text); }
  CPackedText(const CPackedText& other) { Assign(other.View()); }
  CPackedText& operator=(const CPackedText& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  CPackedText(CPackedText&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  CPackedText& operator=(CPackedText&& other) noexcept {
    if (this != &other) {
      Release();
      block_ = other.block_;
      other.block_ = nullptr;
    }
    return *this;
  }
  ~CPackedText() { Release(); }

  void Assign(std::wstring_view text);
  std::wstring_view View() const {
    if (block_ == nullptr) return {};
    return {reinterpret_cast<const wchar_t*>(block_ + sizeof(std::size_t)), Size()};
  }
  bool IsEmpty() const { return block_ == nullptr; }

 private:
  std::size_t Size() const;
  void Release();

  char* block_ = nullptr;  // the length, then the characters
};

// A text that is nearly always one of a short fixed list (Names::At(0) ..
// Names::At(Names::kCount - 1), the first being the default): those are a
// byte; any other text is held on its own. Reads as a const std::wstring&.
template <typename Names>
class CChosenText {
 public:
  static constexpr std::uint8_t kCustom = 0xFF;

  CChosenText() = default;
  CChosenText(const CChosenText& other)
      : custom_(other.custom_ ? std::make_unique<std::wstring>(*other.custom_) : nullptr),
        known_(other.known_) {}
  // Assignments are for lvalues only: a border read by value takes none.
  CChosenText& operator=(const CChosenText& other) & {
    if (this != &other) *this = CChosenText(other);
    return *this;
  }
  CChosenText(CChosenText&&) noexcept = default;
  CChosenText& operator=(CChosenText&&) & noexcept = default;
  ~CChosenText() = default;

  CChosenText& operator=(std::wstring_view text) & {
    Assign(text);
    return *this;
  }
  void Assign(std::wstring_view text) & {
    for (std::size_t i = 0; i < Names::kCount; ++i) {
      if (Names::At(i) == text) {
        SetKnown(static_cast<std::uint8_t>(i));
        return;
      }
    }
    custom_ = std::make_unique<std::wstring>(text);
    known_ = kCustom;
  }
  // REQUIRES: index < Names::kCount.
  void SetKnown(std::uint8_t index) & {
    custom_.reset();
    known_ = index;
  }
  // The index in the list, or kCustom.
  std::uint8_t Known() const { return known_; }

  const std::wstring& str() const { return custom_ ? *custom_ : Names::At(known_); }
  operator const std::wstring&() const { return str(); }
  bool empty() const { return str().empty(); }
  void clear() & { Assign(std::wstring_view()); }
  const wchar_t* c_str() const { return str().c_str(); }

  friend bool operator==(const CChosenText& a, std::wstring_view b) { return a.str() == b; }
  friend bool operator==(const CChosenText& a, const CChosenText& b) { return a.str() == b.str(); }

 private:
  std::unique_ptr<std::wstring> custom_;
  std::uint8_t known_ = 0;
};
