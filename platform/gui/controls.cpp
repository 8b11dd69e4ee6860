#include "platform/gui/controls.h"

#include <vector>

namespace {

LPARAM Text(const std::wstring& text) { return reinterpret_cast<LPARAM>(text.c_str()); }

}  // namespace

int CComboBox::AddString(const std::wstring& text) {
  return static_cast<int>(SendMessage(CB_ADDSTRING, 0, Text(text)));
}

int CComboBox::InsertString(int index, const std::wstring& text) {
  return static_cast<int>(SendMessage(CB_INSERTSTRING, static_cast<WPARAM>(index), Text(text)));
}

int CComboBox::DeleteString(int index) {
  return static_cast<int>(SendMessage(CB_DELETESTRING, static_cast<WPARAM>(index)));
}

void CComboBox::ResetContent() { SendMessage(CB_RESETCONTENT); }
int CComboBox::GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
int CComboBox::GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }

int CComboBox::SetCurSel(int index) {
  return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index)));
}

int CComboBox::GetLBText(int index, std::wstring& text) const {
  text.clear();
  int n = GetLBTextLen(index);
  if (n < 0) return n;
  std::vector<wchar_t> buffer(static_cast<size_t>(n) + 1);
  int got = static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                                         reinterpret_cast<LPARAM>(buffer.data())));
  if (got >= 0) text.assign(buffer.data(), static_cast<size_t>(got));
  return got;
}

int CComboBox::GetLBTextLen(int index) const {
  return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
}

int CComboBox::FindString(int start, const std::wstring& prefix) const {
  return static_cast<int>(SendMessage(CB_FINDSTRING, static_cast<WPARAM>(start), Text(prefix)));
}

int CComboBox::FindStringExact(int start, const std::wstring& text) const {
  return static_cast<int>(SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(start), Text(text)));
}

int CComboBox::SelectString(int start, const std::wstring& prefix) {
  return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(start), Text(prefix)));
}

// ---------------------------------------------------------------------------

int CListCtrl::InsertColumn(int column, const std::wstring& heading, int format, int width,
                            int subItem) {
  LVCOLUMNW c;
  c.mask = LVCF_TEXT | LVCF_FMT;
  c.fmt = format;
  c.pszText = const_cast<LPWSTR>(heading.c_str());
  if (width != -1) {
    c.mask |= LVCF_WIDTH;
    c.cx = width;
  }
  if (subItem != -1) {
    c.mask |= LVCF_SUBITEM;
    c.iSubItem = subItem;
  }
  return static_cast<int>(
      SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c)));
}

BOOL CListCtrl::DeleteColumn(int column) {
  return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column)));
}

int CListCtrl::GetColumnCount() const {
  CHeaderCtrl* header = GetHeaderCtrl();
  return header != nullptr ? header->GetItemCount() : 0;
}

int CListCtrl::InsertItem(int item, const std::wstring& text) {
  LVITEMW i;
  i.mask = LVIF_TEXT;
  i.iItem = item;
  i.pszText = const_cast<LPWSTR>(text.c_str());
  return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&i)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, const std::wstring& text) {
  LVITEMW i;
  i.iSubItem = subItem;
  i.pszText = const_cast<LPWSTR>(text.c_str());
  return static_cast<BOOL>(
      SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&i)));
}

std::wstring CListCtrl::GetItemText(int item, int subItem) const {
  // Grow the buffer until the text fits, as the framework does.
  for (int size = 256;; size *= 4) {
    std::vector<wchar_t> buffer(static_cast<size_t>(size));
    LVITEMW i;
    i.iSubItem = subItem;
    i.pszText = buffer.data();
    i.cchTextMax = size;
    int n = static_cast<int>(
        SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&i)));
    if (n < size - 1 || size > (1 << 22))
      return std::wstring(buffer.data(), static_cast<size_t>(n));
  }
}

BOOL CListCtrl::DeleteItem(int item) {
  return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(item)));
}

BOOL CListCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
int CListCtrl::GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  return static_cast<DWORD>(
      SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}

DWORD CListCtrl::GetExtendedStyle() const {
  return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask) {
  LVITEMW i;
  i.state = state;
  i.stateMask = mask;
  return static_cast<BOOL>(
      SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&i)));
}

UINT CListCtrl::GetItemState(int item, UINT mask) const {
  return static_cast<UINT>(
      SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(item), static_cast<LPARAM>(mask)));
}

int CListCtrl::GetNextItem(int item, int flags) const {
  return static_cast<int>(
      SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(item), static_cast<LPARAM>(flags)));
}

CHeaderCtrl* CListCtrl::GetHeaderCtrl() const {
  // A handle holder, not attached: the header belongs to the list.
  header_.m_hWnd = reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER));
  return header_.m_hWnd != nullptr ? &header_ : nullptr;
}

void CProgressCtrl::GetRange(int& lower, int& upper) const {
  PBRANGE range;
  SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  lower = range.iLow;
  upper = range.iHigh;
}
