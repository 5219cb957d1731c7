// Drawing of top-level windows that hold standard controls, with Dear ImGui on an OpenGL
// context of the window's own, and the user's input to those controls. Controls sit at
// their client coordinates; a user's choice reaches the parent window as the platform's
// WM_COMMAND notification, after the frame is drawn.
#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/win32_controls.h"
#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_window.h"

namespace {

constexpr unsigned int kGlColorBufferBit = 0x00004000;

struct UiWindow {
  HWND window = nullptr;
  SDL_GLContext gl = nullptr;
  ImGuiContext* imgui = nullptr;
  void (*clearColor)(float, float, float, float) = nullptr;
  void (*clear)(unsigned int) = nullptr;
  void (*viewport)(int, int, int, int) = nullptr;
  bool drawn = false;
  Uint32 lastDraw = 0;
  HWND focus = nullptr;  // the control that takes the keyboard
};

// One window at a time is drawn with controls (the setup dialog).
UiWindow* active = nullptr;

// A user's action, carried out once the frame is drawn (it may change the controls).
struct Action {
  HWND control;
  int choice;  // combo box entry, or -1 for a click
};

bool holdsControls(const Win32Window& r) {
  for (HWND child : r.children)
    if (child->control != Win32ControlKind::None) return true;
  return false;
}

// Controls that take the keyboard, in tab order (creation order).
bool focusable(HWND control) {
  const Win32Window& c = *control;
  if ((c.style & WS_VISIBLE) == 0 || (c.style & WS_DISABLED) != 0) return false;
  return c.control == Win32ControlKind::ComboBox || c.control == Win32ControlKind::Button;
}

std::vector<HWND> tabOrder(const Win32Window& r) {
  std::vector<HWND> order;
  for (HWND child : r.children)
    if (focusable(child)) order.push_back(child);
  return order;
}

HWND defaultButton(const Win32Window& r) {
  for (HWND child : r.children)
    if (child->control == Win32ControlKind::Button && (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON &&
        focusable(child))
      return child;
  return nullptr;
}

HWND validFocus(UiWindow* ui) {
  std::vector<HWND> order = tabOrder(*ui->window);
  for (HWND c : order)
    if (c == ui->focus) return c;
  ui->focus = order.empty() ? nullptr : order.front();
  return ui->focus;
}

// The keyboard as users of such a dialog expect it: Tab and Shift+Tab move the focus,
// the arrow keys change the focused list, Space presses the focused box or button, Enter
// the default button, Escape closes the window. Returns false for keys left to others.
bool handleKey(UiWindow* ui, const SDL_KeyboardEvent& key) {
  HWND window = ui->window;
  HWND focus = validFocus(ui);
  switch (key.keysym.sym) {
    case SDLK_TAB: {
      std::vector<HWND> order = tabOrder(*window);
      if (order.empty()) return true;
      std::size_t at = 0;
      while (at < order.size() && order[at] != focus) ++at;
      if (at == order.size()) at = 0;
      bool back = (key.keysym.mod & KMOD_SHIFT) != 0;
      ui->focus = order[(at + (back ? order.size() - 1 : 1)) % order.size()];
      return true;
    }
    case SDLK_UP:
    case SDLK_DOWN:
    case SDLK_LEFT:
    case SDLK_RIGHT: {
      if (focus == nullptr || focus->control != Win32ControlKind::ComboBox || focus->items.empty()) return true;
      bool up = key.keysym.sym == SDLK_UP || key.keysym.sym == SDLK_LEFT;
      int count = static_cast<int>(focus->items.size());
      int next = focus->selection < 0 ? 0 : focus->selection + (up ? -1 : 1);
      if (next >= 0 && next < count && next != focus->selection) win32ComboUserSelect(focus, next);
      return true;
    }
    case SDLK_SPACE:
      if (focus != nullptr && focus->control == Win32ControlKind::Button) SendMessageA(focus, BM_CLICK, 0, 0);
      return true;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      if (key.repeat != 0) return true;
      if (HWND button = defaultButton(*window)) SendMessageA(button, BM_CLICK, 0, 0);
      return true;
    case SDLK_ESCAPE:
      PostMessageA(window, WM_CLOSE, 0, 0);
      return true;
    default:
      return false;
  }
}

constexpr const char* kDialogFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr float kDialogFontPixels = 12.0f;

void applyStyle() {
  ImGui::StyleColorsLight();
  ImGuiStyle& style = ImGui::GetStyle();
  style.WindowPadding = ImVec2(0, 0);
  style.FramePadding = ImVec2(4, 1);
  style.ItemSpacing = ImVec2(4, 2);
  style.WindowRounding = 0;
  style.FrameRounding = 0;
  style.FrameBorderSize = 1;
  style.Colors[ImGuiCol_WindowBg] = ImVec4(0.75f, 0.75f, 0.75f, 1.0f);  // the light-grey brush
  style.Colors[ImGuiCol_Text] = ImVec4(0, 0, 0, 1);
  style.Colors[ImGuiCol_FrameBg] = ImVec4(1, 1, 1, 1);
  style.Colors[ImGuiCol_Button] = ImVec4(0.83f, 0.82f, 0.78f, 1);
  // An open list hides what lies beneath it.
  style.Colors[ImGuiCol_PopupBg] = ImVec4(1, 1, 1, 1);
}

UiWindow* open(Win32Window& r) {
  if (r.sdl == nullptr) return nullptr;
  SDL_GLContext previous = SDL_GL_GetCurrentContext();
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext gl = SDL_GL_CreateContext(r.sdl);
  if (gl == nullptr) return nullptr;
  auto* ui = new UiWindow();
  ui->window = &r;
  ui->gl = gl;
  ui->clearColor = reinterpret_cast<decltype(ui->clearColor)>(SDL_GL_GetProcAddress("glClearColor"));
  ui->clear = reinterpret_cast<decltype(ui->clear)>(SDL_GL_GetProcAddress("glClear"));
  ui->viewport = reinterpret_cast<decltype(ui->viewport)>(SDL_GL_GetProcAddress("glViewport"));
  SDL_GL_SetSwapInterval(1);
  IMGUI_CHECKVERSION();
  ui->imgui = ImGui::CreateContext();
  ImGui::SetCurrentContext(ui->imgui);
  ImGui::GetIO().IniFilename = nullptr;
  applyStyle();
  // A proportional face about as wide as a dialog font, so labels fit their controls; the
  // built-in fixed-width font stands in where it is not installed.
  if (std::FILE* font = std::fopen(kDialogFontFile, "rb")) {
    std::fclose(font);
    ImGui::GetIO().Fonts->AddFontFromFileTTF(kDialogFontFile, kDialogFontPixels);
  }
  ImGui_ImplSDL2_InitForOpenGL(r.sdl, gl);
  ImGui_ImplOpenGL3_Init("#version 330 core");
  SDL_GL_MakeCurrent(previousWindow, previous);
  r.ui = ui;
  active = ui;
  return ui;
}

void close(UiWindow* ui) {
  SDL_GLContext previous = SDL_GL_GetCurrentContext();
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GL_MakeCurrent(ui->window->sdl, ui->gl);
  ImGui::SetCurrentContext(ui->imgui);
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext(ui->imgui);
  SDL_GL_MakeCurrent(ui->window->sdl, nullptr);
  SDL_GL_DeleteContext(ui->gl);
  if (previous != ui->gl) SDL_GL_MakeCurrent(previousWindow, previous);
  if (active == ui) active = nullptr;
  delete ui;
}

void drawControl(HWND control, HWND focus, std::vector<Action>& actions) {
  Win32Window& c = *control;
  if ((c.style & WS_VISIBLE) == 0) return;
  if (control == focus) {
    // The focus: a dotted-looking frame just outside the control.
    ImVec2 origin = ImGui::GetWindowPos();
    float left = origin.x + static_cast<float>(c.x) - 1;
    float top = origin.y + static_cast<float>(c.y) - 1;
    float height = c.control == Win32ControlKind::ComboBox ? ImGui::GetFrameHeight() : static_cast<float>(c.height);
    ImGui::GetWindowDrawList()->AddRect(
        ImVec2(left, top), ImVec2(left + static_cast<float>(c.width) + 2, top + height + 2), IM_COL32(0, 0, 160, 255));
  }
  ImGui::PushID(control);
  ImGui::SetCursorPos(ImVec2(static_cast<float>(c.x), static_cast<float>(c.y)));
  float width = static_cast<float>(c.width);
  switch (c.control) {
    case Win32ControlKind::Static: {
      float textWidth = ImGui::CalcTextSize(c.text.c_str()).x;
      DWORD align = c.style & 3;
      float offset = align == SS_CENTER ? (width - textWidth) / 2 : align == SS_RIGHT ? width - textWidth : 0;
      if (offset > 0) ImGui::SetCursorPosX(static_cast<float>(c.x) + offset);
      ImGui::TextUnformatted(c.text.c_str());
      break;
    }
    case Win32ControlKind::Button: {
      DWORD type = c.style & BS_TYPEMASK;
      if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) {
        bool checked = c.check == BST_CHECKED;
        if (ImGui::Checkbox(c.text.c_str(), &checked)) actions.push_back(Action{control, -1});
      } else if (ImGui::Button(c.text.c_str(), ImVec2(width, static_cast<float>(c.height)))) {
        actions.push_back(Action{control, -1});
      }
      break;
    }
    case Win32ControlKind::ComboBox: {
      ImGui::SetNextItemWidth(width);
      const char* preview = c.selection >= 0 ? c.items[c.selection].c_str() : "";
      if (ImGui::BeginCombo("##list", preview)) {
        for (int i = 0; i < static_cast<int>(c.items.size()); ++i) {
          if (ImGui::Selectable(c.items[i].c_str(), i == c.selection) && i != c.selection)
            actions.push_back(Action{control, i});
        }
        ImGui::EndCombo();
      }
      break;
    }
    default:
      break;
  }
  ImGui::PopID();
}

void drawWindow(UiWindow* ui) {
  Win32Window& r = *ui->window;
  if ((r.style & WS_VISIBLE) == 0) return;
  // About 60 frames a second even where the buffer swap does not wait for the display.
  Uint32 now = SDL_GetTicks();
  if (ui->drawn && now - ui->lastDraw < 15) {
    // Sleeps until the desktop has something to say or the next frame is due.
    SDL_WaitEventTimeout(nullptr, static_cast<int>(15 - (now - ui->lastDraw)));
    return;
  }
  ui->drawn = true;
  ui->lastDraw = now;
  SDL_GLContext previous = SDL_GL_GetCurrentContext();
  SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
  SDL_GL_MakeCurrent(r.sdl, ui->gl);
  ImGui::SetCurrentContext(ui->imgui);
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();
  int w = 0;
  int h = 0;
  SDL_GL_GetDrawableSize(r.sdl, &w, &h);
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
  ImGui::Begin("##client", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoBringToFrontOnFocus);
  std::vector<Action> actions;
  std::vector<HWND> children = r.children;
  HWND focus = validFocus(ui);
  for (HWND child : children) drawControl(child, focus, actions);
  ImGui::End();
  ImGui::Render();
  if (ui->viewport != nullptr) ui->viewport(0, 0, w, h);
  if (ui->clearColor != nullptr && ui->clear != nullptr) {
    ui->clearColor(0.75f, 0.75f, 0.75f, 1.0f);
    ui->clear(kGlColorBufferBit);
  }
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  SDL_GL_SwapWindow(r.sdl);
  // Whoever rendered before finds its own context current again (or none).
  SDL_GL_MakeCurrent(previousWindow, previous);

  HWND window = ui->window;
  for (const Action& action : actions) {
    if (win32Record(action.control) == nullptr || win32Record(window) == nullptr) break;
    ui->focus = action.control;
    if (action.choice >= 0)
      win32ComboUserSelect(action.control, action.choice);
    else
      SendMessageA(action.control, BM_CLICK, 0, 0);
  }
}

}  // namespace

bool win32ControlsTakeEvent(const SDL_Event& event) {
  if (active == nullptr) return false;
  Uint32 windowId = 0;
  switch (event.type) {
    case SDL_MOUSEMOTION:
      windowId = event.motion.windowID;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      windowId = event.button.windowID;
      break;
    case SDL_MOUSEWHEEL:
      windowId = event.wheel.windowID;
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      windowId = event.key.windowID;
      break;
    case SDL_TEXTINPUT:
      windowId = event.text.windowID;
      break;
    case SDL_WINDOWEVENT:
      // Focus and size reach ImGui too; the window's own messages still follow.
      if (active->window->sdl == SDL_GetWindowFromID(event.window.windowID)) {
        ImGui::SetCurrentContext(active->imgui);
        ImGui_ImplSDL2_ProcessEvent(&event);
      }
      return false;
    default:
      return false;
  }
  // Keys that come before SDL knows the focus belong to the window just shown.
  bool early = windowId == 0 && (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP) &&
               (active->window->style & WS_VISIBLE) != 0;
  if (!early && active->window->sdl != SDL_GetWindowFromID(windowId)) return false;
  if (event.type == SDL_KEYDOWN && handleKey(active, event.key)) return true;
  if (event.type == SDL_KEYUP) return true;
  ImGui::SetCurrentContext(active->imgui);
  ImGui_ImplSDL2_ProcessEvent(&event);
  return true;
}

void win32ControlsDraw() {
  if (active == nullptr) {
    for (HWND window : win32Windows()) {
      if (window->parent == nullptr && window->sdl != nullptr && !window->sdlLost && holdsControls(*window)) {
        open(*window);
        break;
      }
    }
  }
  if (active != nullptr) drawWindow(active);
}

bool win32ControlsActive() { return active != nullptr; }

void win32ControlsRelease(Win32Window& record) {
  if (record.ui == nullptr) return;
  close(static_cast<UiWindow*>(record.ui));
  record.ui = nullptr;
}
