// The in-memory model of a DXF drawing, as the host runtime fills its drawing database from it.
//
// Plain values throughout: copy a Drawing and you have two independent drawings. Text is wide
// (decoded from the file's encoding, DXF escapes resolved). Names compare without regard to
// ASCII case, as CAD hosts compare symbol names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dxf/group.h"
#include "platform/dxf/group_list.h"
#include "platform/dxf/status.h"

namespace gm::dxf {

// One entity, or one symbol-table entry, with all its groups.
struct Entity {
  // The type name in upper case: "LINE", "LWPOLYLINE", "INSERT", "ATTRIB", "SEQEND", "LAYER"...
  // Kept by the store behind groups, so it lives as long as this entity or a copy of it.
  std::string_view type;
  // The handle (group 5; 105 for DIMSTYLE entries). An entity without one in the file (R12)
  // gets a new handle that no other object of the file uses; never 0 after a load.
  std::uint64_t handle = 0;
  // The owner's handle (the group 330 outside any 102 group), 0 when absent.
  std::uint64_t owner = 0;
  // Line of the group 0 that starts it, 1-based. Shares its word with paper_space: an entity
  // array is the largest part of a big drawing.
  std::size_t line : 63 = 0;
  // Group 67 is 1: the entity lies in paper space.
  bool paper_space : 1 = false;
  // Every group in file order, the type group (code 0) first; comments (999) left out.
  GroupList groups;

  // The first group with code, if any.
  std::optional<Group> Find(int code) const;
  bool Has(int code) const;
  // The first group with code as a view into groups; false when there is none.
  bool First(int code, GroupView* view) const;
  // The value of the first group with code, or fallback when there is none.
  std::wstring Text(int code, std::wstring_view fallback = {}) const;
  double Real(int code, double fallback = 0) const;
  std::int64_t Integer(int code, std::int64_t fallback = 0) const;
  Point3 PointAt(int code, Point3 fallback = {}) const;
};

// A header variable: its name ("$ACADVER") and the groups that follow its group 9.
struct HeaderVariable {
  std::string name;
  std::vector<Group> groups;
};

// A symbol table (LAYER, STYLE, LTYPE, VPORT, VIEW, UCS, APPID, DIMSTYLE, BLOCK_RECORD).
struct SymbolTable {
  std::string name;             // upper case
  Entity header;                // the TABLE record
  std::vector<Entity> entries;  // in file order
};

struct TextStyle {
  std::wstring name;
  std::wstring font_file;      // group 3, e.g. "arial.ttf" or "txt"
  std::wstring big_font_file;  // group 4
  double fixed_height = 0;     // group 40; 0 when the height is not fixed
  double width_factor = 1;     // group 41
  double oblique_angle = 0;    // group 50, degrees
  int flags = 0;               // group 70
  // The font family name of a TrueType style, from the ACAD extended data (its group 1000);
  // empty when absent.
  std::wstring font_family;
  std::uint64_t handle = 0;
};

struct UcsEntry {
  std::wstring name;
  Point3 origin;           // group 10
  Point3 x_axis{1, 0, 0};  // group 11
  Point3 y_axis{0, 1, 0};  // group 12
  std::uint64_t handle = 0;
};

struct BlockRecord {
  std::wstring name;
  std::uint64_t handle = 0;
};

struct Layer {
  std::wstring name;
  int colour = 7;  // group 62; negative when the layer is off
  int flags = 0;   // group 70: 1 frozen, 4 locked, ...
  std::uint64_t handle = 0;
};

// A LAYOUT object of the OBJECTS section: a tab a user switches to.
struct Layout {
  std::wstring name;               // group 1 of its AcDbLayout part
  std::uint64_t block_record = 0;  // its space's BLOCK_RECORD (group 330 of AcDbLayout)
  int tab_order = 0;               // group 71; 0 is the model tab
  std::uint64_t handle = 0;
};

struct Block {
  std::wstring name;  // group 2 of BLOCK
  Point3 base;        // group 10
  int flags = 0;      // group 70
  std::uint64_t handle = 0;
  Entity begin;  // the BLOCK record itself
  Entity end;    // its ENDBLK record
  // The entities from BLOCK to ENDBLK, neither included, in file order.
  std::vector<Entity> entities;
};

struct Drawing {
  // The name the drawing was loaded under (the path, or the buffer's name).
  std::string source;
  // The charset the text was decoded from: "UTF-8", "CP1252", "CP1251", ...
  std::string encoding;

  std::vector<HeaderVariable> header;  // in file order
  std::vector<SymbolTable> tables;     // in file order
  std::vector<TextStyle> styles;       // the STYLE table, typed
  std::vector<UcsEntry> ucs_entries;   // the UCS table, typed
  std::vector<BlockRecord> block_records;
  std::vector<Layer> layers;
  std::vector<Block> blocks;     // the BLOCKS section, in file order
  std::vector<Entity> entities;  // the ENTITIES section, in file order
  std::vector<Layout> layouts;   // from the OBJECTS section, in file order
  // One past the largest handle in use (the file's $HANDSEED when that is larger): where new
  // objects' handles may start. FFFFFFFFFFFFFFFF when the file uses up the handle space.
  std::uint64_t next_handle = 1;
  // What the reader put right while loading, in file order.
  std::vector<Repair> repairs;

  const HeaderVariable* FindHeader(std::string_view name) const;
  // The first group of a header variable, or null when the variable is absent.
  const Group* HeaderValue(std::string_view name) const;
  // $ACADVER ("AC1009" ... "AC1032"); "AC1009" when absent, as R12 files may omit it.
  std::string AcadVersion() const;
  // $DWGCODEPAGE as written ("ANSI_1252"); empty when absent.
  std::wstring CodePage() const;
  Point3 InsBase() const;                // $INSBASE, origin when absent
  Point3 UcsOrg() const;                 // $UCSORG, origin when absent
  Point3 UcsXDir() const;                // $UCSXDIR, (1, 0, 0) when absent
  Point3 UcsYDir() const;                // $UCSYDIR, (0, 1, 0) when absent
  std::optional<Point3> ExtMin() const;  // $EXTMIN
  std::optional<Point3> ExtMax() const;  // $EXTMAX

  // Lookups by name; null when absent.
  const SymbolTable* FindTable(std::string_view name) const;
  const TextStyle* FindStyle(std::wstring_view name) const;
  const UcsEntry* FindUcs(std::wstring_view name) const;
  const BlockRecord* FindBlockRecord(std::wstring_view name) const;
  const Layer* FindLayer(std::wstring_view name) const;
  const Block* FindBlock(std::wstring_view name) const;
};

// Equal except for ASCII case.
bool NamesEqual(std::wstring_view a, std::wstring_view b);

}  // namespace gm::dxf
