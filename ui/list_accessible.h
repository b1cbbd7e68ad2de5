// What a screen reader reads of a drop-down: the list and its items as MSAA objects. An owner-data
// list box has no text of its own, so every answer is asked of the drop-down at that moment: its
// count, its highlight, an item's text; nothing is copied, and a million lines cost nothing until
// one of them is read. Items are simple elements, child id = index + 1.
#pragma once

#include <windows.h>
#include <oleacc.h>

namespace quillgate {

class DropDownPopup;

class ListAccessible final : public IAccessible, public IOleWindow {
 public:
  explicit ListAccessible(DropDownPopup& popup) : m_popup(&popup) {}
  // The drop-down is gone: a client in this process that still holds the object gets
  // RPC_E_DISCONNECTED, and a reader's proxy is cut off at once, never left waiting on a thread
  // that may be busy recording the command.
  void Disconnect();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override;
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override;
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override;
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override;
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
  // One highlight, the focus and the selection alike.
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return get_accFocus(children);
  }
  // The box's owner moves the highlight, as the keys do.
  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT id) override;
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT from, VARIANT* to) override;
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override;
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override;
  // Texts the items have none of: a default action's name would be one more to translate.
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* text) override { return None(text); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* text) override { return None(text); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* text) override { return None(text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    *topic = 0;
    return None(file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* text) override {
    return None(text);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* text) override {
    return None(text);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

 private:
  ~ListAccessible() = default;
  static HRESULT None(BSTR* text) {
    *text = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }
  // `answer(child)` while the list lives (RPC_E_DISCONNECTED after), `child` 0 for the list, else
  // the item's child id: `id` null asks about the list, else E_INVALIDARG for no such child.
  template <typename Answer>
  HRESULT Ask(const VARIANT* id, Answer answer) const;
  long Count() const;
  // The highlighted item's child id while the list shows, else 0.
  long Highlighted() const;
  // Where item `index` shows on the screen; false when it does not (scrolled out, list hidden).
  bool InView(long index, RECT& screen) const;

  DropDownPopup* m_popup;
  LONG m_references = 1;
};

}  // namespace quillgate
