// Which face a CAD text style draws with. A style names its font by file
// (STYLE group 3: "arial.ttf", "simplex.shx", "txt") and sometimes by family
// (extended data: "Arial"). TrueType names go through fontconfig, so Arial
// resolves to the metric-compatible Liberation Sans where Arial itself is not
// installed; a family nobody has resolves to the default sans.
#pragma once

#include <string>
#include <string_view>

namespace gm::fonts {

struct FontSpec {
  std::wstring file;    // a directory part ("C:\Windows\Fonts\") is ignored
  std::wstring family;  // when set, names the TrueType face instead of the file's stem
  bool bold = false;
  bool italic = false;
};

enum class FontKind { kTrueType, kShx };

// SHX: a file ending in ".shx"; without a family, also a file without an
// extension ("txt", "romans") and no font at all (a host's Standard style
// draws with txt). Everything else is TrueType.
FontKind ClassifyFont(const FontSpec& font_spec);

// The family a Windows font file stands for, from its stem without regard to
// case: "arial.ttf" -> Arial, "timesbd.ttf" -> Times New Roman bold,
// "cour.ttf" -> Courier New. An unknown stem is returned as the family.
struct FileFamily {
  std::string family;  // UTF-8
  bool bold = false;
  bool italic = false;
};
FileFamily FamilyForFontFile(std::wstring_view file);

struct ResolvedFont {
  FontKind kind = FontKind::kShx;
  // What was asked of fontconfig (UTF-8). For an SHX font this is the sans
  // that stands in for characters outside the SHX table (see text_metrics.h).
  std::string requested_family;
  bool bold = false;
  bool italic = false;
  std::string family;  // the family of the face found ("Liberation Sans")
  std::string path;    // its file; empty when no face could be opened
  int face_index = 0;
  bool has_face() const { return !path.empty(); }
};

// Never fails: with no usable font installed has_face() is false and text is
// measured by estimate. Faces are opened once per process and released at exit;
// safe to call from several threads.
ResolvedFont ResolveFont(const FontSpec& font_spec);

}  // namespace gm::fonts
