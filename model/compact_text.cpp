#include "model/compact_text.h"

#include <cstring>

void CPackedText::Assign(std::wstring_view text) {
  Release();
  if (text.empty()) return;
  const std::size_t size = text.size();
  block_ = new char[sizeof(std::size_t) + size * sizeof(wchar_t)];
  std::memcpy(block_, &size, sizeof size);
  std::memcpy(block_ + sizeof(std::size_t), text.data(), size * sizeof(wchar_t));
}

std::size_t CPackedText::Size() const {
  std::size_t size = 0;
  std::memcpy(&size, block_, sizeof size);
  return size;
}

void CPackedText::Release() {
  delete[] block_;
  block_ = nullptr;
}
