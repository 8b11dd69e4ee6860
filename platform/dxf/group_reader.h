// Layer 2 of the DXF reader: raw tags to typed groups.
//
// Each value is converted by the type its group code has (GroupTypeOf): text through the
// drawing's TextDecoder, numbers without the locale. An x coordinate group and the y (code + 10)
// and z (code + 20) groups right behind it become one point group under the x code, with z = 0
// when the z group is absent. Comments (group 999) are dropped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dxf/group.h"
#include "platform/dxf/group_list.h"
#include "platform/dxf/status.h"
#include "platform/dxf/text_decoder.h"
#include "platform/dxf/tokenizer.h"

namespace gm::dxf {

// What an entity's own groups say of it, noted group by group while they are read: its handle,
// owner and space. Faults are kept until the entity is whole, so that they come after what
// reading its groups found.
struct EntityHead {
  int handle_code = 5;  // 105 for DIMSTYLE entries
  bool have_handle = false;
  std::uint64_t handle = 0;
  std::size_t bad_handle_line = 0;  // value line of a handle that is not hexadecimal
  std::wstring bad_handle;
  bool have_owner = false;
  std::uint64_t owner = 0;
  std::size_t bad_owner_line = 0;  // likewise for the owner
  std::wstring bad_owner;
  bool paper_space = false;
  int depth = 0;  // inside 102 "{APP ... }" groups, where 330 is no owner

  void Reset(int handle_group) {
    // Field by field: a fresh head would build and drop its two texts for every entity.
    handle_code = handle_group;
    have_handle = have_owner = paper_space = false;
    handle = owner = 0;
    bad_handle_line = bad_owner_line = 0;
    bad_handle.clear();
    bad_owner.clear();
    depth = 0;
  }
  // True for the codes Note() looks at.
  static bool Wants(int code) {
    return code == 5 || code == 105 || code == 330 || code == 67 || code == 102;
  }
  void Note(const GroupView& group, std::size_t value_line);
};

class GroupReader {
 public:
  // tokenizer and decoder must outlive the reader; repairs (may be null) collects the lines
  // whose text had bytes that did not decode.
  GroupReader(Tokenizer& tokenizer, const TextDecoder& decoder, std::vector<Repair>* repairs);
  GroupReader(const GroupReader&) = delete;
  GroupReader& operator=(const GroupReader&) = delete;

  // Text read from now on is decoded with decoder (which must outlive the reader).
  void set_decoder(const TextDecoder& decoder);

  // Reads the next group into *group and the line of its group code into *line. Returns false
  // at the end of the input or on an error; status() tells which.
  bool Next(Group* group, std::size_t* line);
  const Status& status() const { return status_; }

  // Reads groups as Next() does up to the next code-0 group, which goes into *zero and the line
  // of its code into *line; packs the groups before it straight into packer, noting each in
  // *head. Returns false at the end of the input or on an error, as Next() does.
  bool PackUntilZero(GroupPacker* packer, EntityHead* head, Group* zero, std::size_t* line);

  // Reads past groups without converting them, up to and including the next (0, ENDSEC).
  // Raises *max_handle to the largest handle in the skipped code-5 groups. Fails when the
  // input ends, or EOF or another SECTION comes, first; section names the section for that
  // message.
  bool SkipSection(std::string_view section, std::size_t section_line, std::uint64_t* max_handle);

  const Tokenizer& tokenizer() const { return *tokenizer_; }

 private:
  bool Fail(Status status);
  // The next raw tag: the one put back by a point, else the tokenizer's. Inline: it runs once
  // per tag.
  [[gnu::always_inline]] bool NextRaw(RawTag* tag) {
    if (!pending_ && tokenizer_->Next(tag)) return true;
    return NextRawRest(tag);
  }
  // The put-back tag, or the tokenizer's end or error after its Next() said false.
  bool NextRawRest(RawTag* tag);
  bool Convert(const RawTag& tag, Group* group);
  // Inline: one caller, once per group.
  [[gnu::always_inline]] inline bool ConvertInto(const RawTag& tag, GroupPacker* packer,
                                                 EntityHead* head);
  bool ReadPoint(const RawTag& x, Point3* point);
  // A coordinate that is no plain decimal: read in full, or fail naming its line.
  bool ReadCoordinate(const RawTag& tag, double* value);
  // A number value, or fail naming its line.
  bool ReadReal(const RawTag& tag, double* value);
  bool ReadInteger(const RawTag& tag, GroupType type, std::int64_t* value);
  bool NumberFail(const RawTag& tag, GroupType type, int error);
  // A text value decoded into scratch_, noting replaced bytes as a repair.
  void DecodeText(const RawTag& tag, std::string_view bytes);
  // A text group of the packing road; see ConvertInto.
  void PackText(const RawTag& tag, GroupPacker* packer, EntityHead* head);
  // ASCII bytes into scratch_, one character each.
  void Widen(std::string_view bytes);

  Tokenizer* tokenizer_;
  const TextDecoder* decoder_;
  std::vector<Repair>* repairs_;
  // A tag read after a 2D point to see whether it was the z: still unconverted; its value stays
  // valid because the tokenizer is not called again before it is used.
  std::optional<RawTag> pending_;
  Status status_;
  // The last two texts read under each code (by its low bits), by their bytes, with what each
  // became: names and markers come again and again under the same code and are then taken as
  // they are. One for each road.
  template <typename Value>
  class RecentTexts {
   public:
    // What (code, bytes) became, or null when it is not among the last two of its code.
    const Value* Find(int code, std::string_view bytes) const {
      const Pair& pair = pairs_[static_cast<unsigned>(code) % pairs_.size()];
      for (const Entry& e : pair.entries) {
        if (e.code == code && e.bytes.size() == bytes.size() && SameBytes(e.bytes, bytes)) {
          return &e.value;
        }
      }
      return nullptr;
    }
    // Keeps what (code, bytes) became, in place of the older of its pair.
    void Remember(int code, std::string_view bytes, Value value) {
      Pair& pair = pairs_[static_cast<unsigned>(code) % pairs_.size()];
      Entry& e = pair.entries[pair.older];
      pair.older ^= 1;
      e.code = code;
      e.bytes.assign(bytes);
      e.value = std::move(value);
    }
    void Clear() {
      for (Pair& pair : pairs_) pair.entries[0].code = pair.entries[1].code = -1;
    }

   private:
    // a == b for texts of one length. Names and markers are short: those are compared as a
    // few overlapping words inside both, without a call.
    static bool SameBytes(std::string_view a, std::string_view b) {
      const std::size_t n = a.size();
      auto same = [&a, &b](std::size_t at, auto word) {
        std::memcpy(&word, a.data() + at, sizeof word);
        auto other = word;
        std::memcpy(&other, b.data() + at, sizeof other);
        return word == other;
      };
      if (n >= 8 && n <= 16) return same(0, std::uint64_t{}) && same(n - 8, std::uint64_t{});
      if (n >= 4 && n < 8) return same(0, std::uint32_t{}) && same(n - 4, std::uint32_t{});
      if (n > 0 && n < 4) return a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1];
      return a == b;
    }
    struct Entry {
      int code = -1;
      std::string bytes;
      Value value;
    };
    struct Pair {
      std::array<Entry, 2> entries;
      unsigned older = 0;
    };
    std::array<Pair, 64> pairs_;
  };
  // Equal texts share one copy; pure ASCII values skip the decoder when it maps ASCII to itself.
  TextPool pool_;
  TextRecycler own_;
  RecentTexts<Group> recent_;
  // The packing road keeps each text's packed bytes, numbered per store.
  struct RecentPacked {
    PackedText text;
    PackedBytes bytes;
  };
  RecentTexts<RecentPacked> recent_packed_;
  const GroupStore* recent_store_ = nullptr;
  bool ascii_identity_ = false;
  std::wstring scratch_;
};

}  // namespace gm::dxf
