// The one OpenGL context of the process: on an SDL window when there is a display, on EGL
// surfaceless (Mesa) when headless. Every surface renders into framebuffer objects; presenting
// copies a frame into the kept "presented frame" and, with a display, shows it in a window.
// Every user of the context sets GL state through its one state shadow, state().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/dx7/ffp/gl_api.h"
#include "platform/dx7/ffp/gl_state.h"
#include "platform/win32/win32_types.h"

class GlContext {
 public:
  static GlContext& instance();

  // Creates the context on first use and makes it current. False when no context can exist.
  bool makeCurrent();

  // Makes the context current for the holder's lifetime, during which makeCurrent answers
  // without asking the window system (asking costs a system call per question). Nothing that
  // runs while one is held may switch contexts.
  class Hold {
   public:
    Hold() : ok_(instance().makeCurrent()) {
      if (ok_) ++instance().holds_;
    }
    ~Hold() {
      if (ok_) --instance().holds_;
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    bool ok() const { return ok_; }

   private:
    bool ok_;
  };
  // Makes the context current for its lifetime like a Hold, for the one who keeps work waiting
  // between its calls (see setStateKeeper): it does not have that work sent.
  class KeeperHold {
   public:
    KeeperHold() {
      ++instance().keeping_;
      ok_ = instance().makeCurrent();
      if (ok_) ++instance().holds_;
    }
    ~KeeperHold() {
      if (ok_) --instance().holds_;
      --instance().keeping_;
    }
    KeeperHold(const KeeperHold&) = delete;
    KeeperHold& operator=(const KeeperHold&) = delete;
    bool ok() const { return ok_; }

   private:
    bool ok_;
  };
  // Names a user that keeps work waiting between its calls (the fixed-function pipeline joins
  // triangles into one draw): the next makeCurrent or Hold of anyone else first calls
  // restore(owner), once, to send it. Null forgets it.
  void setStateKeeper(void (*restore)(void*), void* owner) {
    keeperRestore_ = restore;
    keeperOwner_ = owner;
  }

  // What the context holds, as far as its users told it; every GL state change goes through it.
  GlState& state() { return state_; }

  bool headless() const { return headless_; }
  bool valid() const { return valid_; }
  // Whether glClipControl is available (GL 4.5 or ARB_clip_control).
  bool hasClipControl() const { return hasClipControl_; }

  // Copies the colour attachment of framebuffer `source` (width x height, top row first) into
  // the presented frame and, with a display, shows it in `window`'s client area scaled with its
  // aspect kept (black bars), flipped so the top row is on top. swapInterval: 1 waits for the
  // vertical retrace, 0 does not.
  void present(GLuint source, int width, int height, HWND window, int swapInterval);

  // The last presented frame as 0xAARRGGBB values (alpha 0xFF), top row first.
  bool readPresentedFrame(std::vector<std::uint32_t>& pixels, int* width, int* height);
  std::uint64_t presentedFrameCount() const { return presentedCount_; }

  // Read-back through a ring of pixel buffer objects, so that copying a frame out overlaps
  // rendering the next ones: beginFrameRead starts copying the presented frame into the next
  // buffer (false when nothing was presented or all kFrameReadRing buffers are pending);
  // takeFrameRead gives the oldest pending frame as readPresentedFrame does.
  static constexpr int kFrameReadRing = 3;
  bool beginFrameRead();
  bool takeFrameRead(std::vector<std::uint32_t>& pixels, int* width, int* height);
  int pendingFrameReads() const { return pendingReads_; }
  // Forgets pending reads and frees the buffers.
  void resetFrameReads();

 private:
  GlContext() = default;
  bool create();
  bool createEgl();
  bool createSdl();

  // Runs the keeper's callback unless the keeper itself is in a KeeperHold.
  void restoreKeptState() {
    if (keeperRestore_ == nullptr || keeping_ > 0) return;
    void (*restore)(void*) = keeperRestore_;
    keeperRestore_ = nullptr;
    restore(keeperOwner_);
  }

  GlState state_;
  int holds_ = 0;
  int keeping_ = 0;
  void (*keeperRestore_)(void*) = nullptr;
  void* keeperOwner_ = nullptr;
  bool tried_ = false;
  bool valid_ = false;
  bool headless_ = true;
  bool hasClipControl_ = false;
  // EGL
  void* eglDisplay_ = nullptr;
  void* eglContext_ = nullptr;
  // SDL
  void* sdlContext_ = nullptr;
  void* sdlHomeWindow_ = nullptr;

  GLuint presentedFbo_ = 0;
  GLuint presentedTexture_ = 0;
  int presentedWidth_ = 0;
  int presentedHeight_ = 0;
  std::uint64_t presentedCount_ = 0;

  struct FrameRead {
    GLuint buffer = 0;
    std::size_t capacity = 0;
    int width = 0;
    int height = 0;
  };
  FrameRead reads_[kFrameReadRing];
  int nextRead_ = 0;  // the slot beginFrameRead fills next
  int pendingReads_ = 0;
};
