// What the ADO objects share inside this library: the rows a recordset
// shows, and ADO's own errors.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/ado/ado.h"
#include "platform/ado/odbc.h"

namespace ado::detail {

// The rows read for one open recordset. Its fields and the connection it
// was read over keep a reference; closing it (or the connection) empties it,
// so that a Field still held raises adErrObjectClosed.
struct Snapshot {
  explicit Snapshot(odbc::RowSet rows);

  bool open = true;
  odbc::RowSet data;
  std::vector<std::size_t> order;  // rows in the current sort
  std::size_t position = 0;

  bool AtEnd() const { return position >= order.size(); }
  const std::vector<Variant>& Row() const { return data.rows[order[position]]; }
  void Close();
};

inline constexpr wchar_t kConnectionSource[] = L"ADODB.Connection";
inline constexpr wchar_t kRecordsetSource[] = L"ADODB.Recordset";
inline constexpr wchar_t kCommandSource[] = L"ADODB.Command";
inline constexpr wchar_t kFieldsSource[] = L"ADODB.Fields";
inline constexpr wchar_t kFieldSource[] = L"ADODB.Field";

// Raises one of ADO's own errors with ADO's text for it.
[[noreturn]] void RaiseAdo(ErrorValueEnum error, const wchar_t* source);

}  // namespace ado::detail
