#include "platform/dxf/record_reader.h"

#include <utility>

namespace gm::dxf {
namespace {

std::string TypeName(const std::wstring& text) {
  std::string out(text.size(), '?');
  for (std::size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'a' && c <= L'z') c = c - L'a' + L'A';
    if (c > 0x20 && c < 0x7F) out[i] = static_cast<char>(c);
  }
  return out;
}

}  // namespace

const Group* Record::Find(int code) const {
  for (std::size_t i = 1; i < groups.size(); ++i) {
    if (groups[i].code() == code) return &groups[i];
  }
  return nullptr;
}

RecordReader::RecordReader(GroupReader& groups) : groups_(&groups) {}

bool RecordReader::Fail(Status status) {
  status_ = std::move(status);
  return false;
}

bool RecordReader::Next(Record* record) { return Next(record, nullptr, nullptr); }

bool RecordReader::Next(Record* record, GroupPacker* packer, EntityHead* head) {
  if (!status_.ok()) return false;
  Group group;
  std::size_t line = 0;
  if (!started_) {
    started_ = true;
    if (!groups_->Next(&group, &line)) {
      status_ = groups_->status();
      return false;
    }
    if (group.code() != 0) {
      return Fail(groups_->tokenizer().Error(
          ErrorCode::kBadStructure, line,
          "group " + std::to_string(group.code()) + " where a group 0 (SECTION or EOF) belongs"));
    }
    next_ = std::move(group);
    next_line_ = line;
  }
  if (!next_) return false;

  record->groups.clear();
  record->lines.clear();
  record->packed = false;
  record->line = next_line_;
  // Records of one type follow each other: most keep the text they hold.
  if (next_->shared_text() != last_type_text_ || last_type_text_ == nullptr) {
    ++type_serial_;
    last_type_ = TypeName(next_->text());
    last_type_text_ = next_->shared_text();
    last_type_group_ = *next_;  // keeps the text, and so its address, from being reused
    type_store_ = nullptr;
    const std::string& t = last_type_;
    last_is_frame_ = t == "SECTION" || t == "ENDSEC" || t == "EOF" || t == "TABLE" ||
                     t == "ENDTAB" || t == "BLOCK" || t == "ENDBLK";
  }
  if (last_filled_ != record || record->type_serial != type_serial_) record->type = last_type_;
  record->type_serial = type_serial_;
  last_filled_ = record;
  record->groups.push_back(std::move(*next_));
  record->lines.push_back(next_line_);
  next_.reset();
  // Nothing after EOF is read: files may carry junk behind it (a DOS end-of-file byte).
  if (record->type == "EOF") return true;
  if (packer != nullptr && !last_is_frame_) {
    record->packed = true;
    packer->Begin();
    const Group& type = record->groups.front();
    if (type_store_ == &packer->store()) {
      packer->AddBytes(type_bytes_);
    } else if (type.shared_text() != nullptr) {
      // What Add() packs for it, kept for the records of the same type that follow.
      type_bytes_ = GroupPacker::Encode(0, {PackedText::kShared, packer->store().Intern(type)});
      type_store_ = &packer->store();
      packer->AddBytes(type_bytes_);
    } else {
      packer->Add(type);
    }
    head->Reset(5);
    if (groups_->PackUntilZero(packer, head, &group, &line)) {
      next_ = std::move(group);
      next_line_ = line;
      return true;
    }
    status_ = groups_->status();
    return status_.ok();
  }
  while (groups_->Next(&group, &line)) {
    if (group.code() == 0) {
      next_ = std::move(group);
      next_line_ = line;
      return true;
    }
    record->groups.push_back(std::move(group));
    record->lines.push_back(line);
  }
  // The input ended behind this record: fine for the caller to judge (EOF or truncation).
  status_ = groups_->status();
  return status_.ok();
}

bool RecordReader::SkipSection(std::string_view section, std::size_t section_line,
                               std::uint64_t* max_handle) {
  if (!status_.ok()) return false;
  if (next_) {
    const std::string type = TypeName(next_->text());
    next_.reset();
    if (type == "ENDSEC") {
      started_ = false;
      return true;
    }
    if (type == "EOF" || type == "SECTION") {
      return Fail(groups_->tokenizer().Error(ErrorCode::kBadStructure, next_line_,
                                             type + " inside section " + std::string(section) +
                                                 " (line " + std::to_string(section_line) +
                                                 "), which has no ENDSEC"));
    }
  }
  if (!groups_->SkipSection(section, section_line, max_handle)) {
    status_ = groups_->status();
    return false;
  }
  started_ = false;  // the next record starts with a fresh group
  return true;
}

}  // namespace gm::dxf
