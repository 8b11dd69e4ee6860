// Layer 3 of the DXF reader: typed groups to records.
//
// A record is a group with code 0 (SECTION, TABLE, LAYER, BLOCK, LINE, ENDSEC, EOF, ...) and the
// groups that follow it up to the next code-0 group. Sections, tables, blocks and entities are
// all sequences of records; the layer above gives them their meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/dxf/group.h"
#include "platform/dxf/group_list.h"
#include "platform/dxf/group_reader.h"
#include "platform/dxf/status.h"

namespace gm::dxf {

struct Record {
  // The code-0 value in upper case (non-ASCII characters as '?'), for dispatch.
  std::string type;
  // Line of the code-0 group.
  std::size_t line = 0;
  // groups[0] is the code-0 group, as read.
  std::vector<Group> groups;
  // lines[i] is the line of groups[i]'s group code.
  std::vector<std::size_t> lines;
  // The groups behind the first went into the packer given to RecordReader::Next(), and groups
  // and lines hold the first alone.
  bool packed = false;
  // Records that one reader gives the same number have the same type, so that what callers
  // work out from a type can be kept; never 0. Callers must not change type.
  std::uint64_t type_serial = 0;

  // The first group with code among groups[1..], or null.
  const Group* Find(int code) const;
};

class RecordReader {
 public:
  explicit RecordReader(GroupReader& groups);
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // Reads the next record into *record (reusing its storage). Returns false at the end of the
  // input or on an error; status() tells which. The input must start with a code-0 group.
  // An EOF record has no groups but its own, and nothing behind it is read.
  bool Next(Record* record);
  // The same, but packs a record that is not a section's, table's or block's frame (SECTION,
  // ENDSEC, EOF, TABLE, ENDTAB, BLOCK, ENDBLK) straight into packer, noting it in *head: its
  // first group too, while record->groups keeps that alone.
  bool Next(Record* record, GroupPacker* packer, EntityHead* head);
  const Status& status() const { return status_; }

  // Reads past the rest of the current section, up to and including its ENDSEC; see
  // GroupReader::SkipSection.
  bool SkipSection(std::string_view section, std::size_t section_line, std::uint64_t* max_handle);

  GroupReader& groups() { return *groups_; }

 private:
  bool Fail(Status status);

  GroupReader* groups_;
  // The code-0 group that ended the previous record and begins the next.
  std::optional<Group> next_;
  std::size_t next_line_ = 0;
  bool started_ = false;
  Status status_;
  // The type of the last record, by the shared text of its first group: records of one type
  // follow each other and share that text.
  std::string last_type_;
  const SharedText* last_type_text_ = nullptr;
  Group last_type_group_;
  bool last_is_frame_ = false;
  std::uint64_t type_serial_ = 0;        // last_type_'s number
  const Record* last_filled_ = nullptr;  // the record given last_type_ last
  // The packed bytes of that type's group in type_store_; none while type_store_ is null.
  PackedBytes type_bytes_;
  const GroupStore* type_store_ = nullptr;
};

}  // namespace gm::dxf
