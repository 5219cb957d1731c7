// The standard controls "STATIC", "BUTTON" and "COMBOBOX": their state and messages.
// Drawing and user input are in win32_controls_ui.cpp.
#include <strings.h>
#include <algorithm>
#include <cstring>

#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_window.h"

namespace {

void notifyParent(HWND control, WORD notification) {
  Win32Window* r = win32Record(control);
  if (r == nullptr || r->parent == nullptr) return;
  SendMessageA(r->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(r->id), notification),
               reinterpret_cast<LPARAM>(control));
}

LRESULT staticProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT buttonProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return 0;
  DWORD type = r->style & BS_TYPEMASK;
  switch (message) {
    case BM_GETCHECK:
      return static_cast<LRESULT>(r->check);
    case BM_SETCHECK:
      r->check = static_cast<UINT>(wParam);
      return 0;
    case BM_GETSTATE:
      return static_cast<LRESULT>(r->check);
    case BM_CLICK:
      if (type == BS_AUTOCHECKBOX) r->check = r->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      if (type == BS_AUTORADIOBUTTON) r->check = BST_CHECKED;
      notifyParent(window, BN_CLICKED);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int insertItem(Win32Window& r, int index, const char* text) {
  if (text == nullptr) text = "";
  if (index < 0 || index > static_cast<int>(r.items.size())) index = static_cast<int>(r.items.size());
  if (index == static_cast<int>(r.items.size()) && (r.style & CBS_SORT) != 0) {
    index = 0;
    while (index < static_cast<int>(r.items.size()) && strcasecmp(r.items[index].c_str(), text) <= 0) ++index;
  }
  r.items.insert(r.items.begin() + index, text);
  r.itemData.insert(r.itemData.begin() + index, 0);
  if (r.selection >= index) ++r.selection;
  return index;
}

int findItem(const Win32Window& r, WPARAM start, const char* prefix) {
  int count = static_cast<int>(r.items.size());
  if (prefix == nullptr || count == 0) return static_cast<int>(CB_ERR);
  int first = static_cast<int>(static_cast<LPARAM>(start));
  std::size_t length = std::strlen(prefix);
  for (int n = 1; n <= count; ++n) {
    int i = ((first < 0 ? -1 : first) + n) % count;
    if (strncasecmp(r.items[i].c_str(), prefix, length) == 0) return i;
  }
  return static_cast<int>(CB_ERR);
}

LRESULT comboProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return 0;
  int count = static_cast<int>(r->items.size());
  int index = static_cast<int>(static_cast<LPARAM>(wParam));
  bool valid = index >= 0 && index < count;
  switch (message) {
    case CB_ADDSTRING:
      return insertItem(*r, -1, reinterpret_cast<const char*>(lParam));
    case CB_INSERTSTRING:
      return insertItem(*r, index < 0 ? count : std::min(index, count), reinterpret_cast<const char*>(lParam));
    case CB_DELETESTRING:
      if (!valid) return CB_ERR;
      r->items.erase(r->items.begin() + index);
      r->itemData.erase(r->itemData.begin() + index);
      if (r->selection == index)
        r->selection = -1;
      else if (r->selection > index)
        --r->selection;
      return static_cast<LRESULT>(r->items.size());
    case CB_GETCOUNT:
      return count;
    case CB_GETCURSEL:
      return r->selection;
    case CB_SETCURSEL:
      r->selection = valid ? index : -1;
      return valid ? index : CB_ERR;
    case CB_RESETCONTENT:
      r->items.clear();
      r->itemData.clear();
      r->selection = -1;
      return CB_OKAY;
    case CB_GETLBTEXTLEN:
      return valid ? static_cast<LRESULT>(r->items[index].size()) : CB_ERR;
    case CB_GETLBTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (!valid || buffer == nullptr) return CB_ERR;
      std::memcpy(buffer, r->items[index].c_str(), r->items[index].size() + 1);
      return static_cast<LRESULT>(r->items[index].size());
    }
    case CB_FINDSTRING:
      return findItem(*r, wParam, reinterpret_cast<const char*>(lParam));
    case CB_SELECTSTRING: {
      int found = findItem(*r, wParam, reinterpret_cast<const char*>(lParam));
      if (found >= 0) r->selection = found;
      return found;
    }
    case CB_GETITEMDATA:
      return valid ? r->itemData[index] : CB_ERR;
    case CB_SETITEMDATA:
      if (!valid) return CB_ERR;
      r->itemData[index] = lParam;
      return CB_OKAY;
    case CB_SHOWDROPDOWN:
      return TRUE;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

WNDPROC win32ControlProcedure(const char* className, Win32ControlKind* kind) {
  if (className == nullptr || IS_INTRESOURCE(className)) return nullptr;
  if (strcasecmp(className, "STATIC") == 0) {
    *kind = Win32ControlKind::Static;
    return staticProcedure;
  }
  if (strcasecmp(className, "BUTTON") == 0) {
    *kind = Win32ControlKind::Button;
    return buttonProcedure;
  }
  if (strcasecmp(className, "COMBOBOX") == 0) {
    *kind = Win32ControlKind::ComboBox;
    return comboProcedure;
  }
  return nullptr;
}

// A user's choice in a combo box: select and tell the parent, as the list does on a click.
void win32ComboUserSelect(HWND control, int index) {
  Win32Window* r = win32Record(control);
  if (r == nullptr || index < 0 || index >= static_cast<int>(r->items.size())) return;
  if (r->selection == index) return;
  r->selection = index;
  notifyParent(control, CBN_SELCHANGE);
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  return static_cast<UINT>(SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0));
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  if (GetDlgItem(dialog, id) == nullptr) return FALSE;
  SendDlgItemMessageA(dialog, id, BM_SETCHECK, check, 0);
  return TRUE;
}
