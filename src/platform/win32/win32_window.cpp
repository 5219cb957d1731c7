// Win32 window classes, windows and the message queue on SDL2: top-level windows are
// OpenGL-capable SDL windows (virtual while headless); SDL's keyboard, focus and window
// events become the platform's window messages.
#include <SDL.h>

#include <strings.h>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <deque>
#include <unordered_set>

#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "platform/win32/win32_x11.h"

namespace {

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
};

std::vector<WindowClass>& classes() {
  static std::vector<WindowClass>* list = new std::vector<WindowClass>();
  return *list;
}

std::vector<HWND>& windowList() {
  static std::vector<HWND>* list = new std::vector<HWND>();
  return *list;
}

std::unordered_set<Win32Window*>& liveWindows() {
  static std::unordered_set<Win32Window*>* set = new std::unordered_set<Win32Window*>();
  return *set;
}

std::deque<MSG>& queue() {
  static std::deque<MSG>* messages = new std::deque<MSG>();
  return *messages;
}

HWND focusWindow = nullptr;
HCURSOR currentCursor = nullptr;

// Fake handles of stock objects, icons and cursors: distinct non-null values.
Win32GdiObject* stockHandle(int slot) {
  static char objects[16];
  return reinterpret_cast<Win32GdiObject*>(&objects[slot & 15]);
}

WindowClass* findClass(const char* name) {
  if (name == nullptr || IS_INTRESOURCE(name)) return nullptr;
  for (WindowClass& c : classes())
    if (strcasecmp(c.name.c_str(), name) == 0) return &c;
  return nullptr;
}

ATOM addClass(const char* name, UINT style, WNDPROC procedure, HINSTANCE instance) {
  if (name == nullptr || IS_INTRESOURCE(name) || procedure == nullptr) return 0;
  if (findClass(name) != nullptr) return 0;  // already registered
  Win32ControlKind kind;
  if (win32ControlProcedure(name, &kind) != nullptr) return 0;  // a system class
  classes().push_back(WindowClass{name, style, procedure, instance});
  return static_cast<ATOM>(0xC000 + classes().size());
}

// Message time stamps come from the system clock itself, never from a replaced clock
// source, so posting a message never consumes a reading of timeGetTime.
DWORD messageTime() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                            static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}

void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = messageTime();
  queue().push_back(m);
}

bool isDescendant(HWND window, HWND ancestor) {
  for (Win32Window* r = win32Record(window); r != nullptr; r = win32Record(r->parent))
    if (r->parent == ancestor) return true;
  return false;
}

bool matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
  if (window != nullptr && m.hwnd != window && !isDescendant(m.hwnd, window)) return false;
  if (filterMin == 0 && filterMax == 0) return true;
  return m.message >= filterMin && m.message <= filterMax;
}

WPARAM virtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>(key);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<WPARAM>(key - SDLK_F1);
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_PAGEUP:
      return VK_PRIOR;
    case SDLK_PAGEDOWN:
      return VK_NEXT;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_END:
      return VK_END;
    case SDLK_INSERT:
      return VK_INSERT;
    case SDLK_DELETE:
      return VK_DELETE;
    case SDLK_PAUSE:
      return VK_PAUSE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    default:
      return 0;
  }
}

HWND windowOfSdlId(Uint32 id) {
  SDL_Window* w = SDL_GetWindowFromID(id);
  return w != nullptr ? win32WindowFromSdl(w) : nullptr;
}

// Where a key goes that arrives before the desktop's word on the focus (SDL learns of a
// new window's focus a moment after the window manager gave it): the focused window, else
// the newest visible top-level window, which is the one the window manager just focused.
HWND keyboardWindow() {
  if (focusWindow != nullptr) return focusWindow;
  const std::vector<HWND>& list = windowList();
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    const Win32Window* r = *it;
    if (r->parent == nullptr && r->sdl != nullptr && !r->sdlLost && (r->style & WS_VISIBLE) != 0) return *it;
  }
  return nullptr;
}

// A window the desktop destroyed from outside: nothing draws into it any more, and it
// closes as if the user had closed it.
void windowLost(HWND window) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || r->sdlLost) return;
  if (SDL_GL_GetCurrentWindow() == r->sdl) SDL_GL_MakeCurrent(r->sdl, nullptr);
  win32ControlsRelease(*r);
  r->sdlLost = true;
  post(window, WM_CLOSE, 0, 0);
}

void translateEvent(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      PostQuitMessage(0);
      break;
    case SDL_SYSWMEVENT: {
      std::vector<SDL_Window*> sdlWindows;
      for (HWND w : windowList()) sdlWindows.push_back(w->sdlLost ? nullptr : w->sdl);
      SDL_Window* gone = win32X11DestroyedWindow(e, sdlWindows.data(), static_cast<int>(sdlWindows.size()));
      if (gone != nullptr) windowLost(win32WindowFromSdl(gone));
      break;
    }
    case SDL_WINDOWEVENT: {
      HWND window = windowOfSdlId(e.window.windowID);
      Win32Window* r = win32Record(window);
      if (r == nullptr) break;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          post(window, WM_CLOSE, 0, 0);
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          focusWindow = window;
          post(window, WM_ACTIVATE, WA_ACTIVE, 0);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          if (focusWindow == window) focusWindow = nullptr;
          post(window, WM_ACTIVATE, WA_INACTIVE, 0);
          break;
        case SDL_WINDOWEVENT_MOVED:
          r->x = e.window.data1;
          r->y = e.window.data2;
          post(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(r->x), static_cast<WORD>(r->y)));
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          r->width = e.window.data1;
          r->height = e.window.data2;
          post(window, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(r->width), static_cast<WORD>(r->height)));
          break;
        case SDL_WINDOWEVENT_EXPOSED:
          post(window, WM_PAINT, 0, 0);
          break;
        default:
          break;
      }
      break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      HWND window = windowOfSdlId(e.key.windowID);
      if (window == nullptr) window = keyboardWindow();
      WPARAM key = virtualKey(e.key.keysym.sym);
      if (window == nullptr || key == 0) break;
      bool down = e.type == SDL_KEYDOWN;
      bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
      // Repeat count 1, scan code, context code (Alt), previous state, transition.
      LPARAM bits = 1 | (static_cast<LPARAM>(e.key.keysym.scancode & 0xFF) << 16);
      if (alt) bits |= LPARAM{1} << 29;
      if (!down || e.key.repeat != 0) bits |= LPARAM{1} << 30;
      if (!down) bits |= LPARAM{1} << 31;
      UINT message = alt || key == VK_MENU ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
      post(window, message, key, bits);
      break;
    }
    case SDL_MOUSEMOTION: {
      HWND window = windowOfSdlId(e.motion.windowID);
      if (window == nullptr) break;
      // The pointer over a window first asks it for its cursor.
      post(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
           MAKELPARAM(HTCLIENT, static_cast<WORD>(WM_MOUSEMOVE)));
      post(window, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(e.motion.x), static_cast<WORD>(e.motion.y)));
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      HWND window = windowOfSdlId(e.button.windowID);
      if (window == nullptr) break;
      bool down = e.type == SDL_MOUSEBUTTONDOWN;
      UINT message = 0;
      if (e.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      if (e.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      if (message != 0)
        post(window, message, 0, MAKELPARAM(static_cast<WORD>(e.button.x), static_cast<WORD>(e.button.y)));
      break;
    }
    default:
      break;
  }
}

void pumpDesktopEvents() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event e;
  while (SDL_PollEvent(&e) != 0) {
    if (win32ControlsTakeEvent(e)) continue;
    translateEvent(e);
  }
}

bool takeMessage(LPMSG message, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  std::deque<MSG>& q = queue();
  for (auto it = q.begin(); it != q.end(); ++it) {
    if (!matches(*it, window, filterMin, filterMax)) continue;
    if (message != nullptr) *message = *it;
    if (remove) q.erase(it);
    return true;
  }
  return false;
}

void setGlAttributes() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

void createSdlWindow(Win32Window& r) {
  // SDL runs headless too (offscreen video driver; Ctrl+C arrives as a quit request), but
  // the window stays virtual there.
  if (!win32EnsureVideo() || win32IsHeadless()) return;
  // The GL library stays loaded from the first window on, rather than coming and going
  // with the windows (a driver unloaded and loaded again per window gains nothing).
  static bool glLoaded = SDL_GL_LoadLibrary(nullptr) == 0;
  (void)glLoaded;
  setGlAttributes();
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if ((r.style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
  if ((r.style & WS_THICKFRAME) != 0) flags |= SDL_WINDOW_RESIZABLE;
  int x = r.x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : r.x;
  int y = r.y == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : r.y;
  r.sdl = SDL_CreateWindow(r.text.c_str(), x, y, std::max(r.width, 1), std::max(r.height, 1), flags);
}

void destroyRecord(HWND window) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || r->destroying) return;
  r->destroying = true;
  SendMessageA(window, WM_DESTROY, 0, 0);
  std::vector<HWND> children = r->children;
  for (HWND child : children) destroyRecord(child);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  if (Win32Window* parent = win32Record(r->parent)) {
    auto& siblings = parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), window), siblings.end());
  }
  win32ControlsRelease(*r);
  if (r->sdl != nullptr) {
    if (r->sdlLost) win32X11ReleaseLostWindow(r->sdl);
    SDL_DestroyWindow(r->sdl);
  }
  std::deque<MSG>& q = queue();
  q.erase(std::remove_if(q.begin(), q.end(), [window](const MSG& m) { return m.hwnd == window; }), q.end());
  if (focusWindow == window) focusWindow = nullptr;
  auto& list = windowList();
  list.erase(std::remove(list.begin(), list.end(), window), list.end());
  liveWindows().erase(r);
  delete r;
}

}  // namespace

Win32Window* win32Record(HWND window) {
  if (window == nullptr) return nullptr;
  return liveWindows().count(window) != 0 ? window : nullptr;
}

const std::vector<HWND>& win32Windows() { return windowList(); }

SDL_Window* win32SdlWindow(HWND window) {
  Win32Window* r = win32Record(window);
  return r != nullptr && !r->sdlLost ? r->sdl : nullptr;
}

HWND win32WindowFromSdl(SDL_Window* window) {
  if (window == nullptr) return nullptr;
  for (HWND w : windowList())
    if (w->sdl == window) return w;
  return nullptr;
}

void win32ClearMessageQueue() { queue().clear(); }

ATOM RegisterClassA(const WNDCLASSA* c) {
  if (c == nullptr) return 0;
  return addClass(c->lpszClassName, c->style, c->lpfnWndProc, c->hInstance);
}

ATOM RegisterClassExA(const WNDCLASSEXA* c) {
  if (c == nullptr) return 0;
  return addClass(c->lpszClassName, c->style, c->lpfnWndProc, c->hInstance);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  WindowClass* c = findClass(className);
  if (c == nullptr) return FALSE;
  for (HWND w : windowList())
    if (strcasecmp(w->className.c_str(), className) == 0) return FALSE;  // still in use
  auto& list = classes();
  list.erase(list.begin() + (c - list.data()));
  return TRUE;
}

HICON LoadIconA(HINSTANCE, LPCSTR name) { return name != nullptr ? stockHandle(8) : nullptr; }
HCURSOR LoadCursorA(HINSTANCE, LPCSTR name) { return name != nullptr ? stockHandle(9) : nullptr; }
HGDIOBJ GetStockObject(int object) { return object >= 0 && object <= 7 ? stockHandle(object) : nullptr; }

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  Win32ControlKind kind = Win32ControlKind::None;
  WNDPROC procedure = win32ControlProcedure(className, &kind);
  if (procedure == nullptr) {
    WindowClass* c = findClass(className);
    if (c == nullptr) return nullptr;
    procedure = c->procedure;
  }
  if ((style & WS_CHILD) != 0 && win32Record(parent) == nullptr) return nullptr;
  if (parent != nullptr && win32Record(parent) == nullptr) return nullptr;

  Win32Window* r = new Win32Window();
  r->className = className;
  r->procedure = procedure;
  r->control = kind;
  r->text = windowName != nullptr ? windowName : "";
  r->style = style & ~WS_VISIBLE;
  r->exStyle = exStyle;
  r->x = x;
  r->y = y;
  r->width = width == CW_USEDEFAULT ? 640 : width;
  r->height = height == CW_USEDEFAULT ? 480 : height;
  r->parent = parent;
  r->instance = instance;
  if ((style & WS_CHILD) != 0) r->id = static_cast<LONG_PTR>(reinterpret_cast<ULONG_PTR>(menu));
  HWND window = r;
  liveWindows().insert(r);
  windowList().push_back(window);
  if ((style & WS_CHILD) != 0)
    parent->children.push_back(window);
  else
    createSdlWindow(*r);

  CREATESTRUCTA create{};
  create.lpCreateParams = param;
  create.hInstance = instance;
  create.hMenu = menu;
  create.hwndParent = parent;
  create.cy = r->height;
  create.cx = r->width;
  create.y = y;
  create.x = x;
  create.style = static_cast<LONG>(style);
  create.lpszName = windowName;
  create.lpszClass = className;
  create.dwExStyle = exStyle;
  LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (SendMessageA(window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  if (win32Record(window) == nullptr) return nullptr;
  if ((style & WS_VISIBLE) != 0) ShowWindow(window, SW_SHOW);
  return window;
}

BOOL DestroyWindow(HWND window) {
  if (win32Record(window) == nullptr) return FALSE;
  destroyRecord(window);
  return TRUE;
}

BOOL IsWindow(HWND window) { return win32Record(window) != nullptr ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
  for (Win32Window* r = win32Record(window); r != nullptr; r = win32Record(r->parent)) {
    if ((r->style & WS_VISIBLE) == 0) return FALSE;
    if (r->parent == nullptr) return TRUE;
  }
  return FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return FALSE;
  BOOL wasVisible = (r->style & WS_VISIBLE) != 0 ? TRUE : FALSE;
  if (command == SW_HIDE) {
    r->style &= ~WS_VISIBLE;
    if (r->sdl != nullptr) SDL_HideWindow(r->sdl);
    return wasVisible;
  }
  r->style |= WS_VISIBLE;
  if (r->sdl != nullptr) {
    SDL_ShowWindow(r->sdl);
    if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED) SDL_MinimizeWindow(r->sdl);
    if (command == SW_SHOWMAXIMIZED) SDL_MaximizeWindow(r->sdl);
    if (command == SW_RESTORE) SDL_RestoreWindow(r->sdl);
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND window) {
  if (win32Record(window) == nullptr) return FALSE;
  win32ControlsDraw();
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return FALSE;
  bool resized = r->width != width || r->height != height;
  r->x = x;
  r->y = y;
  r->width = width;
  r->height = height;
  if (r->sdl != nullptr) {
    SDL_SetWindowSize(r->sdl, std::max(width, 1), std::max(height, 1));
    SDL_SetWindowPosition(r->sdl, x, y);
  }
  SendMessageA(window, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
  if (resized) SendMessageA(window, WM_SIZE, 0, MAKELPARAM(static_cast<WORD>(width), static_cast<WORD>(height)));
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || rect == nullptr) return FALSE;
  int w = r->width;
  int h = r->height;
  if (r->sdl != nullptr) SDL_GetWindowSize(r->sdl, &w, &h);
  *rect = RECT{0, 0, w, h};
  return TRUE;
}

BOOL GetWindowRect(HWND window, LPRECT rect) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || rect == nullptr) return FALSE;
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  *rect = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  return TRUE;
}

BOOL ClientToScreen(HWND window, LPPOINT point) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || point == nullptr) return FALSE;
  for (; r != nullptr; r = win32Record(r->parent)) {
    int x = r->x == CW_USEDEFAULT ? 0 : r->x;
    int y = r->y == CW_USEDEFAULT ? 0 : r->y;
    if (r->sdl != nullptr) SDL_GetWindowPosition(r->sdl, &x, &y);
    point->x += x;
    point->y += y;
  }
  return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD, BOOL) { return rect != nullptr ? TRUE : FALSE; }
BOOL AdjustWindowRectEx(LPRECT rect, DWORD, BOOL, DWORD) { return rect != nullptr ? TRUE : FALSE; }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR buffer, int size) {
  return static_cast<int>(
      SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetClassNameA(HWND window, LPSTR buffer, int size) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || buffer == nullptr || size <= 0) return 0;
  std::size_t n = std::min<std::size_t>(r->className.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, r->className.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

HWND GetParent(HWND window) {
  Win32Window* r = win32Record(window);
  return r != nullptr ? r->parent : nullptr;
}

HWND GetDlgItem(HWND dialog, int id) {
  Win32Window* r = win32Record(dialog);
  if (r == nullptr) return nullptr;
  for (HWND child : r->children)
    if (child->id == id) return child;
  return nullptr;
}

HWND SetFocus(HWND window) {
  HWND previous = focusWindow;
  if (window == nullptr || win32Record(window) != nullptr) focusWindow = window;
  return previous;
}

HWND GetFocus() { return focusWindow; }

HWND SetActiveWindow(HWND window) {
  Win32Window* r = win32Record(window);
  if (r != nullptr && r->sdl != nullptr) SDL_RaiseWindow(r->sdl);
  return SetFocus(window);
}

BOOL SetForegroundWindow(HWND window) { return SetActiveWindow(window), win32Record(window) != nullptr ? TRUE : FALSE; }

LONG GetWindowLongA(HWND window, int index) { return static_cast<LONG>(GetWindowLongPtrA(window, index)); }

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return 0;
  switch (index) {
    case GWL_USERDATA:
      return r->userData;
    case GWL_ID:
      return r->id;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(static_cast<LONG>(r->style));
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(r->exStyle);
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(r->procedure);
    case GWL_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(r->instance);
    case GWL_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(r->parent);
    default:
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return 0;
  LONG_PTR previous = GetWindowLongPtrA(window, index);
  switch (index) {
    case GWL_USERDATA:
      r->userData = value;
      break;
    case GWL_ID:
      r->id = value;
      break;
    case GWL_STYLE: {
      DWORD visible = r->style & WS_VISIBLE;
      r->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | visible;
      break;
    }
    case GWL_EXSTYLE:
      r->exStyle = static_cast<DWORD>(value);
      break;
    case GWL_WNDPROC:
      if (value != 0) r->procedure = reinterpret_cast<WNDPROC>(value);
      break;
    default:
      return 0;
  }
  return previous;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* r = win32Record(window);
  if (r == nullptr) return 0;
  switch (message) {
    case WM_SETCURSOR:
      // The class cursor: the arrow.
      if (LOWORD(static_cast<DWORD_PTR>(lParam)) == HTCLIENT) SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return FALSE;
    // Closing a window from the desktop ends the program.
    case WM_CLOSE:
      PostQuitMessage(0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F1 + 3) PostMessageA(window, WM_CLOSE, 0, 0);  // Alt+F4
      return 0;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      r->text = text != nullptr ? text : "";
      if (r->sdl != nullptr) SDL_SetWindowTitle(r->sdl, r->text.c_str());
      return TRUE;
    }
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (buffer == nullptr || wParam == 0) return 0;
      std::size_t n = std::min<std::size_t>(r->text.size(), wParam - 1);
      std::memcpy(buffer, r->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(r->text.size());
    default:
      return 0;
  }
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* r = win32Record(window);
  if (r == nullptr || r->procedure == nullptr) return 0;
  return r->procedure(window, message, wParam, lParam);
}

LRESULT SendDlgItemMessageA(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && win32Record(window) == nullptr) return FALSE;
  post(window, message, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  // One quit request is pending at most.
  for (const MSG& m : queue())
    if (m.message == WM_QUIT) return;
  post(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0);
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeMessage) {
  pumpDesktopEvents();
  if (takeMessage(message, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0)) return TRUE;
  // An idle queue redraws the windows that hold controls (paced by their buffer swap).
  win32ControlsDraw();
  return FALSE;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  MSG m{};
  while (!takeMessage(&m, window, filterMin, filterMax, true)) {
    pumpDesktopEvents();
    if (takeMessage(&m, window, filterMin, filterMax, true)) break;
    Sleep(1);
  }
  if (message != nullptr) *message = m;
  return m.message == WM_QUIT ? FALSE : TRUE;
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr) return FALSE;
  UINT m = message->message;
  return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr || message->hwnd == nullptr) return 0;
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = currentCursor;
  currentCursor = cursor;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(cursor != nullptr ? SDL_ENABLE : SDL_DISABLE);
  return previous;
}

int ShowCursor(BOOL show) {
  static int counter = 0;
  counter += show ? 1 : -1;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_ShowCursor(counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
  return counter;
}
