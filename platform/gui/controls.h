// The control classes: thin wrappers that send the control's messages.
// Bind one to a dialog's control with DDX_Control (or SubclassDlgItem).
#pragma once

#include <string>

#include "platform/gui/wnd.h"

class CStatic : public CWnd {};

class CEdit : public CWnd {
 public:
  void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
};

class CButton : public CWnd {
 public:
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
};

// Item indexes are 0-based; CB_ERR (-1) reports a failure or no item.
// Texts compare without regard to case, as the control's own searches do.
class CComboBox : public CWnd {
 public:
  // The new item's index (its sorted place with CBS_SORT).
  int AddString(const std::wstring& text);
  int InsertString(int index, const std::wstring& text);
  int DeleteString(int index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  // -1 clears the selection (and returns CB_ERR, as the control does).
  int SetCurSel(int index);
  int GetLBText(int index, std::wstring& text) const;
  int GetLBTextLen(int index) const;
  // Searches after `start` and wraps around; -1 searches the whole list.
  int FindString(int start, const std::wstring& prefix) const;
  int FindStringExact(int start, const std::wstring& text) const;
  // Selects the first item that begins with `prefix`.
  int SelectString(int start, const std::wstring& prefix);
};

class CHeaderCtrl : public CWnd {
 public:
  int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
};

// A report-style list: columns with headings, items (rows) with the texts of
// their sub-items (columns 1, 2 …).
class CListCtrl : public CWnd {
 public:
  int InsertColumn(int column, const std::wstring& heading, int format = LVCFMT_LEFT,
                   int width = -1, int subItem = -1);
  BOOL DeleteColumn(int column);
  int GetColumnCount() const;
  int InsertItem(int item, const std::wstring& text);
  BOOL SetItemText(int item, int subItem, const std::wstring& text);
  std::wstring GetItemText(int item, int subItem) const;
  BOOL DeleteItem(int item);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  DWORD SetExtendedStyle(DWORD style);
  DWORD GetExtendedStyle() const;
  BOOL SetItemState(int item, UINT state, UINT mask);
  UINT GetItemState(int item, UINT mask) const;
  // The next item after `item` (-1: from the start) with the flags, or -1.
  int GetNextItem(int item, int flags) const;
  CHeaderCtrl* GetHeaderCtrl() const;

 private:
  mutable CHeaderCtrl header_;
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short lower, short upper) {
    SendMessage(PBM_SETRANGE, 0, MAKELPARAM(static_cast<WORD>(lower), static_cast<WORD>(upper)));
  }
  void SetRange32(int lower, int upper) {
    SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
  }
  void GetRange(int& lower, int& upper) const;
  int SetPos(int pos) {
    return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(pos)));
  }
  int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
  int OffsetPos(int delta) {
    return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(delta)));
  }
  int SetStep(int step) {
    return static_cast<int>(SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)));
  }
  int StepIt() { return static_cast<int>(SendMessage(PBM_STEPIT)); }
};
