#include "ui/list_accessible.h"

#include <string>

#include "platform/win32_system.h"
#include "ui/dropdown_popup.h"

namespace quillgate {
namespace {

// Looked up, not imported: oleaut32 and oleacc load when a screen reader first asks.
HRESULT Answer(const std::wstring& text, BSTR* out) {
  const auto allocate = win32::oleaut32::SysAllocStringLen();
  *out = allocate ? allocate(text.data(), static_cast<UINT>(text.size())) : nullptr;
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT Number(long value, VARIANT* out) {
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

// No such object: S_FALSE with VT_EMPTY, as MSAA clients test for.
HRESULT Nothing(VARIANT* out) {
  out->vt = VT_EMPTY;
  return S_FALSE;
}

HRESULT Unsupported(BSTR* out) {
  *out = nullptr;
  return DISP_E_MEMBERNOTFOUND;
}

}  // namespace

HRESULT ListAccessible::QueryInterface(REFIID id, void** object) {
  if (id == IID_IUnknown || id == IID_IDispatch || id == IID_IAccessible) {
    *object = static_cast<IAccessible*>(this);
  } else if (id == IID_IOleWindow) {  // WindowFromAccessibleObject
    *object = static_cast<IOleWindow*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ListAccessible::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG ListAccessible::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

long ListAccessible::Count() const {
  const auto count = ::SendMessageW(popup_->ListBox(), LB_GETCOUNT, 0, 0);
  return count > 0 ? static_cast<long>(count) : 0;
}

HRESULT ListAccessible::Resolve(const VARIANT& id, long& child) const {
  if (!popup_ || !popup_->ListBox()) return RPC_E_DISCONNECTED;
  if (id.vt != VT_I4 || id.lVal < 0 || id.lVal > Count()) return E_INVALIDARG;
  child = id.lVal;
  return S_OK;
}

long ListAccessible::Highlighted() const {
  return popup_->IsOpen() ? popup_->Selected() + 1 : 0;
}

bool ListAccessible::InView(long index, RECT& screen) const {
  const HWND list = popup_->ListBox();
  RECT client{}, item{};
  if (!popup_->IsOpen() || !GetClientRect(list, &client) ||
      ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item)) == LB_ERR ||
      !IntersectRect(&screen, &item, &client)) {
    return false;
  }
  MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&screen), 2);
  return true;
}

HRESULT ListAccessible::get_accParent(IDispatch** parent) {
  *parent = nullptr;
  if (!popup_ || !popup_->ListBox()) return RPC_E_DISCONNECTED;
  // As the standard client objects do: the parent is the list box's own window object.
  const auto standard = win32::oleacc::CreateStdAccessibleObject();
  return standard ? standard(popup_->ListBox(), OBJID_WINDOW, IID_IDispatch,
                             reinterpret_cast<void**>(parent))
                  : E_FAIL;
}

HRESULT ListAccessible::get_accChildCount(long* count) {
  if (!popup_ || !popup_->ListBox()) return RPC_E_DISCONNECTED;
  *count = Count();
  return S_OK;
}

HRESULT ListAccessible::get_accChild(VARIANT id, IDispatch** child) {
  *child = nullptr;
  long at = 0;
  const HRESULT known = Resolve(id, at);
  if (FAILED(known)) return known;
  return at == CHILDID_SELF ? E_INVALIDARG : S_FALSE;  // items are simple elements
}

HRESULT ListAccessible::get_accName(VARIANT id, BSTR* name) {
  *name = nullptr;
  long at = 0;
  const HRESULT known = Resolve(id, at);
  if (FAILED(known)) return known;
  return Answer(at == CHILDID_SELF ? popup_->Name() : popup_->ItemText(at - 1), name);
}

HRESULT ListAccessible::get_accValue(VARIANT, BSTR* value) {
  return Unsupported(value);
}

HRESULT ListAccessible::get_accDescription(VARIANT, BSTR* text) {
  return Unsupported(text);
}

HRESULT ListAccessible::get_accHelp(VARIANT, BSTR* text) {
  return Unsupported(text);
}

HRESULT ListAccessible::get_accHelpTopic(BSTR* file, VARIANT, long* topic) {
  *topic = 0;
  return Unsupported(file);
}

HRESULT ListAccessible::get_accKeyboardShortcut(VARIANT, BSTR* keys) {
  return Unsupported(keys);
}

HRESULT ListAccessible::get_accDefaultAction(VARIANT, BSTR* action) {
  return Unsupported(action);  // a name here would be one more string to translate
}

HRESULT ListAccessible::get_accRole(VARIANT id, VARIANT* role) {
  role->vt = VT_EMPTY;
  long at = 0;
  const HRESULT known = Resolve(id, at);
  if (FAILED(known)) return known;
  return Number(at == CHILDID_SELF ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM, role);
}

HRESULT ListAccessible::get_accState(VARIANT id, VARIANT* state) {
  state->vt = VT_EMPTY;
  long at = 0;
  const HRESULT known = Resolve(id, at);
  if (FAILED(known)) return known;
  long flags = popup_->IsOpen() ? 0 : STATE_SYSTEM_INVISIBLE;
  if (at != CHILDID_SELF) {
    flags |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    // Focused as well as selected: the box keeps the keys, yet the reader follows the highlight.
    if (at == Highlighted()) flags |= STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
    // Scrolled out of view is offscreen, not invisible: clients that skip invisible objects
    // would drop the rest of the list, which the keys reach.
    RECT place;
    if (!InView(at - 1, place)) flags |= STATE_SYSTEM_OFFSCREEN;
  }
  return Number(flags, state);
}

HRESULT ListAccessible::get_accFocus(VARIANT* child) {
  if (!popup_ || !popup_->ListBox()) return RPC_E_DISCONNECTED;
  const long highlighted = Highlighted();
  return highlighted ? Number(highlighted, child) : Nothing(child);
}

HRESULT ListAccessible::get_accSelection(VARIANT* children) {
  return get_accFocus(children);  // one highlight, the focus and the selection alike
}

HRESULT ListAccessible::accSelect(long, VARIANT) {
  return DISP_E_MEMBERNOTFOUND;  // the box's owner moves the highlight, as the keys do
}

HRESULT ListAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT id) {
  *left = *top = *width = *height = 0;
  long at = 0;
  const HRESULT known = Resolve(id, at);
  if (FAILED(known)) return known;
  RECT place{};
  if (at == CHILDID_SELF) {
    GetClientRect(popup_->ListBox(), &place);
    MapWindowPoints(popup_->ListBox(), nullptr, reinterpret_cast<POINT*>(&place), 2);
  } else if (!InView(at - 1, place)) {
    // An empty rectangle with S_OK, beside the offscreen state: what UI Automation's MSAA proxy
    // turns into an offscreen element, where some clients take S_FALSE for a failure.
    return S_OK;
  }
  *left = place.left;
  *top = place.top;
  *width = place.right - place.left;
  *height = place.bottom - place.top;
  return S_OK;
}

HRESULT ListAccessible::accNavigate(long direction, VARIANT from, VARIANT* to) {
  to->vt = VT_EMPTY;
  long at = 0;
  const HRESULT known = Resolve(from, at);
  if (FAILED(known)) return known;
  long next = 0;
  switch (direction) {
    case NAVDIR_FIRSTCHILD:
    case NAVDIR_LASTCHILD:
      if (at != CHILDID_SELF) return E_INVALIDARG;
      next = direction == NAVDIR_FIRSTCHILD ? 1 : Count();
      break;
    case NAVDIR_NEXT:
    case NAVDIR_DOWN:
      next = at == CHILDID_SELF ? 0 : at + 1;  // the list box is its popup's only child
      break;
    case NAVDIR_PREVIOUS:
    case NAVDIR_UP:
      next = at == CHILDID_SELF ? 0 : at - 1;
      break;
    default:
      break;
  }
  return next >= 1 && next <= Count() ? Number(next, to) : Nothing(to);
}

HRESULT ListAccessible::accHitTest(long x, long y, VARIANT* child) {
  child->vt = VT_EMPTY;
  if (!popup_ || !popup_->ListBox()) return RPC_E_DISCONNECTED;
  POINT point{x, y};
  RECT client{};
  ScreenToClient(popup_->ListBox(), &point);
  GetClientRect(popup_->ListBox(), &client);
  if (!popup_->IsOpen() || !PtInRect(&client, point)) return Nothing(child);
  const int index = popup_->ItemAt(point.y);
  return Number(index < 0 ? CHILDID_SELF : index + 1, child);
}

HRESULT ListAccessible::accDoDefaultAction(VARIANT id) {
  long at = 0;
  const HRESULT known = Resolve(id, at);
  if (FAILED(known)) return known;
  if (at == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
  popup_->Pick(static_cast<std::size_t>(at - 1));  // as a click picks it
  return S_OK;
}

HRESULT ListAccessible::GetWindow(HWND* window) {
  *window = popup_ ? popup_->ListBox() : nullptr;
  return *window ? S_OK : RPC_E_DISCONNECTED;
}

}  // namespace quillgate
