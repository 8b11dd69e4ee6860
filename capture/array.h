// A growable array with value semantics whose every indexed access is
// checked: an index outside the array raises the framework's
// invalid-argument exception. That is a guard against programming errors;
// no caller uses it as a path.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "platform/afx/afx.h"

template <typename T>
class CCheckedArray {
 public:
  using value_type = T;

  int GetSize() const { return static_cast<int>(items_.size()); }
  int GetCount() const { return GetSize(); }
  int GetUpperBound() const { return GetSize() - 1; }
  bool IsEmpty() const { return items_.empty(); }

  const T& GetAt(int index) const { return items_[Checked(index)]; }
  T& ElementAt(int index) { return items_[Checked(index)]; }
  const T& operator[](int index) const { return GetAt(index); }
  T& operator[](int index) { return ElementAt(index); }

  void SetAt(int index, const T& item) { items_[Checked(index)] = item; }
  // Grows the array (with default elements) when index is at or past its end.
  void SetAtGrow(int index, const T& item) {
    if (index < 0) AfxThrowInvalidArgException();
    if (index >= GetSize()) items_.resize(static_cast<std::size_t>(index) + 1);
    items_[static_cast<std::size_t>(index)] = item;
  }

  // Returns the index of the new element.
  int Add(const T& item) {
    items_.push_back(item);
    return GetUpperBound();
  }
  int Add(T&& item) {
    items_.push_back(std::move(item));
    return GetUpperBound();
  }
  void Append(const CCheckedArray& other) {
    items_.insert(items_.end(), other.items_.begin(), other.items_.end());
  }

  // REQUIRES: 0 <= index <= GetSize().
  void InsertAt(int index, const T& item) {
    if (index < 0 || index > GetSize()) AfxThrowInvalidArgException();
    items_.insert(items_.begin() + index, item);
  }
  // REQUIRES: the count elements from index all exist.
  void RemoveAt(int index, int count = 1) {
    if (index < 0 || count < 0 || index > GetSize() - count) AfxThrowInvalidArgException();
    items_.erase(items_.begin() + index, items_.begin() + index + count);
  }
  void RemoveAll() { items_.clear(); }
  void SetSize(int size) {
    if (size < 0) AfxThrowInvalidArgException();
    items_.resize(static_cast<std::size_t>(size));
  }

  // Removes, in one pass, every element whose flag is set, keeping the order
  // of the others. REQUIRES: one flag per element.
  void RemoveFlagged(const std::vector<bool>& remove) {
    if (remove.size() != items_.size()) AfxThrowInvalidArgException();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (remove[i]) continue;
      if (kept != i) items_[kept] = std::move(items_[i]);
      ++kept;
    }
    items_.resize(kept);
  }

  // Deduced, so that an array may be a member of its own element type.
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  // The elements themselves, for whole-array algorithms (sorting, merging).
  std::vector<T>& Data() { return items_; }
  const std::vector<T>& Data() const { return items_; }

 private:
  std::size_t Checked(int index) const {
    if (index < 0 || index >= GetSize()) AfxThrowInvalidArgException();
    return static_cast<std::size_t>(index);
  }

  std::vector<T> items_;
};
