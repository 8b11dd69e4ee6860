// Dialog templates held as data, as a resource compiler would hold them:
// the dialog's title, font, size and styles, and each control with its id,
// kind, text, rectangle and style. Positions and sizes are in dialog units
// (a quarter of the font's average character width across, an eighth of its
// height down), so a layout keeps its proportions whatever the font.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/winuser.h"

namespace gui {

// A check box or radio button checks itself when clicked, and a combo box
// is a drop-down list; the type bits of a style are not read.
enum class ControlKind {
  kStatic,
  kEtchedLine,  // a horizontal rule
  kEdit,
  kPushButton,
  kDefPushButton,
  kCheckBox,
  kRadioButton,  // a group runs from a WS_GROUP control to the next
  kGroupBox,
  kComboBox,
  kListView,  // report style
  kProgressBar,
  kCustom,  // a registered window class, named in class_name
};

struct ControlTemplate {
  int id = IDC_STATIC;
  ControlKind kind = ControlKind::kStatic;
  std::wstring text;
  int x = 0, y = 0, cx = 0, cy = 0;
  // A control without WS_VISIBLE starts hidden.
  DWORD style = WS_VISIBLE;
  DWORD ex_style = 0;
  std::wstring class_name{};  // kCustom only
};

struct DialogTemplate {
  std::wstring name;  // the resource name, for messages and logs
  std::wstring title;
  std::wstring font_name = L"MS Sans Serif";
  int point_size = 8;
  int cx = 0, cy = 0;
  // WS_CAPTION gives a title bar, DS_MODALFRAME a frame; WS_VISIBLE shows a
  // modeless dialog on creation (a modal one is always shown).
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  DWORD ex_style = 0;
  std::vector<ControlTemplate> controls;
};

// Styles a resource editor gives most controls.
inline constexpr DWORD kVisibleTab = WS_VISIBLE | WS_TABSTOP;

}  // namespace gui
