// Load benchmark of the DXF reader.
//
//   gm_bench_dxf_load generate PATH [MEGABYTES]   writes an R2000 drawing of about that size
//                                                 (default 120): LINEs, TEXTs, closed
//                                                 LWPOLYLINEs, INSERTs with ATTRIBs
//   gm_bench_dxf_load load PATH [RUNS]            loads it RUNS times (default 3) and prints
//                                                 one line: bytes, entities, best seconds, MB/s,
//                                                 peak resident memory (ru_maxrss) in MiB
//
// Generating and loading are separate runs so that the peak memory is the reader's alone. The
// program never sets a locale, so printf writes reals in the C notation DXF wants.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/dxf/reader.h"

namespace {

class Writer {
 public:
  explicit Writer(std::FILE* out) : out_(out) {}
  void Tag(int code, const char* value) { std::fprintf(out_, "%3d\n%s\n", code, value); }
  void Tag(int code, const std::string& value) { Tag(code, value.c_str()); }
  void Real(int code, double value) { std::fprintf(out_, "%3d\n%.6f\n", code, value); }
  void Int(int code, long value) { std::fprintf(out_, "%3d\n%6ld\n", code, value); }
  void Point(int code, double x, double y, double z) {
    Real(code, x);
    Real(code + 10, y);
    Real(code + 20, z);
  }
  // A new handle, written as group 5.
  std::uint64_t Handle() {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(next_));
    Tag(5, hex);
    return next_++;
  }
  void Owner(std::uint64_t handle) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(handle));
    Tag(330, hex);
  }
  long Position() const { return std::ftell(out_); }

 private:
  std::FILE* out_;
  std::uint64_t next_ = 0x100;
};

constexpr std::uint64_t kModelSpace = 0x20;
constexpr std::uint64_t kPaperSpace = 0x21;
constexpr std::uint64_t kCellRecord = 0x22;

void Table(Writer& w, const char* name, std::uint64_t handle, int count) {
  w.Tag(0, "TABLE");
  w.Tag(2, name);
  char hex[16];
  std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(handle));
  w.Tag(5, hex);
  w.Tag(330, "0");
  w.Tag(100, "AcDbSymbolTable");
  w.Int(70, count);
}

void Entry(Writer& w, const char* type, const char* subclass, const char* name,
           std::uint64_t owner) {
  w.Tag(0, type);
  w.Handle();
  w.Owner(owner);
  w.Tag(100, "AcDbSymbolTableRecord");
  w.Tag(100, subclass);
  w.Tag(2, name);
  w.Int(70, 0);
}

void EntityStart(Writer& w, const char* type, const char* subclass, const char* layer,
                 std::uint64_t owner) {
  w.Tag(0, type);
  w.Handle();
  w.Owner(owner);
  w.Tag(100, "AcDbEntity");
  w.Tag(8, layer);
  w.Tag(100, subclass);
}

void BlockRecord(Writer& w, std::uint64_t handle, const char* name) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(handle));
  w.Tag(0, "BLOCK_RECORD");
  w.Tag(5, hex);
  w.Tag(330, "9");
  w.Tag(100, "AcDbSymbolTableRecord");
  w.Tag(100, "AcDbBlockTableRecord");
  w.Tag(2, name);
}

void Block(Writer& w, const char* name, std::uint64_t record, bool with_content) {
  w.Tag(0, "BLOCK");
  w.Handle();
  w.Owner(record);
  w.Tag(100, "AcDbEntity");
  w.Tag(8, "0");
  w.Tag(100, "AcDbBlockBegin");
  w.Tag(2, name);
  w.Int(70, with_content ? 2 : 0);
  w.Point(10, 0, 0, 0);
  w.Tag(3, name);
  w.Tag(1, "");
  if (with_content) {
    EntityStart(w, "LINE", "AcDbLine", "0", record);
    w.Point(10, 0, 0, 0);
    w.Point(11, 20, 0, 0);
    w.Tag(0, "ATTDEF");
    w.Handle();
    w.Owner(record);
    w.Tag(100, "AcDbEntity");
    w.Tag(8, "0");
    w.Tag(100, "AcDbText");
    w.Point(10, 1, 1, 0);
    w.Real(40, 2.5);
    w.Tag(1, "");
    w.Tag(100, "AcDbAttributeDefinition");
    w.Tag(3, "Value");
    w.Tag(2, "VALUE");
    w.Int(70, 0);
  }
  w.Tag(0, "ENDBLK");
  w.Handle();
  w.Owner(record);
  w.Tag(100, "AcDbEntity");
  w.Tag(8, "0");
  w.Tag(100, "AcDbBlockEnd");
}

int Generate(const std::string& path, long megabytes) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::perror(path.c_str());
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
  Writer w(out);
  const long target = megabytes * 1000 * 1000;

  w.Tag(0, "SECTION");
  w.Tag(2, "HEADER");
  w.Tag(9, "$ACADVER");
  w.Tag(1, "AC1015");
  w.Tag(9, "$DWGCODEPAGE");
  w.Tag(3, "ANSI_1252");
  w.Tag(9, "$INSBASE");
  w.Point(10, 0, 0, 0);
  w.Tag(9, "$HANDSEED");
  w.Tag(5, "FFFFFFFF");
  w.Tag(0, "ENDSEC");

  w.Tag(0, "SECTION");
  w.Tag(2, "TABLES");
  Table(w, "LTYPE", 5, 1);
  Entry(w, "LTYPE", "AcDbLinetypeTableRecord", "CONTINUOUS", 5);
  w.Tag(3, "Solid line");
  w.Int(72, 65);
  w.Int(73, 0);
  w.Real(40, 0);
  w.Tag(0, "ENDTAB");
  Table(w, "LAYER", 2, 2);
  for (const char* layer : {"0", "TABLE"}) {
    Entry(w, "LAYER", "AcDbLayerTableRecord", layer, 2);
    w.Int(62, 7);
    w.Tag(6, "CONTINUOUS");
  }
  w.Tag(0, "ENDTAB");
  Table(w, "STYLE", 3, 1);
  Entry(w, "STYLE", "AcDbTextStyleTableRecord", "STANDARD", 3);
  w.Real(40, 0);
  w.Real(41, 1);
  w.Real(50, 0);
  w.Int(71, 0);
  w.Real(42, 2.5);
  w.Tag(3, "txt");
  w.Tag(4, "");
  w.Tag(0, "ENDTAB");
  Table(w, "BLOCK_RECORD", 9, 3);
  BlockRecord(w, kModelSpace, "*Model_Space");
  BlockRecord(w, kPaperSpace, "*Paper_Space");
  BlockRecord(w, kCellRecord, "CELL");
  w.Tag(0, "ENDTAB");
  w.Tag(0, "ENDSEC");

  w.Tag(0, "SECTION");
  w.Tag(2, "BLOCKS");
  Block(w, "*Model_Space", kModelSpace, false);
  Block(w, "*Paper_Space", kPaperSpace, false);
  Block(w, "CELL", kCellRecord, true);
  w.Tag(0, "ENDSEC");

  w.Tag(0, "SECTION");
  w.Tag(2, "ENTITIES");
  for (long row = 0; w.Position() < target; ++row) {
    const double y = static_cast<double>(row % 10000) * 10.0;
    const double x = static_cast<double>(row / 10000) * 200.0;
    for (int k = 0; k < 4; ++k) {
      EntityStart(w, "LINE", "AcDbLine", "TABLE", kModelSpace);
      w.Point(10, x + k * 50.0, y, 0);
      w.Point(11, x + k * 50.0 + 50.0, y, 0);
    }
    EntityStart(w, "TEXT", "AcDbText", "0", kModelSpace);
    w.Point(10, x + 2, y + 2, 0);
    w.Real(40, 2.5);
    w.Tag(1, "Cell " + std::to_string(row) +
                 " Gr\xF6\xDF"
                 "e \xB1"
                 "0.1");
    w.Tag(100, "AcDbText");
    EntityStart(w, "LWPOLYLINE", "AcDbPolyline", "TABLE", kModelSpace);
    w.Int(90, 4);
    w.Int(70, 1);
    for (const auto& [px, py] : {std::pair{x, y}, std::pair{x + 200, y}, std::pair{x + 200, y + 10},
                                 std::pair{x, y + 10}}) {
      w.Real(10, px);
      w.Real(20, py);
    }
    if (row % 4 == 0) {
      EntityStart(w, "INSERT", "AcDbBlockReference", "0", kModelSpace);
      w.Int(66, 1);
      w.Tag(2, "CELL");
      w.Point(10, x + 150, y, 0);
      w.Tag(0, "ATTRIB");
      w.Handle();
      w.Owner(kModelSpace);
      w.Tag(100, "AcDbEntity");
      w.Tag(8, "0");
      w.Tag(100, "AcDbText");
      w.Point(10, x + 151, y + 1, 0);
      w.Real(40, 2.5);
      w.Tag(1, "V" + std::to_string(row));
      w.Tag(100, "AcDbAttribute");
      w.Tag(2, "VALUE");
      w.Int(70, 0);
      w.Tag(0, "SEQEND");
      w.Handle();
      w.Owner(kModelSpace);
      w.Tag(100, "AcDbEntity");
      w.Tag(8, "0");
    }
  }
  w.Tag(0, "ENDSEC");
  w.Tag(0, "EOF");
  const bool ok = std::fclose(out) == 0;
  return ok ? 0 : 1;
}

int Load(const std::string& path, int runs) {
  const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  double best = 1e100;
  std::size_t entities = 0;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    auto drawing = gm::dxf::LoadDrawing(path);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!drawing.ok()) {
      std::fprintf(stderr, "%s\n", drawing.status().message().c_str());
      return 1;
    }
    entities = drawing->entities.size();
    if (seconds < best) best = seconds;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.1f MB %zu entities %.3f s %.1f MB/s %.0f MiB\n", megabytes, entities, best,
              megabytes / best, static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc >= 3)
    return Generate(argv[2], argc > 3 ? std::atol(argv[3]) : 120);
  if (mode == "load" && argc >= 3) return Load(argv[2], argc > 3 ? std::atoi(argv[3]) : 3);
  std::fprintf(stderr, "usage: %s generate PATH [MEGABYTES] | load PATH [RUNS]\n", argv[0]);
  return 2;
}
