#include "ui/browse.h"

#include <objbase.h>
#include <shobjidl.h>

#include <exception>
#include <string>

#include "core/path_input.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"

namespace quillgate {
namespace {

// One reference to a COM object, released when the holder ends.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (m_object) m_object->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  // Where a creating call stores the new reference; the holder is empty then.
  T** Receive() { return &m_object; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&m_object); }
  T* operator->() const { return m_object; }

 private:
  T* m_object = nullptr;
};

void Browse(CWnd& box, HWND owner) {
  const std::wstring prefix = box.GetWindowText();

  win32::ComApartment com;
  if (!com.Ok()) return;
  static const auto create =
      win32::SystemFunction<decltype(CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
  ComRef<IFileOpenDialog> dialog;
  if (!create || FAILED(create(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog,
                               dialog.ReceiveVoid()))) {
    return;
  }
  if (FAILED(dialog->Show(owner))) return;  // cancelled
  ComRef<IShellItem> item;
  if (FAILED(dialog->GetResult(item.Receive()))) return;
  win32::CoTaskMem<wchar_t> path;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Out()))) return;

  // The path as the shell spelled it, whatever the code page could have spelled. The box opens
  // holding the last command: glued onto it, the path would make a name no shell opens.
  box.SetWindowText(win32::Widen(AppendDropped(win32::Narrow(prefix), {win32::Narrow(path.Get())})));
  // The holders end in reverse order: the path, the item, the dialog, then COM.
}

}  // namespace

void AppendBrowsedPath(CWnd& box, HWND owner) noexcept {
  try {
    Browse(box, owner);
  } catch (const std::exception&) {
    // Out of memory on the way: the box keeps its text and the launcher keeps running.
  }
}

}  // namespace quillgate
