// Drawing of top-level windows that hold standard controls in a web page: the window becomes
// a box of page elements (labels, buttons, check boxes, lists) placed at the controls' client
// coordinates, and the user's input to them reaches the parent window as the platform's
// WM_COMMAND notification, as on the desktop. An idle queue hands control to the browser.
#include <emscripten.h>

#include <string>
#include <vector>

#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_window.h"

// The page's side (page.js): vellumiteDialog.show(description) builds or refreshes the box,
// vellumiteDialog.hide() removes it, vellumiteDialog.take() hands over the oldest user action
// as (control << 16) | (choice + 2): choice -1 a click, -2 closing, 0.. a list entry; -1 none.
EM_JS(void, webDialogShow, (const char* description), {
  if (Module.vellumiteDialog) Module.vellumiteDialog.show(UTF8ToString(description));
});
EM_JS(void, webDialogHide, (), {
  if (Module.vellumiteDialog) Module.vellumiteDialog.hide();
});
EM_JS(int, webDialogTake, (), { return Module.vellumiteDialog ? Module.vellumiteDialog.take() : -1; });

namespace {

HWND active = nullptr;
std::string shown;

bool holdsControls(const Win32Window& r) {
  for (HWND child : r.children)
    if (child->control != Win32ControlKind::None) return true;
  return false;
}

void appendEscaped(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += ' ';
    } else {
      out += c;
    }
  }
  out += '"';
}

// The window and its controls as JSON: title, client size, and per control its kind, text,
// place, style bits, list entries, selection and check state.
std::string describe(const Win32Window& r) {
  std::string d = "{\"title\":";
  appendEscaped(d, r.text);
  d += ",\"width\":" + std::to_string(r.width) + ",\"height\":" + std::to_string(r.height) + ",\"controls\":[";
  bool first = true;
  for (HWND child : r.children) {
    const Win32Window& c = *child;
    if (!first) d += ',';
    first = false;
    const char* kind = "none";
    if (c.control == Win32ControlKind::Static) kind = "static";
    if (c.control == Win32ControlKind::ComboBox) kind = "list";
    if (c.control == Win32ControlKind::Button) {
      DWORD type = c.style & BS_TYPEMASK;
      bool box = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
      kind = box ? "check" : type == BS_DEFPUSHBUTTON ? "default" : "button";
    }
    d += "{\"kind\":\"";
    d += kind;
    d += "\",\"text\":";
    appendEscaped(d, c.text);
    d += ",\"x\":" + std::to_string(c.x) + ",\"y\":" + std::to_string(c.y) + ",\"width\":" + std::to_string(c.width) +
         ",\"height\":" + std::to_string(c.height);
    d += ",\"visible\":" + std::string((c.style & WS_VISIBLE) != 0 ? "true" : "false");
    d += ",\"enabled\":" + std::string((c.style & WS_DISABLED) == 0 ? "true" : "false");
    d += ",\"align\":" + std::to_string(c.style & 3);
    d += ",\"checked\":" + std::string(c.check == BST_CHECKED ? "true" : "false");
    d += ",\"selection\":" + std::to_string(c.selection) + ",\"items\":[";
    for (std::size_t i = 0; i < c.items.size(); ++i) {
      if (i > 0) d += ',';
      appendEscaped(d, c.items[i]);
    }
    d += "]}";
  }
  d += "]}";
  return d;
}

void close() {
  if (active == nullptr) return;
  active = nullptr;
  shown.clear();
  webDialogHide();
}

// Carries out the user's actions in the order they came.
void takeActions() {
  for (int action = webDialogTake(); action >= 0 && active != nullptr; action = webDialogTake()) {
    HWND window = active;
    int index = action >> 16;
    int choice = (action & 0xFFFF) - 2;
    if (choice == -2) {
      PostMessageA(window, WM_CLOSE, 0, 0);
      continue;
    }
    if (index < 0 || index >= static_cast<int>(window->children.size())) continue;
    HWND control = window->children[static_cast<std::size_t>(index)];
    if (win32Record(control) == nullptr) continue;
    if (choice >= 0)
      win32ComboUserSelect(control, choice);
    else
      SendMessageA(control, BM_CLICK, 0, 0);
  }
}

}  // namespace

bool win32ControlsTakeEvent(const SDL_Event&) {
  // The page's elements take the user's input to the dialog themselves.
  return false;
}

void win32ControlsDraw() {
  if (active == nullptr) {
    for (HWND window : win32Windows()) {
      if (window->parent == nullptr && (window->style & WS_VISIBLE) != 0 && holdsControls(*window)) {
        active = window;
        break;
      }
    }
  }
  if (active == nullptr) return;
  if ((active->style & WS_VISIBLE) == 0) {
    close();
    return;
  }
  std::string description = describe(*active);
  if (description != shown) {
    shown = description;
    webDialogShow(shown.c_str());
  }
  takeActions();
  // The browser draws the page and delivers the user's input while the program waits.
  emscripten_sleep(16);
}

bool win32ControlsActive() { return active != nullptr; }

void win32ControlsRelease(Win32Window& record) {
  if (&record == active) close();
}
