// Dialog templates held as data, as a resource compiler would hold them:
// the dialog's title, font, size and styles, and each control with its id,
// kind, text, rectangle and style. Positions and sizes are in dialog units
// (a quarter of the font's average character width across, an eighth of its
// height down), so a layout keeps its proportions whatever the font.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/gui/winuser.h"

namespace gui {

enum class ControlKind {
  kStatic,         // "Static": text (SS_LEFT, SS_RIGHT, SS_CENTER)
  kEtchedLine,     // "Static" with SS_ETCHEDHORZ: a horizontal rule
  kEdit,           // "Edit"
  kPushButton,     // "Button", BS_PUSHBUTTON
  kDefPushButton,  // "Button", BS_DEFPUSHBUTTON
  kCheckBox,       // "Button", BS_AUTOCHECKBOX unless the style says otherwise
  kRadioButton,    // "Button", BS_AUTORADIOBUTTON unless the style says otherwise
  kGroupBox,       // "Button", BS_GROUPBOX
  kComboBox,       // "ComboBox"; CBS_DROPDOWNLIST unless the style says otherwise
  kListView,       // "SysListView32"
  kProgressBar,    // "msctls_progress32"
  kCustom,         // a registered window class, named in class_name
};

struct ControlTemplate {
  ControlTemplate() = default;
  ControlTemplate(int id_, ControlKind kind_, std::wstring text_, int x_, int y_, int cx_, int cy_,
                  DWORD style_ = WS_VISIBLE, DWORD ex_style_ = 0, std::wstring class_name_ = {})
      : id(id_),
        kind(kind_),
        text(std::move(text_)),
        x(x_),
        y(y_),
        cx(cx_),
        cy(cy_),
        style(style_),
        ex_style(ex_style_),
        class_name(std::move(class_name_)) {}

  int id = IDC_STATIC;
  ControlKind kind = ControlKind::kStatic;
  std::wstring text;
  int x = 0, y = 0, cx = 0, cy = 0;
  // The full window style. WS_CHILD is implied; a control without
  // WS_VISIBLE starts hidden, one with WS_DISABLED starts disabled. The
  // kind's type bits (BS_*, SS_ETCHEDHORZ, CBS_*) are added when missing.
  DWORD style = WS_VISIBLE;
  DWORD ex_style = 0;
  std::wstring class_name;  // kCustom only
};

struct DialogTemplate {
  std::wstring name;  // the resource name, for messages and logs
  std::wstring title;
  std::wstring font_name = L"MS Sans Serif";
  int point_size = 8;
  int cx = 0, cy = 0;
  // WS_CAPTION gives a title bar; WS_VISIBLE shows a modeless dialog on
  // creation (a modal one is always shown).
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  DWORD ex_style = 0;
  std::vector<ControlTemplate> controls;
};

// Styles a resource editor gives most controls.
inline constexpr DWORD kVisibleTab = WS_VISIBLE | WS_TABSTOP;

}  // namespace gui
