#include "platform/fonts/font_resolver.h"

#include <mutex>

#include "platform/fonts/font_library.h"
#include "platform/fonts/font_resolver_internal.h"
#include "platform/win/strings.h"

namespace gm::fonts {

namespace {

// Stands in for SHX characters outside printable ASCII.
constexpr const char* kShxStandIn = "Liberation Sans";

std::wstring_view BaseName(std::wstring_view file) {
  size_t slash = file.find_last_of(L"/\\");
  return slash == std::wstring_view::npos ? file : file.substr(slash + 1);
}

// Lower-case extension with its dot, or empty.
std::wstring Extension(std::wstring_view file) {
  std::wstring_view base = BaseName(file);
  size_t dot = base.rfind(L'.');
  return dot == std::wstring_view::npos ? std::wstring() : win::ToLowerAscii(base.substr(dot));
}

struct KnownFile {
  const wchar_t* stem;
  const char* family;
  bool bold;
  bool italic;
};

// The font files of a Windows installation that drawings name most often.
constexpr KnownFile kKnownFiles[] = {
    {L"arial", "Arial", false, false},
    {L"arialbd", "Arial", true, false},
    {L"ariali", "Arial", false, true},
    {L"arialbi", "Arial", true, true},
    {L"arialn", "Arial Narrow", false, false},
    {L"arialnb", "Arial Narrow", true, false},
    {L"arialni", "Arial Narrow", false, true},
    {L"arialnbi", "Arial Narrow", true, true},
    {L"ariblk", "Arial Black", false, false},
    {L"arialuni", "Arial Unicode MS", false, false},
    {L"times", "Times New Roman", false, false},
    {L"timesbd", "Times New Roman", true, false},
    {L"timesi", "Times New Roman", false, true},
    {L"timesbi", "Times New Roman", true, true},
    {L"cour", "Courier New", false, false},
    {L"courbd", "Courier New", true, false},
    {L"couri", "Courier New", false, true},
    {L"courbi", "Courier New", true, true},
    {L"calibri", "Calibri", false, false},
    {L"calibrib", "Calibri", true, false},
    {L"calibrii", "Calibri", false, true},
    {L"calibriz", "Calibri", true, true},
    {L"cambria", "Cambria", false, false},
    {L"cambriab", "Cambria", true, false},
    {L"cambriai", "Cambria", false, true},
    {L"cambriaz", "Cambria", true, true},
    {L"consola", "Consolas", false, false},
    {L"consolab", "Consolas", true, false},
    {L"consolai", "Consolas", false, true},
    {L"consolaz", "Consolas", true, true},
    {L"verdana", "Verdana", false, false},
    {L"verdanab", "Verdana", true, false},
    {L"verdanai", "Verdana", false, true},
    {L"verdanaz", "Verdana", true, true},
    {L"tahoma", "Tahoma", false, false},
    {L"tahomabd", "Tahoma", true, false},
    {L"georgia", "Georgia", false, false},
    {L"georgiab", "Georgia", true, false},
    {L"georgiai", "Georgia", false, true},
    {L"georgiaz", "Georgia", true, true},
    {L"trebuc", "Trebuchet MS", false, false},
    {L"trebucbd", "Trebuchet MS", true, false},
    {L"trebucit", "Trebuchet MS", false, true},
    {L"trebucbi", "Trebuchet MS", true, true},
    {L"segoeui", "Segoe UI", false, false},
    {L"segoeuib", "Segoe UI", true, false},
    {L"segoeuii", "Segoe UI", false, true},
    {L"segoeuiz", "Segoe UI", true, true},
    {L"comic", "Comic Sans MS", false, false},
    {L"comicbd", "Comic Sans MS", true, false},
    {L"gothic", "Century Gothic", false, false},
    {L"gothicb", "Century Gothic", true, false},
    {L"gothici", "Century Gothic", false, true},
    {L"gothicbi", "Century Gothic", true, true},
    {L"impact", "Impact", false, false},
    {L"lucon", "Lucida Console", false, false},
    {L"l_10646", "Lucida Sans Unicode", false, false},
    {L"micross", "Microsoft Sans Serif", false, false},
    {L"simsun", "SimSun", false, false},
    {L"simhei", "SimHei", false, false},
    {L"msgothic", "MS Gothic", false, false},
    {L"msmincho", "MS Mincho", false, false},
    {L"malgun", "Malgun Gothic", false, false},
    {L"msyh", "Microsoft YaHei", false, false},
    {L"symbol", "Symbol", false, false},
    {L"wingding", "Wingdings", false, false},
};

}  // namespace

FontKind ClassifyFont(const FontSpec& font_spec) {
  std::wstring ext = Extension(font_spec.file);
  if (ext == L".shx") return FontKind::kShx;
  if (!font_spec.family.empty()) return FontKind::kTrueType;
  return ext.empty() ? FontKind::kShx : FontKind::kTrueType;
}

FileFamily FamilyForFontFile(std::wstring_view file) {
  std::wstring_view base = BaseName(file);
  size_t dot = base.rfind(L'.');
  std::wstring stem =
      win::ToLowerAscii(dot == std::wstring_view::npos ? base : base.substr(0, dot));
  for (const KnownFile& known : kKnownFiles) {
    if (stem == known.stem) return {known.family, known.bold, known.italic};
  }
  return {win::WideToUtf8(dot == std::wstring_view::npos ? base : base.substr(0, dot)), false,
          false};
}

namespace detail {

RunFont OpenRunFont(const FontSpec& font_spec) {
  auto& library = FontLibrary::Instance();
  RunFont run;
  run.kind = ClassifyFont(font_spec);
  if (run.kind == FontKind::kShx) {
    run.requested_family = kShxStandIn;
    run.face_pending = true;
    return run;
  }
  FileFamily from_file = FamilyForFontFile(font_spec.file);
  run.requested_family =
      font_spec.family.empty() ? from_file.family : win::WideToUtf8(font_spec.family);
  run.bold = font_spec.bold || from_file.bold;
  run.italic = font_spec.italic || from_file.italic;
  run.face = library.Match(run.requested_family, run.bold, run.italic);
  return run;
}

Face* ShxStandInFace() { return FontLibrary::Instance().Match(kShxStandIn, false, false); }

}  // namespace detail

ResolvedFont ResolveFont(const FontSpec& font_spec) {
  auto& library = detail::FontLibrary::Instance();
  std::lock_guard<std::mutex> lock(library.mutex());
  detail::RunFont run = detail::OpenRunFont(font_spec);
  if (run.face_pending) run.face = detail::ShxStandInFace();
  ResolvedFont out;
  out.kind = run.kind;
  out.requested_family = run.requested_family;
  out.bold = run.bold;
  out.italic = run.italic;
  if (run.face) {
    out.family = run.face->family();
    out.path = run.face->path();
    out.face_index = run.face->index();
  }
  return out;
}

}  // namespace gm::fonts
