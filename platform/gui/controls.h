// The control classes the plug-in's dialogs bind with DDX_Control. Each
// reads and changes its control in the model; nothing is sent.
#pragma once

#include <string>

#include "platform/gui/wnd.h"

// Item indexes are 0-based; CB_ERR (-1) reports a failure or no item.
// Texts compare without regard to case, as the control's own searches do.
class CComboBox : public CWnd {
 public:
  // The new item's index (its sorted place with CBS_SORT, after its equals).
  int AddString(const std::wstring& text);
  int GetCurSel() const;
  // -1, or an index past the end, clears the selection (and returns CB_ERR).
  int SetCurSel(int index);
  // Searches after `start` and wraps around; -1 searches the whole list.
  int FindStringExact(int start, const std::wstring& text) const;
};

// A report-style list: columns with headings, items (rows) with the texts of
// their sub-items (columns 1, 2 …).
class CListCtrl : public CWnd {
 public:
  int InsertColumn(int column, const std::wstring& heading, int format = LVCFMT_LEFT,
                   int width = -1);
  BOOL DeleteColumn(int column);
  int InsertItem(int item, const std::wstring& text);
  BOOL SetItemText(int item, int subItem, const std::wstring& text);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  // The style before.
  DWORD SetExtendedStyle(DWORD style);
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int lower, int upper);
  // Each returns the position before; positions are kept in the range.
  int SetPos(int pos);
  int SetStep(int step);  // the step before
  // Past the end the bar starts over from the beginning.
  int StepIt();
};
