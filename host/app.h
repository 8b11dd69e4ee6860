// The plug-in's application object: binds the settings store when the
// library is loaded.
#pragma once

#include "platform/afx/afx.h"

class CGridmasonSDSApp : public CWinApp {
 public:
  CGridmasonSDSApp();
  BOOL InitInstance() override;
};

CGridmasonSDSApp& TheApp();
