#include "ui/box_description.h"

#include <oleacc.h>

#include <memory>
#include <string>

#include "platform/framework.h"
#include "platform/win32_handle.h"
#include "platform/win32_system.h"
#include "resource.h"

namespace quillgate {
namespace {

// oleacc's annotation service; mingw's uuid library lacks its class id.
constexpr CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};

// The description is what MSAA readers say after the name; the help becomes UI Automation's help
// text, which Narrator reads.
const MSAAPROPID kProperties[] = {PROPID_ACC_DESCRIPTION, PROPID_ACC_HELP};

struct Annotation {
  win32::ComApartment com;
  win32::ComPtr<IAccPropServices> services;
  HWND windows[2] = {};  // the box and its edit field
};

// One box per process; tried once, whatever the answer.
std::unique_ptr<Annotation> g_annotation;
bool g_tried = false;

HWND EditOf(HWND box) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  return GetComboBoxInfo(box, &info) ? info.hwndItem : nullptr;
}

// The focus is on the edit field: a screen reader asks it first. `box` is the reference data.
LRESULT CALLBACK EditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR box) {
  if (message == WM_GETOBJECT) BoxDescriptionMessage(reinterpret_cast<HWND>(box), message);
  // Not null: comctl32, which gave SetWindowSubclass, calls this.
  if (message == WM_NCDESTROY) win32::comctl32::RemoveWindowSubclass()(edit, EditProcedure, 0);
  return win32::comctl32::DefSubclassProc()(edit, message, wParam, lParam);
}

void Annotate(HWND box) {
  auto annotation = std::make_unique<Annotation>();
  if (!win32::CreateInstance(kAccPropServices, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                             annotation->services))
    return;
  // Read now, not kept: the hint's text as the dialog shows it, in the user's language.
  const std::wstring text = WindowText(GetDlgItem(GetParent(box), IDC_ELEVATE_HINT));
  annotation->windows[0] = box;
  annotation->windows[1] = EditOf(box);
  for (const HWND window : annotation->windows) {
    for (const MSAAPROPID& property : kProperties) {
      annotation->services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                           property, text.c_str());
    }
  }
  g_annotation = std::move(annotation);
}

}  // namespace

void DescribeBoxOnRequest(HWND box) {
  const auto subclass = win32::comctl32::SetWindowSubclass();
  const HWND edit = EditOf(box);
  if (edit && subclass) subclass(edit, EditProcedure, 0, reinterpret_cast<DWORD_PTR>(box));
}

void BoxDescriptionMessage(HWND box, UINT message) {
  if (message == WM_GETOBJECT && !g_tried) {
    g_tried = true;
    Annotate(box);
  } else if (message == WM_DESTROY && g_annotation) {
    // Annotations live beside the windows, not in them: gone only when cleared.
    for (const HWND window : g_annotation->windows) {
      g_annotation->services->ClearHwndProps(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                             kProperties, 2);
    }
    g_annotation.reset();
  }
}

}  // namespace quillgate
