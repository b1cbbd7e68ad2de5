// The application object: shows the launcher once, then lets it record what it launched.
#pragma once

#include "platform/framework.h"

namespace quillgate {

class CQuillGateApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

extern CQuillGateApp theApp;

}  // namespace quillgate
