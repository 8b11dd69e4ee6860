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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dxf/group.h"
#include "platform/dxf/status.h"
#include "platform/dxf/text_decoder.h"
#include "platform/dxf/tokenizer.h"

namespace gm::dxf {

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

  // Reads past groups without converting them, up to and including the next (0, ENDSEC).
  // Raises *max_handle to the largest handle in the skipped code-5 groups. Fails when the
  // input ends, or EOF or another SECTION comes, first; section names the section for that
  // message.
  bool SkipSection(std::string_view section, std::size_t section_line, std::uint64_t* max_handle);

  const Tokenizer& tokenizer() const { return *tokenizer_; }

 private:
  bool Fail(Status status);
  // The next raw tag: the one put back by a point, else the tokenizer's.
  bool NextRaw(RawTag* tag);
  bool Convert(const RawTag& tag, Group* group);
  bool ReadPoint(const RawTag& x, Group* group);

  Tokenizer* tokenizer_;
  const TextDecoder* decoder_;
  std::vector<Repair>* repairs_;
  // A tag read after a 2D point to see whether it was the z: still unconverted; its value stays
  // valid because the tokenizer is not called again before it is used.
  std::optional<RawTag> pending_;
  Status status_;
  // Equal texts share one copy; pure ASCII values skip the decoder when it maps ASCII to itself.
  TextPool pool_;
  TextRecycler own_;
  // The last two shared texts read under each code (by its low bits), by their bytes: names
  // and markers come again and again under the same code and are then taken as they are.
  struct RecentText {
    std::string bytes;
    Group group;
    bool valid = false;
  };
  std::array<std::array<RecentText, 2>, 64> recent_;
  bool ascii_identity_ = false;
  std::wstring scratch_;
};

}  // namespace gm::dxf
