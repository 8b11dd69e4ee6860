// The process's FreeType library, its fontconfig configuration and every face
// opened through them. Faces are opened once and live until exit; glyph
// metrics are cached per face, so a long text costs one hash lookup per
// character after its first occurrence.
//
// Internal to this room: the public entry points take the library's lock and
// then use these calls.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;
typedef struct _FcConfig FcConfig;

namespace gm::fonts::detail {

// An ink box in font units; empty for glyphs that draw nothing (a space).
struct InkBox {
  bool empty = true;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

class Face {
 public:
  Face(FT_Face face, std::string path, int index);
  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  const std::string& path() const { return path_; }
  int index() const { return index_; }
  const std::string& family() const { return family_; }
  // Height of capital letters in font units, always > 0: OS/2 sCapHeight,
  // else the ink top of 'H', else 70% of the em.
  double cap_height() const { return cap_height_; }

  // 0 (the .notdef glyph) when the face has no glyph for c.
  unsigned GlyphIndex(char32_t c);
  // The glyph's advance, and its ink after x += y * shear, both in font
  // units; upright text finds the glyph once.
  struct Metrics {
    double advance;
    InkBox ink;
  };
  Metrics Measure(unsigned glyph, double shear);
  // Pair adjustment from the face's kern table, in font units.
  double Kerning(unsigned left, unsigned right);

 private:
  struct GlyphData {
    double advance = 0;
    InkBox ink;
  };
  const GlyphData& Load(unsigned glyph, std::int32_t shear_fixed);
  GlyphData LoadFromFace(unsigned glyph, std::int32_t shear_fixed);

  // Upright glyphs of low index and ASCII characters, the bulk of a
  // drawing's texts, are found by index rather than by hashing.
  static constexpr unsigned kDirectGlyphs = 1024;
  struct DirectSlot {
    bool loaded = false;
    GlyphData data;
  };
  static constexpr unsigned kUnknownGlyph = ~0u;

  FT_Face face_;
  std::string path_;
  int index_;
  std::string family_;
  double cap_height_ = 1;
  bool symbol_cmap_ = false;
  std::array<unsigned, 128> glyph_of_ascii_;
  std::vector<DirectSlot> upright_;  // sized on first use
  std::unordered_map<char32_t, unsigned> glyph_of_char_;
  std::unordered_map<std::uint64_t, GlyphData> glyphs_;
  // FreeType searches the kern table on every call; a drawing's texts use
  // few distinct pairs.
  std::unordered_map<std::uint64_t, double> kerning_;
};

class FontLibrary {
 public:
  static FontLibrary& Instance();
  FontLibrary(const FontLibrary&) = delete;
  FontLibrary& operator=(const FontLibrary&) = delete;

  // Every call below REQUIRES this mutex held by the caller.
  std::mutex& mutex() { return mutex_; }

  // The face fontconfig picks for a family (UTF-8), falling back to the
  // default sans; nullptr when nothing can be opened. Cached per request.
  Face* Match(const std::string& family, bool bold, bool italic);
  // A face that has a glyph for c, for characters the chosen face lacks;
  // nullptr when no installed font has one. Cached per character.
  Face* FaceWithChar(char32_t c);

 private:
  FontLibrary();
  ~FontLibrary();
  Face* MatchPattern(const std::string& family, bool bold, bool italic, char32_t c);
  Face* Open(const std::string& path, int index);

  std::mutex mutex_;
  FT_Library ft_ = nullptr;
  // Loaded at the first match: reading the configuration costs more than a
  // small drawing's whole capture, and SHX texts in ASCII never need it.
  FcConfig* config_ = nullptr;
  bool config_loaded_ = false;
  std::map<std::string, std::unique_ptr<Face>> open_faces_;  // by "path#index"
  std::map<std::string, Face*> matches_;
  std::unordered_map<char32_t, Face*> char_faces_;
};

}  // namespace gm::fonts::detail
