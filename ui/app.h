// The application object: registers Win+R and shows the launcher once.
#pragma once

#include "platform/framework.h"

namespace quillgate {

class CQuillGateApp : public CWinApp {
 public:
  BOOL InitInstance() override;
};

extern CQuillGateApp theApp;

}  // namespace quillgate
