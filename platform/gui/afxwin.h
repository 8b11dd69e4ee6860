// Everything a dialog of the plug-in is written against, in one include.
#pragma once

#include "platform/afx/afx.h"
#include "platform/gui/controls.h"
#include "platform/gui/dialog.h"
#include "platform/gui/winuser.h"
#include "platform/gui/wnd.h"
