// Shared by the font suites: which fonts this machine has.
#pragma once

#include <gtest/gtest.h>

#include "platform/fonts/font_resolver.h"
#include "platform/fonts/text_metrics.h"

namespace gm::fonts::test {

inline bool HasFamily(const char* family) {
  FontSpec font_spec;
  font_spec.family = std::wstring(family, family + std::char_traits<char>::length(family));
  return ResolveFont(font_spec).family == family;
}

inline TextStyle Style(const wchar_t* file) {
  TextStyle style;
  style.font.file = file;
  return style;
}

}  // namespace gm::fonts::test

// Metric expectations below hold for Liberation Sans (fonts-liberation2).
#define GM_REQUIRE_LIBERATION()                                               \
  do {                                                                        \
    if (!::gm::fonts::test::HasFamily("Liberation Sans"))                     \
      GTEST_SKIP() << "Liberation Sans is not installed (fonts-liberation2)"; \
  } while (0)
