// The font a run of text is measured with (private to this room). Every call
// REQUIRES FontLibrary's mutex held.
#pragma once

#include <string>

#include "platform/fonts/font_library.h"
#include "platform/fonts/font_resolver.h"

namespace gm::fonts::detail {

// A style's font made ready for measuring.
struct RunFont {
  FontKind kind = FontKind::kShx;
  std::string requested_family;
  bool bold = false;
  bool italic = false;
  // TrueType: the face; SHX: the sans for characters outside the SHX table.
  // nullptr when no face could be opened.
  Face* face = nullptr;
  // SHX: the sans is not looked up yet; ShxStandInFace() finds it when a
  // character outside the SHX table first needs it.
  bool face_pending = false;
};
RunFont OpenRunFont(const FontSpec& font_spec);
Face* ShxStandInFace();

}  // namespace gm::fonts::detail
