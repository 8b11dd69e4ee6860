// A DXF file is a sequence of sections, each "0 SECTION / 2 <name>" ... "0 ENDSEC", and ends
// with "0 EOF":
//   HEADER    "9 $NAME" followed by the variable's groups, for every variable
//   TABLES    "0 TABLE / 2 <name>" [table groups], entries ("0 LAYER" ...), "0 ENDTAB"
//   BLOCKS    "0 BLOCK" [block groups], entities, "0 ENDBLK" [groups], for every block
//   ENTITIES  entities ("0 LINE" ...). An INSERT with attributes is followed by its ATTRIBs and
//             a SEQEND, a POLYLINE by its VERTEXes and a SEQEND; they stay separate entities.
// The header comes first and holds $ACADVER and $DWGCODEPAGE, which decide the text encoding;
// so the header is read byte for byte (TextDecoder::Passthrough) and decoded when it is complete.
#include "platform/dxf/reader.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/dxf/ascii.h"
#include "platform/dxf/group_reader.h"
#include "platform/dxf/record_reader.h"
#include "platform/dxf/text_decoder.h"
#include "platform/dxf/tokenizer.h"

namespace gm::dxf {
namespace {

std::string Narrow(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t c : text) out += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// DXF blanks are spaces and tabs only, not every white space win::Trim takes.
std::string Trim(const std::string& s) { return std::string(TrimBlanks(s)); }

bool IsOneOf(const std::string& type, std::initializer_list<std::string_view> words) {
  return std::find(words.begin(), words.end(), type) != words.end();
}

class Loader {
 public:
  // size_hint: the input's size in bytes when known, else 0.
  Loader(Tokenizer& tokenizer, std::size_t size_hint)
      : size_hint_(size_hint),
        tokenizer_(tokenizer),
        passthrough_(TextDecoder::Passthrough()),
        decoder_(TextDecoder::Passthrough()),
        groups_(tokenizer, passthrough_, &repairs_),
        records_(groups_) {}

  Result<Drawing> Run() {
    drawing_.source = tokenizer_.name();
    if (Status s = tokenizer_.Start(); !s.ok()) return s;
    if (Status s = ReadSections(); !s.ok()) return s;
    if (!decided_) Decide("", "");
    AssignHandles();
    TypeTables();
    drawing_.repairs = std::move(repairs_);
    return std::move(drawing_);
  }

 private:
  Status Error(ErrorCode code, std::size_t line, std::string text) const {
    return tokenizer_.Error(code, line, std::move(text));
  }

  // Reads the next record; on false *status says why (an error, or the input ended inside
  // what context names).
  // With packed, an entity's groups go straight into packer_ (see RecordReader::Next).
  bool NextRecord(std::string_view context, std::size_t context_line, Status* status,
                  bool packed = false) {
    if (packed ? records_.Next(&record_, &packer_, &head_) : records_.Next(&record_)) return true;
    *status = records_.status();
    if (status->ok()) {
      *status =
          Error(ErrorCode::kMissingEof, tokenizer_.lines(),
                "the file ends inside " + std::string(context) + " (line " +
                    std::to_string(context_line) + ") without ENDSEC and EOF: it is truncated");
    }
    return false;
  }

  Status ReadSections() {
    for (;;) {
      if (!records_.Next(&record_)) {
        if (!records_.status().ok()) return records_.status();
        return Error(ErrorCode::kMissingEof, tokenizer_.lines(),
                     "the file ends without the EOF group: it is truncated");
      }
      if (record_.type == "EOF") return Status();
      if (record_.type != "SECTION") {
        return Error(ErrorCode::kBadStructure, record_.line,
                     "expected SECTION or EOF, found " + QuoteBytes(record_.type));
      }
      const std::size_t line = record_.line;
      const Group* name_group = record_.Find(2);
      if (name_group == nullptr || record_.groups[1].code() != 2) {
        return Error(ErrorCode::kBadStructure, line, "SECTION without its name (group 2)");
      }
      const std::string name = AsciiUpper(TrimBlanks(Narrow(name_group->text())));
      Status status;
      if (name == "HEADER") {
        status = ReadHeader();
      } else {
        if (!decided_) Decide("", "");
        if (name == "TABLES") {
          status = ReadTables(line);
        } else if (name == "BLOCKS") {
          status = ReadBlocks(line);
        } else if (name == "ENTITIES") {
          status = ReadEntities(line);
        } else if (name == "OBJECTS") {
          status = ReadObjects(line);
        } else if (!records_.SkipSection(name, line, &max_handle_)) {
          status = records_.status();
        }
      }
      if (!status.ok()) return status;
      if (record_.type == "ENDSEC" && record_.groups.size() > 1) {
        return Error(ErrorCode::kBadStructure, record_.lines[1],
                     "group " + std::to_string(record_.groups[1].code()) +
                         " after ENDSEC is outside any section");
      }
    }
  }

  // The encoding, once for the whole file.
  void Decide(const std::string& acadver, const std::string& dwgcodepage) {
    bool known = true;
    decoder_ = TextDecoder::ForDrawing(acadver, dwgcodepage, tokenizer_.has_bom(), &known);
    if (!known) {
      repairs_.push_back({0, "unknown code page " + QuoteBytes(dwgcodepage) +
                                 " ($DWGCODEPAGE): text read as ANSI_1252"});
    }
    groups_.set_decoder(decoder_);
    drawing_.encoding = decoder_.name();
    decided_ = true;
  }

  Status ReadHeader() {
    const std::size_t section_line = record_.line;
    // The encoding first: the values are still bytes, one per character.
    std::string acadver;
    std::string dwgcodepage;
    for (std::size_t i = 2; i + 1 < record_.groups.size(); ++i) {
      if (record_.groups[i].code() != 9) continue;
      const std::string name = Trim(NarrowPassthrough(record_.groups[i].text()));
      const Group& value = record_.groups[i + 1];
      if (name == "$ACADVER" && value.is_text()) acadver = Trim(NarrowPassthrough(value.text()));
      if (name == "$DWGCODEPAGE" && value.is_text()) {
        dwgcodepage = Trim(NarrowPassthrough(value.text()));
      }
    }
    // A second HEADER section (a broken file) was read with the decided encoding already.
    const bool raw = !decided_;
    if (raw) Decide(acadver, dwgcodepage);

    for (std::size_t i = 2; i < record_.groups.size(); ++i) {
      Group& g = record_.groups[i];
      if (raw && g.is_text()) {
        bool replaced = false;
        g = Group::Text(g.code(), decoder_.Decode(NarrowPassthrough(g.text()), &replaced));
        if (replaced) {
          repairs_.push_back({record_.lines[i] + 1, "bytes that are not " + decoder_.name() +
                                                        " text were replaced by U+FFFD"});
        }
      }
      if (g.code() == 9) {
        drawing_.header.push_back({Trim(Narrow(g.text())), {}});
      } else if (drawing_.header.empty()) {
        return Error(ErrorCode::kBadStructure, record_.lines[i],
                     "group " + std::to_string(g.code()) +
                         " in the HEADER section does not follow a variable name (group 9)");
      } else {
        drawing_.header.back().groups.push_back(std::move(g));
      }
    }
    if (const Group* seed = drawing_.HeaderValue("$HANDSEED"); seed != nullptr) {
      std::uint64_t handle = 0;
      if (ParseHandle(seed->text(), &handle) && handle > 0) handseed_ = handle;
    }

    Status status;
    if (!NextRecord("section HEADER", section_line, &status)) return status;
    if (record_.type == "ENDSEC" && record_.groups.size() > 1 && record_.groups[1].code() == 9) {
      // Some writers (dxflib 2.0.1) put an ENDSEC amid the header and go on with variables.
      repairs_.push_back({record_.line,
                          "ENDSEC amid the HEADER section, followed by more "
                          "variables: read them as part of the header"});
      for (std::size_t i = 1; i < record_.groups.size(); ++i) {
        Group& g = record_.groups[i];
        if (g.code() == 9) {
          drawing_.header.push_back({Trim(Narrow(g.text())), {}});
        } else {
          drawing_.header.back().groups.push_back(std::move(g));
        }
      }
      if (!NextRecord("section HEADER", section_line, &status)) return status;
    }
    if (record_.type != "ENDSEC") {
      return Error(ErrorCode::kBadStructure, record_.line,
                   QuoteBytes(record_.type) + " inside section HEADER (line " +
                       std::to_string(section_line) + "), which has no ENDSEC");
    }
    return Status();
  }

  Status NoEnd(std::string_view what, std::string_view name, std::size_t line,
               std::string_view end) const {
    return Error(ErrorCode::kBadStructure, record_.line,
                 QuoteBytes(record_.type) + " inside " + std::string(what) + " " +
                     std::string(name) + " (line " + std::to_string(line) + "), which has no " +
                     std::string(end));
  }

  Status ReadTables(std::size_t section_line) {
    Status status;
    for (;;) {
      if (!NextRecord("section TABLES", section_line, &status)) return status;
      if (record_.type == "ENDSEC") return Status();
      if (IsOneOf(record_.type, {"SECTION", "EOF"})) {
        return NoEnd("section", "TABLES", section_line, "ENDSEC");
      }
      if (record_.type != "TABLE") {
        return Error(ErrorCode::kBadStructure, record_.line,
                     QuoteBytes(record_.type) + " in the TABLES section is outside any TABLE");
      }
      SymbolTable table;
      const Group* name = record_.Find(2);
      table.name = name != nullptr ? AsciiUpper(TrimBlanks(Narrow(name->text()))) : std::string();
      const std::size_t table_line = record_.line;
      if (Status s = MakeEntity(false, &table.header); !s.ok()) return s;
      for (;;) {
        if (!NextRecord("table " + table.name, table_line, &status)) return status;
        if (record_.type == "ENDTAB") break;
        if (IsOneOf(record_.type, {"TABLE", "ENDSEC", "SECTION", "EOF"})) {
          return NoEnd("table", table.name, table_line, "ENDTAB");
        }
        Entity entry;
        if (Status s = MakeEntity(record_.type == "DIMSTYLE", &entry); !s.ok()) return s;
        table.entries.push_back(std::move(entry));
      }
      drawing_.tables.push_back(std::move(table));
    }
  }

  Status ReadBlocks(std::size_t section_line) {
    Status status;
    for (;;) {
      if (!NextRecord("section BLOCKS", section_line, &status)) return status;
      if (record_.type == "ENDSEC") return Status();
      if (IsOneOf(record_.type, {"SECTION", "EOF"})) {
        return NoEnd("section", "BLOCKS", section_line, "ENDSEC");
      }
      if (record_.type != "BLOCK") {
        return Error(ErrorCode::kBadStructure, record_.line,
                     QuoteBytes(record_.type) + " in the BLOCKS section is outside any BLOCK");
      }
      Block block;
      if (Status s = MakeEntity(false, &block.begin); !s.ok()) return s;
      const Entity& begin = block.begin;
      if (begin.Has(2)) {
        block.name = begin.Text(2);
      } else if (begin.Has(3)) {
        block.name = begin.Text(3);
      } else {
        return Error(ErrorCode::kBadStructure, begin.line, "BLOCK without its name (group 2)");
      }
      block.base = begin.PointAt(10);
      block.flags = static_cast<int>(begin.Integer(70));
      const std::string name = QuoteBytes(Narrow(block.name));
      const std::string context = "block " + name;
      for (;;) {
        if (!NextRecord(context, begin.line, &status, true)) return status;
        if (!record_.packed && record_.type == "ENDBLK") {
          if (Status s = MakeEntity(false, &block.end); !s.ok()) return s;
          break;
        }
        if (!record_.packed && IsOneOf(record_.type, {"BLOCK", "ENDSEC", "SECTION", "EOF"})) {
          return NoEnd("block", name, begin.line, "ENDBLK");
        }
        Entity entity;
        if (Status s = MakeEntity(false, &entity); !s.ok()) return s;
        block.entities.push_back(std::move(entity));
      }
      drawing_.blocks.push_back(std::move(block));
    }
  }

  Status ReadEntities(std::size_t section_line) {
    Status status;
    // Room for as many entities as the file could hold: pages never filled cost nothing, while
    // growing would hold the old and the new array at once.
    if (drawing_.entities.empty()) {
      try {
        drawing_.entities.reserve(size_hint_ / kLeastEntityBytes);
      } catch (const std::bad_alloc&) {
        // then the array grows as it goes
      }
    }
    for (;;) {
      if (!NextRecord("section ENTITIES", section_line, &status, true)) return status;
      // A packed record is no frame (see RecordReader::Next), which is all the checks look for.
      if (!record_.packed) {
        if (record_.type == "ENDSEC") return Status();
        if (IsOneOf(record_.type, {"SECTION", "EOF"})) {
          return NoEnd("section", "ENTITIES", section_line, "ENDSEC");
        }
        if (IsOneOf(record_.type, {"BLOCK", "ENDBLK", "TABLE", "ENDTAB"})) {
          return Error(ErrorCode::kBadStructure, record_.line,
                       QuoteBytes(record_.type) + " does not belong in the ENTITIES section");
        }
      }
      Entity entity;
      if (Status s = MakeEntity(false, &entity); !s.ok()) return s;
      drawing_.entities.push_back(std::move(entity));
    }
  }

  // Only the layouts are kept; every object's handle still counts as used.
  Status ReadObjects(std::size_t section_line) {
    Status status;
    for (;;) {
      if (!NextRecord("section OBJECTS", section_line, &status)) return status;
      if (record_.type == "ENDSEC") return Status();
      if (IsOneOf(record_.type, {"SECTION", "EOF"})) {
        return NoEnd("section", "OBJECTS", section_line, "ENDSEC");
      }
      Layout layout;
      bool in_layout = false;
      bool named = false;
      for (std::size_t i = 1; i < record_.groups.size(); ++i) {
        const Group& g = record_.groups[i];
        if (g.code() == 5 && layout.handle == 0) {
          if (ParseHandle(g.text(), &layout.handle)) {
            max_handle_ = std::max(max_handle_, layout.handle);
          }
        } else if (g.code() == 100) {
          in_layout = g.text() == L"AcDbLayout";
        } else if (in_layout && g.code() == 1 && !named) {
          layout.name = g.text();
          named = true;
        } else if (in_layout && g.code() == 71 && g.is_integer()) {
          layout.tab_order = static_cast<int>(g.integer());
        } else if (in_layout && g.code() == 330 && layout.block_record == 0) {
          ParseHandle(g.text(), &layout.block_record);
        }
      }
      if (record_.type == "LAYOUT" && named) drawing_.layouts.push_back(std::move(layout));
    }
  }

  // Moves the current record into *entity. DIMSTYLE entries carry their handle in group 105,
  // since their group 5 is a block name in R12.
  Status MakeEntity(bool dimstyle, Entity* entity) {
    if (record_.type_serial != type_serial_) {
      type_ = store_->InternType(record_.type);
      type_serial_ = record_.type_serial;
    }
    entity->type = type_;
    entity->line = record_.line;
    if (record_.packed) {
      entity->groups = packer_.Finish();
    } else {
      head_.Reset(dimstyle ? 105 : 5);
      for (std::size_t i = 1; i < record_.groups.size(); ++i) {
        const Group& g = record_.groups[i];
        if (!EntityHead::Wants(g.code())) continue;
        GroupView view;
        view.code = g.code();
        view.text = g.text();
        view.integer = g.integer();
        head_.Note(view, record_.lines[i] + 1);
      }
      entity->groups = GroupList(record_.groups, store_);
    }
    if (head_.bad_owner_line != 0) {
      repairs_.push_back(
          {head_.bad_owner_line,
           "owner handle " + QuoteBytes(Narrow(head_.bad_owner)) + " is not hexadecimal: ignored"});
    }
    if (head_.bad_handle_line != 0) {
      return Error(ErrorCode::kBadHandle, head_.bad_handle_line,
                   "handle " + QuoteBytes(Narrow(head_.bad_handle)) + " (group " +
                       std::to_string(head_.handle_code) + ") of " + record_.type +
                       " is not a hexadecimal number");
    }
    if (head_.have_handle) max_handle_ = std::max(max_handle_, head_.handle);
    entity->handle = head_.handle;
    entity->owner = head_.owner;
    entity->paper_space = head_.paper_space;
    return Status();
  }

  // Calls f on every entity and table entry, in file order.
  template <typename F>
  void ForEachObject(F f) {
    for (SymbolTable& table : drawing_.tables) {
      for (Entity& entry : table.entries) f(entry);
    }
    for (Block& block : drawing_.blocks) {
      f(block.begin);
      for (Entity& e : block.entities) f(e);
      if (!block.end.type.empty()) f(block.end);
    }
    for (Entity& e : drawing_.entities) f(e);
  }

  // Gives every entity and table entry without a handle (R12) a new one that no object of the
  // file uses: above them all and $HANDSEED, or, when the handle space above is used up (a file
  // with handle FFFFFFFFFFFFFFFF), in the gaps between the handles of the sections kept.
  void AssignHandles() {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t missing = 0;
    ForEachObject([&](Entity& e) { missing += e.handle == 0 ? 1 : 0; });
    const std::uint64_t first = max_handle_ == kMax ? kMax : std::max(max_handle_ + 1, handseed_);
    if (missing > 0 && kMax - first >= missing) {
      std::uint64_t next = first;
      ForEachObject([&](Entity& e) {
        if (e.handle == 0) e.handle = next++;
      });
      drawing_.next_handle = next;
    } else if (missing > 0) {
      std::vector<std::uint64_t> used;
      ForEachObject([&](Entity& e) {
        if (e.handle != 0) used.push_back(e.handle);
      });
      used.push_back(max_handle_);
      std::sort(used.begin(), used.end());
      std::uint64_t candidate = 1;
      std::size_t at = 0;
      ForEachObject([&](Entity& e) {
        if (e.handle != 0) return;
        while (at < used.size() && used[at] <= candidate) {
          if (used[at] == candidate) ++candidate;
          ++at;
        }
        e.handle = candidate++;
      });
      drawing_.next_handle = kMax;
    } else {
      drawing_.next_handle = first;
    }
    for (Block& block : drawing_.blocks) block.handle = block.begin.handle;
    if (missing > 0) {
      repairs_.push_back({0, std::to_string(missing) +
                                 " entities and table entries had no handle and got new ones"});
    }
  }

  void TypeTables() {
    for (const SymbolTable& table : drawing_.tables) {
      for (const Entity& e : table.entries) {
        if (table.name == "STYLE" && e.type == "STYLE") {
          TextStyle style;
          style.name = e.Text(2);
          style.font_file = e.Text(3);
          style.big_font_file = e.Text(4);
          style.fixed_height = e.Real(40);
          style.width_factor = e.Real(41, 1);
          style.oblique_angle = e.Real(50);
          style.flags = static_cast<int>(e.Integer(70));
          style.handle = e.handle;
          bool in_acad = false;
          for (const Group& g : e.groups) {
            if (g.code() == 1001) {
              in_acad = g.text() == L"ACAD";
            } else if (in_acad && g.code() == 1000) {
              style.font_family = g.text();
              break;
            }
          }
          drawing_.styles.push_back(std::move(style));
        } else if (table.name == "UCS" && e.type == "UCS") {
          drawing_.ucs_entries.push_back({e.Text(2), e.PointAt(10), e.PointAt(11, {1, 0, 0}),
                                          e.PointAt(12, {0, 1, 0}), e.handle});
        } else if (table.name == "BLOCK_RECORD" && e.type == "BLOCK_RECORD") {
          drawing_.block_records.push_back({e.Text(2), e.handle});
        } else if (table.name == "LAYER" && e.type == "LAYER") {
          drawing_.layers.push_back({e.Text(2), static_cast<int>(e.Integer(62, 7)),
                                     static_cast<int>(e.Integer(70)), e.handle});
        }
      }
    }
  }

  // Fewer bytes than any entity a CAD program writes ("  0/POINT/  8/0/ 10/0/ 20/0").
  static constexpr std::size_t kLeastEntityBytes = 32;
  std::size_t size_hint_;
  Tokenizer& tokenizer_;
  TextDecoder passthrough_;
  TextDecoder decoder_;
  bool decided_ = false;
  std::vector<Repair> repairs_;
  GroupReader groups_;
  RecordReader records_;
  Record record_;
  Drawing drawing_;
  std::shared_ptr<GroupStore> store_ = std::make_shared<GroupStore>();
  GroupPacker packer_{store_};
  // The type of the records numbered type_serial_, as kept in store_.
  std::string_view type_;
  std::uint64_t type_serial_ = 0;
  EntityHead head_;
  std::uint64_t max_handle_ = 0;
  std::uint64_t handseed_ = 0;
};

// Runs load() with every exception turned into a Status: nothing is thrown past this room.
template <typename Load>
Result<Drawing> Guarded(const std::string& name, Load load) {
  try {
    return load();
  } catch (const std::bad_alloc&) {
    return Status(ErrorCode::kOutOfMemory, name, 0, "not enough memory to load the drawing");
  } catch (const std::length_error&) {
    return Status(ErrorCode::kOutOfMemory, name, 0, "not enough memory to load the drawing");
  } catch (const std::exception& e) {
    return Status(ErrorCode::kInternal, name, 0, std::string("internal error: ") + e.what());
  }
}

}  // namespace

Result<Drawing> LoadDrawing(const std::filesystem::path& path) {
  const std::string name = path.string();
  std::unique_ptr<ByteSource> source;
  if (Status s = OpenFileSource(name, &source); !s.ok()) return s;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    return Status(ErrorCode::kUnreadable, name, 0, "cannot read the file: it is a directory");
  }
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  return Guarded(name, [&] {
    Tokenizer tokenizer(std::move(source), name);
    return Loader(tokenizer, ec ? 0 : static_cast<std::size_t>(size)).Run();
  });
}

Result<Drawing> LoadDrawingFromSource(std::unique_ptr<ByteSource> source, std::string name,
                                      std::size_t chunk_size) {
  return Guarded(name, [&] {
    Tokenizer tokenizer(std::move(source), name, chunk_size);
    return Loader(tokenizer, 0).Run();
  });
}

Result<Drawing> LoadDrawingFromBuffer(std::string_view bytes, std::string name) {
  return Guarded(name, [&] {
    Tokenizer tokenizer(bytes, name);
    return Loader(tokenizer, bytes.size()).Run();
  });
}

}  // namespace gm::dxf
