#include <algorithm>
#include <utility>

#include "platform/ado/ado.h"
#include "platform/ado/ado_internal.h"
#include "platform/ado/fold.h"

namespace ado {
namespace {

// Where a value sorts among values of other kinds: nulls, numbers, texts, bytes.
int Rank(const Variant& v) {
  switch (v.vt()) {
    case VarType::Empty:
    case VarType::Null:
      return 0;
    case VarType::Bstr:
      return 2;
    case VarType::Bytes:
      return 3;
    default:
      return 1;
  }
}

bool IsInteger(const Variant& v) {
  return v.vt() == VarType::I2 || v.vt() == VarType::I4 || v.vt() == VarType::I8 ||
         v.vt() == VarType::UI1 || v.vt() == VarType::Bool;
}

int Compare(const Variant& a, const Variant& b) {
  const int ra = Rank(a);
  const int rb = Rank(b);
  if (ra != rb) return ra < rb ? -1 : 1;
  switch (ra) {
    case 1:
      if (IsInteger(a) && IsInteger(b)) {
        return a.AsInt64() < b.AsInt64() ? -1 : (a.AsInt64() > b.AsInt64() ? 1 : 0);
      }
      return a.AsDouble() < b.AsDouble() ? -1 : (a.AsDouble() > b.AsDouble() ? 1 : 0);
    case 2:
      return detail::CompareNoCase(a.AsText(), b.AsText());
    case 3:
      return a.AsBytes() < b.AsBytes() ? -1 : (a.AsBytes() > b.AsBytes() ? 1 : 0);
    default:
      return 0;
  }
}

struct SortKey {
  std::size_t column;
  bool descending;
};

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.remove_suffix(1);
  return s;
}

std::size_t ColumnNamed(const detail::Snapshot& snapshot, std::wstring_view name) {
  const auto& columns = snapshot.data.columns;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (detail::EqualsNoCase(columns[i].name, name)) return i;
  }
  detail::RaiseAdo(adErrItemNotFound, detail::kRecordsetSource);
}

// "A ASC, [B C] DESC": field names, bracketed when they hold blanks.
std::vector<SortKey> ParseSort(const detail::Snapshot& snapshot, std::wstring_view text) {
  std::vector<SortKey> keys;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    bool bracket = false;
    for (; end < text.size(); ++end) {
      if (text[end] == L'[') bracket = true;
      if (text[end] == L']') bracket = false;
      if (text[end] == L',' && !bracket) break;
    }
    std::wstring_view item = Trim(text.substr(i, end - i));
    i = end + 1;
    if (item.empty()) {
      if (end < text.size()) detail::RaiseAdo(adErrInvalidArgument, detail::kRecordsetSource);
      continue;
    }
    std::wstring_view name;
    std::wstring_view rest;
    if (item.front() == L'[') {
      const std::size_t close = item.find(L']');
      if (close == std::wstring_view::npos) {
        detail::RaiseAdo(adErrInvalidArgument, detail::kRecordsetSource);
      }
      name = item.substr(1, close - 1);
      rest = Trim(item.substr(close + 1));
    } else {
      const std::size_t blank = item.find_first_of(L" \t");
      name = item.substr(0, blank);
      rest = blank == std::wstring_view::npos ? std::wstring_view() : Trim(item.substr(blank));
    }
    bool descending = false;
    if (detail::EqualsNoCase(rest, L"DESC")) {
      descending = true;
    } else if (!rest.empty() && !detail::EqualsNoCase(rest, L"ASC")) {
      detail::RaiseAdo(adErrInvalidArgument, detail::kRecordsetSource);
    }
    keys.push_back({ColumnNamed(snapshot, name), descending});
  }
  return keys;
}

const detail::Snapshot& OpenSnapshot(const std::shared_ptr<detail::Snapshot>& snapshot,
                                     const wchar_t* source) {
  if (!snapshot || !snapshot->open) detail::RaiseAdo(adErrObjectClosed, source);
  return *snapshot;
}

}  // namespace

Field::Field(std::shared_ptr<detail::Snapshot> snapshot, std::size_t index)
    : snapshot_(std::move(snapshot)), index_(index) {}

std::wstring Field::GetName() const {
  return OpenSnapshot(snapshot_, detail::kFieldSource).data.columns[index_].name;
}

DataTypeEnum Field::GetType() const {
  return static_cast<DataTypeEnum>(
      OpenSnapshot(snapshot_, detail::kFieldSource).data.columns[index_].adoType);
}

long Field::GetDefinedSize() const {
  return OpenSnapshot(snapshot_, detail::kFieldSource).data.columns[index_].definedSize;
}

long Field::GetAttributes() const {
  return OpenSnapshot(snapshot_, detail::kFieldSource).data.columns[index_].attributes;
}

Variant Field::GetValue() const {
  const detail::Snapshot& s = OpenSnapshot(snapshot_, detail::kFieldSource);
  if (s.AtEnd()) detail::RaiseAdo(adErrNoCurrentRecord, detail::kFieldSource);
  return s.Row()[index_];
}

long Field::GetActualSize() const {
  const detail::Snapshot& s = OpenSnapshot(snapshot_, detail::kFieldSource);
  if (s.AtEnd()) detail::RaiseAdo(adErrNoCurrentRecord, detail::kFieldSource);
  const Variant& value = s.Row()[index_];
  switch (value.vt()) {
    case VarType::Empty:
    case VarType::Null:
      return 0;
    case VarType::Bstr: {
      long units = 0;
      for (wchar_t c : value.AsText()) units += static_cast<std::uint32_t>(c) > 0xFFFF ? 2 : 1;
      return units;
    }
    case VarType::Bytes:
      return static_cast<long>(value.AsBytes().size());
    default:
      return s.data.columns[index_].definedSize;
  }
}

Fields::Fields(std::shared_ptr<detail::Snapshot> snapshot) : snapshot_(std::move(snapshot)) {}

long Fields::GetCount() const {
  return static_cast<long>(OpenSnapshot(snapshot_, detail::kFieldsSource).data.columns.size());
}

FieldPtr Fields::GetItem(long index) const {
  const detail::Snapshot& s = OpenSnapshot(snapshot_, detail::kFieldsSource);
  if (index < 0 || static_cast<std::size_t>(index) >= s.data.columns.size()) {
    detail::RaiseAdo(adErrItemNotFound, detail::kFieldsSource);
  }
  return FieldPtr(std::make_shared<Field>(snapshot_, static_cast<std::size_t>(index)));
}

FieldPtr Fields::GetItem(std::wstring_view name) const {
  const detail::Snapshot& s = OpenSnapshot(snapshot_, detail::kFieldsSource);
  for (std::size_t i = 0; i < s.data.columns.size(); ++i) {
    if (detail::EqualsNoCase(s.data.columns[i].name, name)) {
      return FieldPtr(std::make_shared<Field>(snapshot_, i));
    }
  }
  detail::RaiseAdo(adErrItemNotFound, detail::kFieldsSource);
}

Recordset::Recordset() = default;

// Fields still held keep the rows, as they keep a recordset alive in ADO.
Recordset::~Recordset() = default;

void Recordset::RequireOpen() const { OpenSnapshot(snapshot_, detail::kRecordsetSource); }

void Recordset::RequireClosed() const {
  if (GetState() == adStateOpen) detail::RaiseAdo(adErrObjectOpen, detail::kRecordsetSource);
}

long Recordset::GetState() const {
  return snapshot_ && snapshot_->open ? adStateOpen : adStateClosed;
}

HRESULT Recordset::Open(const std::wstring& source, const ConnectionPtr& activeConnection,
                        CursorTypeEnum cursorType, LockTypeEnum lockType, long options) {
  RequireClosed();
  const ConnectionPtr connection = activeConnection ? activeConnection : connection_;
  if (!connection || connection->GetState() == adStateClosed) {
    detail::RaiseAdo(adErrInvalidConnection, detail::kRecordsetSource);
  }
  constexpr long kTypes =
      adCmdText | adCmdTable | adCmdStoredProc | adCmdUnknown | adCmdFile | adCmdTableDirect;
  const long type =
      (options == adCmdUnspecified || (options & kTypes) == 0) ? adCmdUnknown : (options & kTypes);
  if (cursorType != adOpenUnspecified) cursorType_ = cursorType;
  if (lockType != adLockUnspecified) lockType_ = lockType;
  source_ = source;
  sort_.clear();
  snapshot_.reset();
  connection_ = connection;
  auto snapshot = connection->Run(source, type, nullptr, detail::kRecordsetSource);
  if (cursorLocation_ == adUseClient || cursorType_ != adOpenForwardOnly) {
    cursorType_ = adOpenStatic;
  }
  snapshot_ = std::move(snapshot);
  return S_OK;
}

HRESULT Recordset::Close() {
  RequireOpen();
  snapshot_->Close();
  snapshot_.reset();
  sort_.clear();
  return S_OK;
}

bool Recordset::IsEOF() const {
  RequireOpen();
  return snapshot_->AtEnd();
}

bool Recordset::GetBOF() const {
  RequireOpen();
  return snapshot_->order.empty();
}

HRESULT Recordset::MoveFirst() {
  RequireOpen();
  if (snapshot_->order.empty()) detail::RaiseAdo(adErrNoCurrentRecord, detail::kRecordsetSource);
  snapshot_->position = 0;
  return S_OK;
}

HRESULT Recordset::MoveNext() {
  RequireOpen();
  if (snapshot_->AtEnd()) detail::RaiseAdo(adErrNoCurrentRecord, detail::kRecordsetSource);
  ++snapshot_->position;
  return S_OK;
}

long Recordset::GetRecordCount() const {
  RequireOpen();
  if (cursorType_ == adOpenForwardOnly) return adUnknown;
  return static_cast<long>(snapshot_->order.size());
}

FieldsPtr Recordset::GetFields() const {
  RequireOpen();
  return FieldsPtr(std::make_shared<Fields>(snapshot_));
}

void Recordset::PutCursorType(CursorTypeEnum type) {
  RequireClosed();
  if (type < adOpenUnspecified || type > adOpenStatic) {
    detail::RaiseAdo(adErrInvalidArgument, detail::kRecordsetSource);
  }
  cursorType_ = type;
}

void Recordset::PutCursorLocation(CursorLocationEnum location) {
  RequireClosed();
  if (location != adUseServer && location != adUseClient) {
    detail::RaiseAdo(adErrInvalidArgument, detail::kRecordsetSource);
  }
  cursorLocation_ = location;
}

void Recordset::PutLockType(LockTypeEnum type) {
  RequireClosed();
  if (type < adLockUnspecified || type > adLockBatchOptimistic || type == 0) {
    detail::RaiseAdo(adErrInvalidArgument, detail::kRecordsetSource);
  }
  lockType_ = type;
}

void Recordset::PutSort(const std::wstring& sort) {
  RequireOpen();
  detail::Snapshot& s = *snapshot_;
  const std::vector<SortKey> keys = ParseSort(s, sort);
  if (!keys.empty() && cursorLocation_ != adUseClient) {
    detail::RaiseAdo(adErrFeatureNotAvailable, detail::kRecordsetSource);
  }
  for (std::size_t i = 0; i < s.order.size(); ++i) s.order[i] = i;
  std::stable_sort(s.order.begin(), s.order.end(), [&](std::size_t a, std::size_t b) {
    for (const SortKey& key : keys) {
      const int c = Compare(s.data.rows[a][key.column], s.data.rows[b][key.column]);
      if (c != 0) return key.descending ? c > 0 : c < 0;
    }
    return false;
  });
  s.position = 0;
  sort_ = sort;
}

HRESULT Recordset::CancelUpdate() {
  RequireOpen();
  return S_OK;
}

void Recordset::PutRefActiveConnection(const ConnectionPtr& connection) {
  RequireClosed();
  connection_ = connection;
}

}  // namespace ado
