#include "ui/list_accessible.h"

#include <string>

#include "platform/win32_system.h"
#include "ui/dropdown_popup.h"

namespace quillgate {
namespace {

// Looked up, not imported: oleaut32 and oleacc load when a screen reader first asks.
HRESULT ReturnString(const std::wstring& text, BSTR* out) {
  const auto allocate = win32::oleaut32::SysAllocStringLen();
  *out = allocate ? allocate(text.data(), static_cast<UINT>(text.size())) : nullptr;
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ReturnNumber(long value, VARIANT* out) {
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

// No such object: S_FALSE with VT_EMPTY, as MSAA clients test for.
HRESULT ReturnNoObject(VARIANT* out) {
  out->vt = VT_EMPTY;
  return S_FALSE;
}

}  // namespace

void ListAccessible::Disconnect() {
  m_popup = nullptr;
  // COM runs here already: the object was handed out through it.
  if (const auto disconnect = win32::ole32::CoDisconnectObject())
    disconnect(static_cast<IAccessible*>(this), 0);
}

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
  return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

ULONG ListAccessible::Release() {
  const LONG left = InterlockedDecrement(&m_references);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

long ListAccessible::Count() const {
  return static_cast<long>(m_popup->Count());  // the entries', even while the list is hidden
}

template <typename Answer>
HRESULT ListAccessible::Ask(const VARIANT* id, Answer answer) const {
  if (!m_popup || !m_popup->ListBox()) return RPC_E_DISCONNECTED;
  if (!id) return answer(CHILDID_SELF);
  if (id->vt != VT_I4 || id->lVal < 0 || id->lVal > Count()) return E_INVALIDARG;
  return answer(id->lVal);
}

long ListAccessible::Highlighted() const {
  return m_popup->IsOpen() ? m_popup->Selected() + 1 : 0;
}

bool ListAccessible::InView(long index, RECT& screen) const {
  const HWND list = m_popup->ListBox();
  RECT client{}, item{};
  if (!m_popup->IsOpen() || !GetClientRect(list, &client) ||
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
  return Ask(nullptr, [&](long) {
    // As the standard client objects do: the parent is the list box's own window object.
    const auto standard = win32::oleacc::CreateStdAccessibleObject();
    return standard ? standard(m_popup->ListBox(), OBJID_WINDOW, IID_IDispatch,
                               reinterpret_cast<void**>(parent))
                    : E_FAIL;
  });
}

HRESULT ListAccessible::get_accChildCount(long* count) {
  return Ask(nullptr, [&](long) {
    *count = Count();
    return S_OK;
  });
}

HRESULT ListAccessible::get_accChild(VARIANT id, IDispatch** child) {
  *child = nullptr;
  // Items are simple elements.
  return Ask(&id, [](long at) { return at == CHILDID_SELF ? E_INVALIDARG : S_FALSE; });
}

HRESULT ListAccessible::get_accName(VARIANT id, BSTR* name) {
  *name = nullptr;
  return Ask(&id, [&](long at) {
    return ReturnString(at == CHILDID_SELF ? m_popup->Name() : m_popup->ItemText(at - 1), name);
  });
}

HRESULT ListAccessible::get_accRole(VARIANT id, VARIANT* role) {
  role->vt = VT_EMPTY;
  return Ask(&id, [&](long at) {
    return ReturnNumber(at == CHILDID_SELF ? ROLE_SYSTEM_LIST : ROLE_SYSTEM_LISTITEM, role);
  });
}

HRESULT ListAccessible::get_accState(VARIANT id, VARIANT* state) {
  state->vt = VT_EMPTY;
  return Ask(&id, [&](long at) {
    long flags = m_popup->IsOpen() ? 0 : STATE_SYSTEM_INVISIBLE;
    if (at != CHILDID_SELF) {
      flags |= STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
      // Focused as well as selected: the box keeps the keys, yet the reader follows the highlight.
      if (at == Highlighted()) flags |= STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED;
      // Scrolled out of view is offscreen, not invisible: clients that skip invisible objects
      // would drop the rest of the list, which the keys reach.
      RECT place;
      if (!InView(at - 1, place)) flags |= STATE_SYSTEM_OFFSCREEN;
    }
    return ReturnNumber(flags, state);
  });
}

HRESULT ListAccessible::get_accFocus(VARIANT* child) {
  return Ask(nullptr, [&](long) {
    const long highlighted = Highlighted();
    return highlighted ? ReturnNumber(highlighted, child) : ReturnNoObject(child);
  });
}

HRESULT ListAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT id) {
  *left = *top = *width = *height = 0;
  return Ask(&id, [&](long at) {
    RECT place{};
    if (at == CHILDID_SELF) {
      GetClientRect(m_popup->ListBox(), &place);
      MapWindowPoints(m_popup->ListBox(), nullptr, reinterpret_cast<POINT*>(&place), 2);
    } else if (!InView(at - 1, place)) {
      // An empty rectangle with S_OK, beside the offscreen state: what UI Automation's MSAA
      // proxy turns into an offscreen element, where some clients take S_FALSE for a failure.
      return S_OK;
    }
    *left = place.left;
    *top = place.top;
    *width = place.right - place.left;
    *height = place.bottom - place.top;
    return S_OK;
  });
}

HRESULT ListAccessible::accNavigate(long direction, VARIANT from, VARIANT* to) {
  to->vt = VT_EMPTY;
  return Ask(&from, [&](long at) {
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
    return next >= 1 && next <= Count() ? ReturnNumber(next, to) : ReturnNoObject(to);
  });
}

HRESULT ListAccessible::accHitTest(long x, long y, VARIANT* child) {
  child->vt = VT_EMPTY;
  return Ask(nullptr, [&](long) {
    POINT point{x, y};
    RECT client{};
    ScreenToClient(m_popup->ListBox(), &point);
    GetClientRect(m_popup->ListBox(), &client);
    if (!m_popup->IsOpen() || !PtInRect(&client, point)) return ReturnNoObject(child);
    const int index = m_popup->ItemAt(point.y);
    return ReturnNumber(index < 0 ? CHILDID_SELF : index + 1, child);
  });
}

HRESULT ListAccessible::accDoDefaultAction(VARIANT id) {
  return Ask(&id, [&](long at) {
    if (at == CHILDID_SELF) return DISP_E_MEMBERNOTFOUND;
    m_popup->Pick(static_cast<std::size_t>(at - 1));  // as a click picks it
    return S_OK;
  });
}

HRESULT ListAccessible::GetWindow(HWND* window) {
  *window = m_popup ? m_popup->ListBox() : nullptr;
  return *window ? S_OK : RPC_E_DISCONNECTED;
}

}  // namespace quillgate
