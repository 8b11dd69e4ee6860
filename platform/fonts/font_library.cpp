#include "platform/fonts/font_library.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

#include "platform/win/strings.h"

namespace gm::fonts::detail {

namespace {

struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

// 16.16 fixed, the form FT_Outline_Transform takes; bounded so that absurd
// width factors cannot overflow it.
std::int32_t ToFixed(double v) {
  v = std::clamp(v, -1000.0, 1000.0);
  return static_cast<std::int32_t>(std::lround(v * 65536.0));
}

}  // namespace

Face::Face(FT_Face face, std::string path, int index)
    : face_(face), path_(std::move(path)), index_(index) {
  glyph_of_ascii_.fill(kUnknownGlyph);
  if (face_->family_name) family_ = face_->family_name;
  if (FT_Select_Charmap(face_, FT_ENCODING_UNICODE) != 0 &&
      FT_Select_Charmap(face_, FT_ENCODING_MS_SYMBOL) == 0) {
    symbol_cmap_ = true;
  }
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF && os2->version >= 2 && os2->sCapHeight > 0) {
    cap_height_ = os2->sCapHeight;
  } else {
    InkBox h = Measure(GlyphIndex(U'H'), 0).ink;
    cap_height_ = (!h.empty && h.y1 > 0) ? h.y1 : 0.7 * face_->units_per_EM;
  }
  if (!(cap_height_ > 0)) cap_height_ = 1;
}

Face::~Face() { FT_Done_Face(face_); }

unsigned Face::GlyphIndex(char32_t c) {
  if (c < glyph_of_ascii_.size() && glyph_of_ascii_[c] != kUnknownGlyph) return glyph_of_ascii_[c];
  auto it = glyph_of_char_.find(c);
  if (it != glyph_of_char_.end()) return it->second;
  unsigned glyph = FT_Get_Char_Index(face_, c);
  // Symbol fonts map their characters into the private area at U+F0xx.
  if (glyph == 0 && symbol_cmap_ && c < 0x100) glyph = FT_Get_Char_Index(face_, 0xF000 + c);
  if (c < glyph_of_ascii_.size()) {
    glyph_of_ascii_[c] = glyph;
  } else {
    glyph_of_char_.emplace(c, glyph);
  }
  return glyph;
}

const Face::GlyphData& Face::Load(unsigned glyph, std::int32_t shear_fixed) {
  if (shear_fixed == 0 && glyph < kDirectGlyphs) {
    if (upright_.empty()) {
      upright_.resize(std::min<unsigned>(
          kDirectGlyphs, static_cast<unsigned>(std::max<FT_Long>(face_->num_glyphs, 1))));
    }
    if (glyph < upright_.size()) {
      DirectSlot& slot = upright_[glyph];
      if (!slot.loaded) {
        slot.data = LoadFromFace(glyph, 0);
        slot.loaded = true;
      }
      return slot.data;
    }
  }
  std::uint64_t key =
      (static_cast<std::uint64_t>(glyph) << 32) | static_cast<std::uint32_t>(shear_fixed);
  auto it = glyphs_.find(key);
  if (it != glyphs_.end()) return it->second;
  return glyphs_.emplace(key, LoadFromFace(glyph, shear_fixed)).first->second;
}

Face::GlyphData Face::LoadFromFace(unsigned glyph, std::int32_t shear_fixed) {
  GlyphData data;
  if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_IGNORE_TRANSFORM) == 0) {
    FT_GlyphSlot slot = face_->glyph;
    data.advance = static_cast<double>(slot->metrics.horiAdvance);
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && slot->outline.n_points > 0) {
      if (shear_fixed != 0) {
        FT_Matrix shear{0x10000, shear_fixed, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
      }
      FT_BBox box;
      if (FT_Outline_Get_BBox(&slot->outline, &box) == 0 && box.xMax >= box.xMin) {
        data.ink = {false, static_cast<double>(box.xMin), static_cast<double>(box.yMin),
                    static_cast<double>(box.xMax), static_cast<double>(box.yMax)};
      }
    }
  }
  return data;
}

Face::Metrics Face::Measure(unsigned glyph, double shear) {
  const std::int32_t fixed = shear == 0 ? 0 : ToFixed(shear);
  const GlyphData& upright = Load(glyph, 0);
  if (fixed == 0) return {upright.advance, upright.ink};
  const double advance = upright.advance;
  return {advance, Load(glyph, fixed).ink};
}

double Face::Kerning(unsigned left, unsigned right) {
  if (!FT_HAS_KERNING(face_) || left == 0 || right == 0) return 0;
  const std::uint64_t key = (static_cast<std::uint64_t>(left) << 32) | right;
  auto it = kerning_.find(key);
  if (it != kerning_.end()) return it->second;
  FT_Vector delta{0, 0};
  double kern = 0;
  if (FT_Get_Kerning(face_, left, right, FT_KERNING_UNSCALED, &delta) == 0) {
    kern = static_cast<double>(delta.x);
  }
  kerning_.emplace(key, kern);
  return kern;
}

FontLibrary& FontLibrary::Instance() {
  static FontLibrary library;
  return library;
}

FontLibrary::FontLibrary() {
  if (FT_Init_FreeType(&ft_) != 0) ft_ = nullptr;
}

FontLibrary::~FontLibrary() {
  matches_.clear();
  char_faces_.clear();
  open_faces_.clear();  // faces before the library that owns them
  if (ft_) FT_Done_FreeType(ft_);
  if (config_) FcConfigDestroy(config_);
}

Face* FontLibrary::Open(const std::string& path, int index) {
  std::string key = path + "#" + std::to_string(index);
  auto it = open_faces_.find(key);
  if (it != open_faces_.end()) return it->second.get();
  Face* result = nullptr;
  FT_Face face = nullptr;
  if (ft_ && FT_New_Face(ft_, path.c_str(), index, &face) == 0) {
    // Only outline fonts can be scaled to a drawing's text height.
    if (FT_IS_SCALABLE(face) && face->units_per_EM > 0) {
      auto owned = std::make_unique<Face>(face, path, index);
      result = owned.get();
      open_faces_.emplace(key, std::move(owned));
      return result;
    }
    FT_Done_Face(face);
  }
  open_faces_.emplace(key, nullptr);
  return nullptr;
}

Face* FontLibrary::MatchPattern(const std::string& family, bool bold, bool italic, char32_t c) {
  if (!config_loaded_) {
    // A configuration of our own, so that releasing it at exit cannot disturb
    // anyone else's use of fontconfig's default one.
    config_ = FcInitLoadConfigAndFonts();
    config_loaded_ = true;
  }
  if (!config_) return nullptr;
  PatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  if (!family.empty()) {
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (c != 0) {
    FcCharSet* set = FcCharSetCreate();
    FcCharSetAddChar(set, c);
    FcPatternAddCharSet(pattern.get(), FC_CHARSET, set);
    FcCharSetDestroy(set);
  }
  FcConfigSubstitute(config_, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr match(FcFontMatch(config_, pattern.get(), &result));
  if (!match) return nullptr;
  if (c != 0) {
    FcCharSet* set = nullptr;
    if (FcPatternGetCharSet(match.get(), FC_CHARSET, 0, &set) != FcResultMatch ||
        !FcCharSetHasChar(set, c)) {
      return nullptr;
    }
  }
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return nullptr;
  int index = 0;
  FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
  return Open(reinterpret_cast<const char*>(file), index);
}

Face* FontLibrary::Match(const std::string& family, bool bold, bool italic) {
  std::string key = win::ToLowerAscii(family) + (bold ? "|b" : "|") + (italic ? "i" : "");
  auto it = matches_.find(key);
  if (it != matches_.end()) return it->second;
  Face* face = MatchPattern(family, bold, italic, 0);
  // A family whose best match cannot be opened still gets the default sans.
  if (!face && !family.empty()) face = MatchPattern("", bold, italic, 0);
  matches_.emplace(key, face);
  return face;
}

Face* FontLibrary::FaceWithChar(char32_t c) {
  auto it = char_faces_.find(c);
  if (it != char_faces_.end()) return it->second;
  Face* face = MatchPattern("", false, false, c);
  if (face && face->GlyphIndex(c) == 0) face = nullptr;
  char_faces_.emplace(c, face);
  return face;
}

}  // namespace gm::fonts::detail
