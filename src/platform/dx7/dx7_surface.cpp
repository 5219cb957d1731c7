// DirectDraw surfaces: pixels in their own format (in memory, or in GL for render targets and
// z-buffers), Lock/Unlock, stretching Blt with a source colour key, colour and depth fills,
// Flip and presenting, attachments (back buffers, mip levels, z-buffers), loss and restore.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/dx7/dx7_frame_timing.h"
#include "platform/dx7/dx7_objects.h"
#include "platform/dx7/ffp/dx7_blitter.h"
#include "platform/dx7/ffp/gl_context.h"

namespace {

// Every GL state change goes through the context's shadow, shared with the pipeline.
GlState& glState() { return GlContext::instance().state(); }

// Surfaces whose DirectDraw object is gone but which are still referenced.
std::vector<Dx7Surface*>& orphans() {
  static auto* list = new std::vector<Dx7Surface*>();
  return *list;
}

// Raster operations Blt performs.
constexpr DWORD kSrcCopy = 0x00CC0020;
constexpr DWORD kBlackness = 0x00000042;
constexpr DWORD kWhiteness = 0x00FF0062;

bool rectInside(const RECT& r, DWORD width, DWORD height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= static_cast<LONG>(width) &&
         r.bottom <= static_cast<LONG>(height);
}

RECT wholeRect(DWORD width, DWORD height) { return RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)}; }

// Uploads rows of surface memory into a bound GL_TEXTURE_2D level, in the format's own GL type
// where GL has one, converted to 8-8-8-8 otherwise.
void uploadRows(const Dx7PixelLayout& layout, const std::uint8_t* memory, long pitch, int level, int x, int y,
                int width, int height, bool subImage) {
  GLenum format = GL_BGRA;
  GLenum type = GL_UNSIGNED_BYTE;
  bool direct = true;
  const DWORD r = layout.mask[0], g = layout.mask[1], b = layout.mask[2];
  const DWORD a = layout.hasAlpha ? layout.mask[3] : 0;
  if (layout.isArgb8888()) {
    format = GL_BGRA;
    type = GL_UNSIGNED_BYTE;
  } else if (layout.bytesPerPixel == 2 && r == 0xF800u && g == 0x07E0u && b == 0x001Fu && a == 0) {
    format = GL_RGB;
    type = GL_UNSIGNED_SHORT_5_6_5;
  } else if (layout.bytesPerPixel == 2 && r == 0x7C00u && g == 0x03E0u && b == 0x001Fu && (a == 0 || a == 0x8000u)) {
    format = GL_BGRA;
    type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
  } else if (layout.bytesPerPixel == 2 && r == 0x0F00u && g == 0x00F0u && b == 0x000Fu && (a == 0 || a == 0xF000u)) {
    format = GL_BGRA;
    type = GL_UNSIGNED_SHORT_4_4_4_4_REV;
  } else {
    direct = false;
  }
  glState().bindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glState().pixelStore(GL_UNPACK_ALIGNMENT, 1);
  std::vector<std::uint32_t> converted;
  const void* data = memory + pitch * y + static_cast<long>(x) * layout.bytesPerPixel;
  if (direct) {
    glState().pixelStore(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(pitch / static_cast<long>(layout.bytesPerPixel)));
  } else {
    converted.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    layout.rowsToArgb(static_cast<const std::uint8_t*>(data), pitch, width, height, converted.data(), width);
    data = converted.data();
    format = GL_BGRA;
    type = GL_UNSIGNED_BYTE;
    glState().pixelStore(GL_UNPACK_ROW_LENGTH, 0);
  }
  if (subImage)
    glTexSubImage2D(GL_TEXTURE_2D, level, x, y, width, height, format, type, data);
  else
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, width, height, 0, format, type, data);
  glState().pixelStore(GL_UNPACK_ROW_LENGTH, 0);
}

}  // namespace

Dx7Surface::Dx7Surface(Dx7DirectDraw* owner, const DDSURFACEDESC2& desc, const Dx7PixelLayout& layout, Kind kind)
    : owner_(owner), desc_(desc), layout_(layout), kind_(kind) {
  desc_.dwSize = sizeof(DDSURFACEDESC2);
  desc_.lpSurface = nullptr;
  desc_.dwFlags &= ~(DDSD_LPSURFACE | DDSD_BACKBUFFERCOUNT);
  desc_.dwFlags |= DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | DDSD_PITCH;
  pitch_ = static_cast<long>(desc_.dwWidth) * static_cast<long>(layout_.bytesPerPixel);
  desc_.lPitch = static_cast<LONG>(pitch_);
  if (desc.dwFlags & DDSD_CKSRCBLT) {
    hasSrcKey_ = true;
    srcKey_ = desc.ddckCKSrcBlt;
  }
  if (desc.dwFlags & DDSD_CKDESTBLT) {
    hasDestKey_ = true;
    destKey_ = desc.ddckCKDestBlt;
  }
  memoryVersion_ = dx7NextVersion();
  if (kind_ == Kind::Texture || kind_ == Kind::Plain) ensureMemory();
  if (owner_) {
    modeSerial_ = owner_->modeSerial();
    owner_->registerSurface(this);
  }
}

Dx7Surface::~Dx7Surface() {
  auto& list = orphans();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void Dx7Surface::lastReferenceGone() {
  if (owner_) {
    GlContext::instance().makeCurrent();
    std::vector<Attachment> attached = attached_;
    attached_.clear();
    for (const Attachment& a : attached) {
      if (a.implicit) a.surface->parent_ = nullptr;
      a.surface->Release();
    }
    if (clipper_) clipper_->Release();
    clipper_ = nullptr;
    destroyGl();
    owner_->unregisterSurface(this);
    owner_ = nullptr;
  }
  delete this;
}

void Dx7Surface::orphan() {
  destroyGl();
  memory_.clear();
  memory_.shrink_to_fit();
  snapshot_.clear();
  snapshot_.shrink_to_fit();
  locked_ = false;
  lost_ = true;
  owner_ = nullptr;
  if (clipper_) clipper_->Release();
  clipper_ = nullptr;
  // References this surface holds on its attachments go; the attachments are orphaned by the
  // same DirectDraw object, which then deletes whatever nobody references any more.
  for (const Attachment& a : attached_) {
    a.surface->dropReference();
    a.surface->parent_ = nullptr;
  }
  attached_.clear();
  orphans().push_back(this);
}

std::vector<Dx7Surface*> Dx7Surface::allParts() {
  std::vector<Dx7Surface*> parts{this};
  for (size_t i = 0; i < parts.size(); ++i)
    for (const Attachment& a : parts[i]->attached_)
      if (a.implicit) parts.push_back(a.surface);
  return parts;
}

void Dx7Surface::addImplicitChild(Dx7Surface* child) {
  attached_.push_back({child, true});
  child->parent_ = this;
}

Dx7Surface* Dx7Surface::attachedZBuffer() const {
  for (const Attachment& a : attached_)
    if (a.surface->kind_ == Kind::ZBuffer) return a.surface;
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Memory and GL objects
// ---------------------------------------------------------------------------------------------

bool Dx7Surface::ensureMemory() {
  size_t size = static_cast<size_t>(pitch_) * desc_.dwHeight;
  if (memory_.size() != size) memory_.assign(size, 0);
  return true;
}

bool Dx7Surface::createGlObjects() {
  // The front of a flipping chain keeps its contents in GL too: flips pass them round the chain.
  const bool flippingFront = kind_ == Kind::Primary && (desc_.ddsCaps.dwCaps & DDSCAPS_FLIP);
  if (kind_ != Kind::RenderTarget && kind_ != Kind::ZBuffer && !flippingFront) return true;
  if (!GlContext::instance().makeCurrent()) return false;
  GLsizei w = static_cast<GLsizei>(desc_.dwWidth), h = static_cast<GLsizei>(desc_.dwHeight);
  glGenTextures(1, &texture_);
  glState().bindTexture(texture_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glGenFramebuffers(1, &fbo_);
  glState().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
  bool complete = false;
  if (kind_ != Kind::ZBuffer) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  } else {
    GLenum attachment = layout_.stencilBits ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    // A 32-bit z-buffer keeps 24 bits in GL: with 32-bit integer depth one polygon-offset
    // unit (2^-32) drowns in the rasteriser's float depth, and a z-biased later pass of the
    // same triangle would no longer win. Locks still see 32-bit values.
    GLenum internal = layout_.stencilBits   ? GL_DEPTH24_STENCIL8
                      : layout_.zBits == 16 ? GL_DEPTH_COMPONENT16
                                            : GL_DEPTH_COMPONENT24;
    GLenum format = layout_.stencilBits ? GL_DEPTH_STENCIL : GL_DEPTH_COMPONENT;
    GLenum type = layout_.stencilBits ? GL_UNSIGNED_INT_24_8 : GL_UNSIGNED_INT;
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal), w, h, 0, format, type, nullptr);
    glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, texture_, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }
  glState().bindTexture(0);
  glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
  if (!complete) {
    destroyGl();
    return false;
  }
  clearContents();
  return true;
}

void Dx7Surface::destroyGl() {
  if (texture_ == 0 && fbo_ == 0 && keyedTexture_ == 0) return;
  if (!GlContext::instance().makeCurrent()) {
    texture_ = fbo_ = keyedTexture_ = 0;
    return;
  }
  if (fbo_) glState().deleteFramebuffers(1, &fbo_);
  if (texture_) glState().deleteTextures(1, &texture_);
  if (keyedTexture_) glState().deleteTextures(1, &keyedTexture_);
  texture_ = fbo_ = keyedTexture_ = 0;
  textureLevels_ = 0;
  levelUploaded_.clear();
}

void Dx7Surface::clearContents() {
  if (!memory_.empty()) std::fill(memory_.begin(), memory_.end(), 0);
  memoryVersion_ = dx7NextVersion();
  if (fbo_ && GlContext::instance().makeCurrent()) {
    glState().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glState().enable(GL_SCISSOR_TEST, false);
    if (kind_ != Kind::ZBuffer) {
      glState().colorMask(true, true, true, true);
      glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
      glClear(GL_COLOR_BUFFER_BIT);
    } else {
      // A z-buffer nobody cleared holds zeros: every LESSEQUAL test against it fails.
      glState().depthMask(true);
      glState().stencilMask(0xFFFFFFFFu);
      glClearDepth(0.0);
      glClearStencil(0);
      glClear(GL_DEPTH_BUFFER_BIT | (layout_.stencilBits ? GL_STENCIL_BUFFER_BIT : 0));
    }
    glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
    memoryFresh_ = false;
  }
}

void Dx7Surface::markGlWritten() {
  memoryFresh_ = false;
  if (colourInGl())
    if (Dx7Surface* z = attachedZBuffer()) z->memoryFresh_ = false;
}

bool Dx7Surface::syncMemoryFromGl() {
  if (!colourInGl() && kind_ != Kind::ZBuffer) {
    ensureMemory();
    return true;
  }
  ensureMemory();
  if (memoryFresh_) return true;
  if (!fbo_ || !GlContext::instance().makeCurrent()) return false;
  GLsizei w = static_cast<GLsizei>(desc_.dwWidth), h = static_cast<GLsizei>(desc_.dwHeight);
  glState().bindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glState().bindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  glState().pixelStore(GL_PACK_ALIGNMENT, 1);
  glState().pixelStore(GL_PACK_ROW_LENGTH, 0);
  if (kind_ != Kind::ZBuffer) {
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    if (layout_.isArgb8888() && pitch_ == static_cast<long>(w) * 4) {
      glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, memory_.data());
      if (!layout_.hasAlpha) {
        // Bits outside the format's masks read as zero.
        auto* pixels = reinterpret_cast<std::uint32_t*>(memory_.data());
        for (size_t i = 0, n = static_cast<size_t>(w) * static_cast<size_t>(h); i < n; ++i) pixels[i] &= 0x00FFFFFFu;
      }
    } else {
      std::vector<std::uint32_t> argb(static_cast<size_t>(w) * static_cast<size_t>(h));
      glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_BYTE, argb.data());
      layout_.rowsFromArgb(argb.data(), w, w, h, memory_.data(), pitch_);
    }
  } else if (layout_.stencilBits) {
    glReadPixels(0, 0, w, h, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, memory_.data());
    depthFromGlPacking();
  } else if (layout_.zBits == 16) {
    glReadPixels(0, 0, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, memory_.data());
  } else {
    glReadPixels(0, 0, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, memory_.data());
    if (layout_.zBits == 24) depthFromGlPacking();
  }
  glState().bindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  memoryFresh_ = true;
  memoryVersion_ = dx7NextVersion();
  return true;
}

void Dx7Surface::uploadRenderTargetRows(int firstRow, int lastRow) {
  if (!texture_ || firstRow > lastRow || !GlContext::instance().makeCurrent()) return;
  glState().bindTexture(texture_);
  uploadRows(layout_, memory_.data(), pitch_, 0, 0, firstRow, static_cast<int>(desc_.dwWidth), lastRow - firstRow + 1,
             true);
  glState().bindTexture(0);
}

namespace {

int lowestBit(DWORD mask) { return mask ? std::countr_zero(mask) : 0; }

}  // namespace

// GL packs 24-bit depth in the top 24 bits of a 32-bit value and stencil in the low byte; the
// format's masks say where they go in memory (depth in the low 24 bits with 0x00FFFFFF).
void Dx7Surface::depthFromGlPacking() {
  const int zShift = lowestBit(layout_.zMask);
  const int sShift = layout_.stencilMask ? lowestBit(layout_.stencilMask) : (zShift == 0 ? 24 : 0);
  auto* values = reinterpret_cast<std::uint32_t*>(memory_.data());
  const size_t n = static_cast<size_t>(desc_.dwWidth) * desc_.dwHeight;
  for (size_t i = 0; i < n; ++i) {
    const std::uint32_t v = values[i];
    std::uint32_t out = ((v >> 8) << zShift) & layout_.zMask;
    if (layout_.stencilBits) out |= (v & 0xFFu) << sShift;
    values[i] = out;
  }
}

std::vector<std::uint32_t> Dx7Surface::depthToGlPacking() const {
  const int zShift = lowestBit(layout_.zMask);
  const int sShift = layout_.stencilMask ? lowestBit(layout_.stencilMask) : (zShift == 0 ? 24 : 0);
  const size_t n = static_cast<size_t>(desc_.dwWidth) * desc_.dwHeight;
  std::vector<std::uint32_t> values(n);
  std::memcpy(values.data(), memory_.data(), n * 4);
  for (std::uint32_t& v : values) {
    const std::uint32_t z = (v & layout_.zMask) >> zShift;
    // Without stencil the low byte repeats the top of the depth, as a 24-to-32-bit widening does.
    const std::uint32_t low = layout_.stencilBits ? (v >> sShift) & 0xFFu : (z >> 16) & 0xFFu;
    v = (z << 8) | low;
  }
  return values;
}

void Dx7Surface::uploadZBuffer() {
  if (!texture_ || !GlContext::instance().makeCurrent()) return;
  GLsizei w = static_cast<GLsizei>(desc_.dwWidth), h = static_cast<GLsizei>(desc_.dwHeight);
  glState().bindTexture(texture_);
  glState().bindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glState().pixelStore(GL_UNPACK_ALIGNMENT, 1);
  glState().pixelStore(GL_UNPACK_ROW_LENGTH, 0);
  if (layout_.stencilBits) {
    const std::vector<std::uint32_t> values = depthToGlPacking();
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, values.data());
  } else if (layout_.zBits == 16) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, memory_.data());
  } else if (layout_.zBits == 24) {
    const std::vector<std::uint32_t> values = depthToGlPacking();
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, values.data());
  } else {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, memory_.data());
  }
  glState().bindTexture(0);
}

bool Dx7Surface::uploadTextureLevels() {
  std::vector<Dx7Surface*> levels = allParts();
  if (texture_ != 0 && textureLevels_ == static_cast<int>(levels.size())) {
    // Every level as uploaded: no GL work (drawing asks for its textures on every draw).
    bool current = true;
    for (std::size_t l = 0; l < levels.size() && current; ++l) current = levelUploaded_[l] == levels[l]->memoryVersion_;
    if (current) return true;
  }
  if (!GlContext::instance().makeCurrent()) return false;
  if (texture_ == 0 || textureLevels_ != static_cast<int>(levels.size())) {
    if (texture_ == 0) glGenTextures(1, &texture_);
    textureLevels_ = static_cast<int>(levels.size());
    levelUploaded_.assign(levels.size(), 0);
    glState().bindTexture(texture_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, textureLevels_ - 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, textureLevels_ > 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Formats without alpha read alpha 1.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, layout_.hasAlpha ? GL_ALPHA : GL_ONE);
    for (int l = 0; l < textureLevels_; ++l) {
      Dx7Surface* s = levels[static_cast<size_t>(l)];
      glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, static_cast<GLsizei>(s->desc_.dwWidth),
                   static_cast<GLsizei>(s->desc_.dwHeight), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    }
  } else {
    glState().bindTexture(texture_);
  }
  for (int l = 0; l < textureLevels_; ++l) {
    Dx7Surface* s = levels[static_cast<size_t>(l)];
    if (levelUploaded_[static_cast<size_t>(l)] == s->memoryVersion_) continue;
    s->ensureMemory();
    uploadRows(s->layout_, s->memory_.data(), s->pitch_, l, 0, 0, static_cast<int>(s->desc_.dwWidth),
               static_cast<int>(s->desc_.dwHeight), true);
    levelUploaded_[static_cast<size_t>(l)] = s->memoryVersion_;
  }
  glState().bindTexture(0);
  return true;
}

GLuint Dx7Surface::samplingTexture() {
  switch (kind_) {
    case Kind::RenderTarget:
      return texture_;
    case Kind::Texture:
    case Kind::Plain: {
      Dx7Surface* top = this;
      while (top->parent_ && top->parent_->kind_ == kind_) top = top->parent_;
      if (!top->owner_) return 0;
      return top->uploadTextureLevels() ? top->texture_ : 0;
    }
    default:
      return 0;
  }
}

GLuint Dx7Surface::keyedTexture(const DDCOLORKEY& key) {
  if (!syncMemoryFromGl() || !GlContext::instance().makeCurrent()) return 0;
  if (keyedTexture_ && keyedVersion_ == memoryVersion_ && keyedKey_.dwColorSpaceLowValue == key.dwColorSpaceLowValue &&
      keyedKey_.dwColorSpaceHighValue == key.dwColorSpaceHighValue)
    return keyedTexture_;
  int w = static_cast<int>(desc_.dwWidth), h = static_cast<int>(desc_.dwHeight);
  DWORD colourBits = layout_.mask[0] | layout_.mask[1] | layout_.mask[2] | (layout_.hasAlpha ? layout_.mask[3] : 0);
  DWORD low = key.dwColorSpaceLowValue & colourBits, high = key.dwColorSpaceHighValue & colourBits;
  std::vector<std::uint32_t> argb(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = memory_.data() + pitch_ * y;
    for (int x = 0; x < w; ++x) {
      std::uint32_t raw = layout_.read(row + static_cast<long>(x) * layout_.bytesPerPixel) & colourBits;
      std::uint32_t c = layout_.toArgb(raw) & 0x00FFFFFFu;
      argb[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          (raw >= low && raw <= high) ? c : (c | 0xFF000000u);
    }
  }
  if (!keyedTexture_) glGenTextures(1, &keyedTexture_);
  glState().bindTexture(keyedTexture_);
  glState().bindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glState().pixelStore(GL_UNPACK_ALIGNMENT, 1);
  glState().pixelStore(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, argb.data());
  glState().bindTexture(0);
  keyedVersion_ = memoryVersion_;
  keyedKey_ = key;
  return keyedTexture_;
}

void Dx7Surface::attachDepthToFramebuffer(Dx7Surface* zbuffer) {
  if (!fbo_ || !GlContext::instance().makeCurrent()) return;
  glState().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
  if (zbuffer && zbuffer->texture_) {
    GLenum attachment = zbuffer->layout_.stencilBits ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, zbuffer->texture_, 0);
  }
  glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
}

// ---------------------------------------------------------------------------------------------
// Description, caps, keys, clipper, attachments
// ---------------------------------------------------------------------------------------------

HRESULT Dx7Surface::GetSurfaceDesc(LPDDSURFACEDESC2 desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  *desc = desc_;
  desc->lpSurface = nullptr;
  desc->lPitch = static_cast<LONG>(pitch_);
  if (hasSrcKey_) {
    desc->dwFlags |= DDSD_CKSRCBLT;
    desc->ddckCKSrcBlt = srcKey_;
  } else {
    desc->dwFlags &= ~DDSD_CKSRCBLT;
  }
  if (hasDestKey_) {
    desc->dwFlags |= DDSD_CKDESTBLT;
    desc->ddckCKDestBlt = destKey_;
  } else {
    desc->dwFlags &= ~DDSD_CKDESTBLT;
  }
  return DD_OK;
}

HRESULT Dx7Surface::GetPixelFormat(LPDDPIXELFORMAT format) {
  if (!format) return DDERR_INVALIDPARAMS;
  *format = desc_.ddpfPixelFormat;
  format->dwSize = sizeof(DDPIXELFORMAT);
  return DD_OK;
}

HRESULT Dx7Surface::GetCaps(LPDDSCAPS2 caps) {
  if (!caps) return DDERR_INVALIDPARAMS;
  *caps = desc_.ddsCaps;
  return DD_OK;
}

HRESULT Dx7Surface::SetColorKey(DWORD flags, LPDDCOLORKEY key) {
  bool source = (flags & DDCKEY_SRCBLT) != 0;
  bool dest = (flags & DDCKEY_DESTBLT) != 0;
  if (source == dest) return DDERR_INVALIDPARAMS;
  bool& has = source ? hasSrcKey_ : hasDestKey_;
  DDCOLORKEY& stored = source ? srcKey_ : destKey_;
  if (!key) {
    has = false;
    return DD_OK;
  }
  stored = *key;
  if (!(flags & DDCKEY_COLORSPACE)) stored.dwColorSpaceHighValue = stored.dwColorSpaceLowValue;
  has = true;
  return DD_OK;
}

HRESULT Dx7Surface::GetColorKey(DWORD flags, LPDDCOLORKEY key) {
  if (!key) return DDERR_INVALIDPARAMS;
  if (flags & DDCKEY_SRCBLT) {
    if (!hasSrcKey_) return DDERR_NOCOLORKEY;
    *key = srcKey_;
    return DD_OK;
  }
  if (flags & DDCKEY_DESTBLT) {
    if (!hasDestKey_) return DDERR_NOCOLORKEY;
    *key = destKey_;
    return DD_OK;
  }
  return DDERR_INVALIDPARAMS;
}

HRESULT Dx7Surface::SetClipper(LPDIRECTDRAWCLIPPER clipper) {
  auto* c = static_cast<Dx7Clipper*>(clipper);
  if (c) c->AddRef();
  if (clipper_) clipper_->Release();
  clipper_ = c;
  return DD_OK;
}

HRESULT Dx7Surface::GetClipper(LPDIRECTDRAWCLIPPER* clipper) {
  if (!clipper) return DDERR_INVALIDPARAMS;
  if (!clipper_) {
    *clipper = nullptr;
    return DDERR_NOCLIPPERATTACHED;
  }
  clipper_->AddRef();
  *clipper = clipper_;
  return DD_OK;
}

HRESULT Dx7Surface::GetDDInterface(LPVOID* directDraw) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  if (!owner_) return DDERR_INVALIDOBJECT;
  owner_->AddRef();
  *directDraw = static_cast<IDirectDraw7*>(owner_);
  return DD_OK;
}

HRESULT Dx7Surface::AddAttachedSurface(LPDIRECTDRAWSURFACE7 surface) {
  auto* s = static_cast<Dx7Surface*>(surface);
  if (!s || s == this) return DDERR_INVALIDPARAMS;
  if (!owner_ || s->owner_ != owner_) return DDERR_CANNOTATTACHSURFACE;
  if (s->kind_ != Kind::ZBuffer || (kind_ != Kind::RenderTarget && kind_ != Kind::Primary))
    return DDERR_CANNOTATTACHSURFACE;
  for (const Attachment& a : attached_)
    if (a.surface == s) return DDERR_SURFACEALREADYATTACHED;
  if (attachedZBuffer()) return DDERR_CANNOTATTACHSURFACE;
  if (s->desc_.dwWidth < desc_.dwWidth || s->desc_.dwHeight < desc_.dwHeight) return DDERR_CANNOTATTACHSURFACE;
  s->AddRef();
  attached_.push_back({s, false});
  attachDepthToFramebuffer(s);
  return DD_OK;
}

HRESULT Dx7Surface::DeleteAttachedSurface(DWORD, LPDIRECTDRAWSURFACE7 surface) {
  for (size_t i = 0; i < attached_.size(); ++i) {
    if (surface && attached_[i].surface != surface) continue;
    if (attached_[i].implicit) return DDERR_CANNOTDETACHSURFACE;
    Dx7Surface* s = attached_[i].surface;
    attached_.erase(attached_.begin() + static_cast<long>(i));
    if (s->kind_ == Kind::ZBuffer) attachDepthToFramebuffer(nullptr);
    s->Release();
    return DD_OK;
  }
  return DDERR_SURFACENOTATTACHED;
}

HRESULT Dx7Surface::GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) {
  if (!caps || !surface) return DDERR_INVALIDPARAMS;
  *surface = nullptr;
  for (const Attachment& a : attached_) {
    if ((a.surface->desc_.ddsCaps.dwCaps & caps->dwCaps) != caps->dwCaps) continue;
    a.surface->AddRef();
    *surface = a.surface;
    return DD_OK;
  }
  // A flipping chain is circular: the last back buffer leads back to the front.
  if (kind_ == Kind::RenderTarget && parent_) {
    bool last = true;
    for (const Attachment& a : attached_)
      if (a.implicit) last = false;
    Dx7Surface* front = parent_;
    while (front->parent_) front = front->parent_;
    if (last && front->kind_ == Kind::Primary && (front->desc_.ddsCaps.dwCaps & DDSCAPS_FLIP) &&
        (front->desc_.ddsCaps.dwCaps & caps->dwCaps) == caps->dwCaps) {
      front->AddRef();
      *surface = front;
      return DD_OK;
    }
  }
  return DDERR_NOTFOUND;
}

// ---------------------------------------------------------------------------------------------
// Loss
// ---------------------------------------------------------------------------------------------

HRESULT Dx7Surface::IsLost() { return lost_ ? DDERR_SURFACELOST : DD_OK; }

void Dx7Surface::loseContents() {
  if (!owner_) return;
  lost_ = true;
  clearContents();
  keyedVersion_ = 0;
}

HRESULT Dx7Surface::Restore() {
  if (!owner_) return DDERR_SURFACELOST;
  if (kind_ == Kind::Primary && modeSerial_ != owner_->modeSerial()) return DDERR_WRONGMODE;
  for (Dx7Surface* part : allParts()) {
    part->lost_ = false;
    part->modeSerial_ = owner_->modeSerial();
  }
  return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// Lock / Unlock
// ---------------------------------------------------------------------------------------------

HRESULT Dx7Surface::Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE) {
  dx7timing::Scope timing(dx7timing::Kind::Driver);
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  if (!owner_ || lost_) return DDERR_SURFACELOST;
  if (locked_) return DDERR_SURFACEBUSY;
  RECT r = rect ? *rect : wholeRect(desc_.dwWidth, desc_.dwHeight);
  if (!rectInside(r, desc_.dwWidth, desc_.dwHeight)) return DDERR_INVALIDRECT;
  if (!syncMemoryFromGl()) return DDERR_GENERIC;
  if ((colourInGl() || kind_ == Kind::ZBuffer) && !(flags & DDLOCK_READONLY)) snapshot_ = memory_;
  locked_ = true;
  lockFlags_ = flags;
  GetSurfaceDesc(desc);
  desc->dwFlags |= DDSD_LPSURFACE | DDSD_PITCH;
  desc->lpSurface = memory_.data() + pitch_ * r.top + static_cast<long>(r.left) * layout_.bytesPerPixel;
  return DD_OK;
}

HRESULT Dx7Surface::Unlock(LPRECT) {
  dx7timing::Scope timing(dx7timing::Kind::Driver);
  if (!locked_) return DDERR_NOTLOCKED;
  locked_ = false;
  if (!owner_ || (lockFlags_ & DDLOCK_READONLY)) return DD_OK;
  if (colourInGl()) {
    // Write back only the rows the application changed.
    int first = -1, last = -1;
    for (int y = 0; y < static_cast<int>(desc_.dwHeight); ++y) {
      size_t offset = static_cast<size_t>(pitch_) * static_cast<size_t>(y);
      if (std::memcmp(memory_.data() + offset, snapshot_.data() + offset, static_cast<size_t>(pitch_)) != 0) {
        if (first < 0) first = y;
        last = y;
      }
    }
    if (first >= 0) {
      uploadRenderTargetRows(first, last);
      memoryVersion_ = dx7NextVersion();
    }
  } else if (kind_ == Kind::ZBuffer) {
    if (memory_ != snapshot_) {
      uploadZBuffer();
      memoryVersion_ = dx7NextVersion();
    }
  } else {
    memoryVersion_ = dx7NextVersion();
  }
  snapshot_.clear();
  return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// Blt, Flip, presenting
// ---------------------------------------------------------------------------------------------

HRESULT Dx7Surface::Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags, LPDDBLTFX fx) {
  dx7timing::Scope timing(dx7timing::Kind::Driver);
  if (!owner_ || lost_) return DDERR_SURFACELOST;
  if (locked_) return DDERR_SURFACEBUSY;
  // Alpha and z-buffer blending flags are not implemented by the platform's blitter either: the
  // blit goes on as a plain copy.
  constexpr DWORD kUnsupported = DDBLT_DDFX | DDBLT_DDROPS | DDBLT_ROTATIONANGLE;
  if (flags & kUnsupported) return DDERR_UNSUPPORTED;
  bool needsEffects =
      (flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL | DDBLT_ROP | DDBLT_KEYSRCOVERRIDE | DDBLT_KEYDESTOVERRIDE)) != 0;
  if (needsEffects && (!fx || fx->dwSize != sizeof(DDBLTFX))) return DDERR_INVALIDPARAMS;
  if ((flags & DDBLT_KEYSRC) && (flags & DDBLT_KEYSRCOVERRIDE)) return DDERR_INVALIDPARAMS;
  if ((flags & DDBLT_KEYDEST) && (flags & DDBLT_KEYDESTOVERRIDE)) return DDERR_INVALIDPARAMS;
  if ((flags & DDBLT_KEYDEST) && !hasDestKey_) return DDERR_INVALIDPARAMS;
  const bool rop = (flags & DDBLT_ROP) != 0 && !(flags & (DDBLT_COLORFILL | DDBLT_DEPTHFILL));
  if (rop && fx->dwROP != kSrcCopy && fx->dwROP != kBlackness && fx->dwROP != kWhiteness) return DDERR_NORASTEROPHW;

  RECT dst = destRect ? *destRect : wholeRect(desc_.dwWidth, desc_.dwHeight);
  if (kind_ != Kind::Primary && !rectInside(dst, desc_.dwWidth, desc_.dwHeight)) return DDERR_INVALIDRECT;

  if (flags & DDBLT_COLORFILL) return colourFill(dst, fx->dwFillColor);
  if (flags & DDBLT_DEPTHFILL) return depthFill(dst, fx->dwFillDepth);
  // The raster operations that need no source: every bit cleared or set.
  if (rop && fx->dwROP == kBlackness) return bitsFill(dst, false);
  if (rop && fx->dwROP == kWhiteness) return bitsFill(dst, true);

  auto* src = static_cast<Dx7Surface*>(source);
  if (!src) return DDERR_INVALIDPARAMS;
  if (!src->owner_ || src->lost_) return DDERR_SURFACELOST;
  if (src->locked_) return DDERR_SURFACEBUSY;
  RECT srcRect = sourceRect ? *sourceRect : wholeRect(src->desc_.dwWidth, src->desc_.dwHeight);
  if (!rectInside(srcRect, src->desc_.dwWidth, src->desc_.dwHeight)) return DDERR_INVALIDRECT;
  // A source key asked of a surface that has none is an error, not an unkeyed copy.
  if ((flags & DDBLT_KEYSRC) && !src->hasSrcKey_) return DDERR_INVALIDPARAMS;

  const DDCOLORKEY* key = nullptr;
  if (flags & DDBLT_KEYSRCOVERRIDE)
    key = &fx->ddckSrcColorkey;
  else if (flags & DDBLT_KEYSRC)
    key = &src->srcKey_;
  const DDCOLORKEY* destKey = nullptr;
  if (flags & DDBLT_KEYDESTOVERRIDE)
    destKey = &fx->ddckDestColorkey;
  else if (flags & DDBLT_KEYDEST)
    destKey = &destKey_;
  return bltFromSurface(dst, src, srcRect, key, destKey);
}

HRESULT Dx7Surface::BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags) {
  auto* src = static_cast<Dx7Surface*>(source);
  if (!src) return DDERR_INVALIDPARAMS;
  RECT s = sourceRect ? *sourceRect : wholeRect(src->desc_.dwWidth, src->desc_.dwHeight);
  RECT d{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x) + (s.right - s.left),
         static_cast<LONG>(y) + (s.bottom - s.top)};
  DWORD bltFlags = 0;
  if ((flags & DDBLTFAST_SRCCOLORKEY) && src->hasSrcKey_) bltFlags |= DDBLT_KEYSRC;
  if (flags & DDBLTFAST_DESTCOLORKEY) bltFlags |= DDBLT_KEYDEST;
  return Blt(&d, source, &s, bltFlags, nullptr);
}

void Dx7Surface::bltInMemory(RECT dst, Dx7Surface* src, RECT srcRect, const DDCOLORKEY* key,
                             const DDCOLORKEY* destKey) {
  int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
  ensureMemory();
  std::vector<std::uint8_t> copy;
  const std::uint8_t* srcMemory = src->memory_.data();
  if (src == this) {
    copy = memory_;
    srcMemory = copy.data();
  }
  auto colourBitsOf = [](const Dx7PixelLayout& l) {
    return l.mask[0] | l.mask[1] | l.mask[2] | (l.hasAlpha ? l.mask[3] : 0);
  };
  const DWORD colourBits = colourBitsOf(src->layout_);
  const DWORD low = key ? key->dwColorSpaceLowValue & colourBits : 0;
  const DWORD high = key ? key->dwColorSpaceHighValue & colourBits : 0;
  const DWORD destBits = colourBitsOf(layout_);
  const DWORD destLow = destKey ? destKey->dwColorSpaceLowValue & destBits : 0;
  const DWORD destHigh = destKey ? destKey->dwColorSpaceHighValue & destBits : 0;
  // Pixels of the same size and colour masks are copied bit for bit (an unused top bit goes
  // into an alpha bit as it is); other formats are converted.
  const bool raw = src->layout_.sameAs(layout_) ||
                   (src->layout_.bytesPerPixel == layout_.bytesPerPixel && src->layout_.rgb && layout_.rgb &&
                    src->layout_.mask[0] == layout_.mask[0] && src->layout_.mask[1] == layout_.mask[1] &&
                    src->layout_.mask[2] == layout_.mask[2]);
  const long sbpp = src->layout_.bytesPerPixel, dbpp = layout_.bytesPerPixel;
  // Destination pixel x takes source pixel floor(x * source size / destination size).
  std::vector<int> columns(static_cast<size_t>(dw));
  for (int x = 0; x < dw; ++x)
    columns[static_cast<size_t>(x)] = srcRect.left + static_cast<int>((static_cast<long long>(x) * sw) / dw);
  for (int y = 0; y < dh; ++y) {
    int sy = srcRect.top + static_cast<int>((static_cast<long long>(y) * sh) / dh);
    const std::uint8_t* srow = srcMemory + src->pitch_ * sy;
    std::uint8_t* drow = memory_.data() + pitch_ * (dst.top + y) + dst.left * dbpp;
    if (!key && !destKey && raw && dw == sw) {
      std::memmove(drow, srow + srcRect.left * sbpp, static_cast<size_t>(dw * sbpp));
      continue;
    }
    for (int x = 0; x < dw; ++x) {
      std::uint32_t value = src->layout_.read(srow + columns[static_cast<size_t>(x)] * sbpp);
      if (key) {
        std::uint32_t masked = value & colourBits;
        if (masked >= low && masked <= high) continue;
      }
      if (destKey) {
        // Only destination pixels inside the key's range are replaced.
        std::uint32_t masked = layout_.read(drow + x * dbpp) & destBits;
        if (masked < destLow || masked > destHigh) continue;
      }
      layout_.write(drow + x * dbpp, raw ? value : layout_.fromArgb(src->layout_.toArgb(value)));
    }
  }
  memoryVersion_ = dx7NextVersion();
}

HRESULT Dx7Surface::bltFromSurface(RECT dst, Dx7Surface* src, RECT srcRect, const DDCOLORKEY* key,
                                   const DDCOLORKEY* destKey) {
  if (kind_ == Kind::Primary) return present(src, srcRect, owner_->takeSwapInterval());
  int dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;

  if (kind_ == Kind::ZBuffer || src->kind_ == Kind::ZBuffer) {
    // Depth copies between z-buffers of one format, stretched like colour blits.
    if (kind_ != src->kind_ || !layout_.sameAs(src->layout_) || key || destKey) return DDERR_UNSUPPORTED;
    if (!src->syncMemoryFromGl() || !syncMemoryFromGl()) return DDERR_GENERIC;
    bltInMemory(dst, src, srcRect, nullptr, nullptr);
    uploadZBuffer();
    return DD_OK;
  }

  if (kind_ == Kind::RenderTarget && destKey) {
    // Destination keys need the destination's pixels: blit in memory and send the rows back.
    if (!src->syncMemoryFromGl() || !syncMemoryFromGl()) return DDERR_GENERIC;
    bltInMemory(dst, src, srcRect, key, destKey);
    uploadRenderTargetRows(dst.top, dst.bottom - 1);
    return DD_OK;
  }

  if (kind_ == Kind::RenderTarget) {
    if (!fbo_ || !GlContext::instance().makeCurrent()) return DDERR_GENERIC;
    const bool srcInGl = src->colourInGl();
    if (srcInGl && !key && src != this && dw == sw && dh == sh) {
      glState().bindFramebuffer(GL_READ_FRAMEBUFFER, src->fbo_);
      glReadBuffer(GL_COLOR_ATTACHMENT0);
      glState().bindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo_);
      glDrawBuffer(GL_COLOR_ATTACHMENT0);
      glState().enable(GL_SCISSOR_TEST, false);
      glState().colorMask(true, true, true, true);
      glBlitFramebuffer(srcRect.left, srcRect.top, srcRect.right, srcRect.bottom, dst.left, dst.top, dst.right,
                        dst.bottom, GL_COLOR_BUFFER_BIT, GL_NEAREST);
      glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
    } else {
      GLuint texture = 0;
      bool wholeTexture = src->kind_ == Kind::Plain || (src->kind_ == Kind::Texture && src->mipLevel_ == 0);
      if (srcInGl && !key && src != this) {
        texture = src->texture_;
      } else if (key || src == this || !wholeTexture) {
        static const DDCOLORKEY kNoKey{0xFFFFFFFFu, 0u};  // an empty range matches nothing
        texture = src->keyedTexture(key ? *key : kNoKey);
      } else {
        texture = src->samplingTexture();
      }
      if (!texture) return DDERR_GENERIC;
      Dx7Blitter::instance().draw(fbo_, static_cast<int>(desc_.dwWidth), static_cast<int>(desc_.dwHeight), dst, texture,
                                  static_cast<int>(src->desc_.dwWidth), static_cast<int>(src->desc_.dwHeight), srcRect,
                                  key != nullptr, !src->layout_.hasAlpha);
      glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    markGlWritten();
    return DD_OK;
  }

  // Destination in memory.
  if (!src->syncMemoryFromGl()) return DDERR_GENERIC;
  bltInMemory(dst, src, srcRect, key, destKey);
  return DD_OK;
}

HRESULT Dx7Surface::colourFill(const RECT& dst, DWORD colour) {
  if (kind_ == Kind::ZBuffer) return DDERR_INVALIDPARAMS;
  if (kind_ == Kind::RenderTarget) {
    if (!fbo_ || !GlContext::instance().makeCurrent()) return DDERR_GENERIC;
    std::uint32_t argb = layout_.toArgb(colour);
    glState().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glState().enable(GL_SCISSOR_TEST, true);
    glScissor(dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top);
    glState().colorMask(true, true, true, true);
    glClearColor(static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(argb & 0xFF) / 255.0f, static_cast<float>(argb >> 24) / 255.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glState().enable(GL_SCISSOR_TEST, false);
    glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
    markGlWritten();
    return DD_OK;
  }
  ensureMemory();
  for (LONG y = dst.top; y < dst.bottom; ++y)
    for (LONG x = dst.left; x < dst.right; ++x)
      layout_.write(memory_.data() + pitch_ * y + x * static_cast<long>(layout_.bytesPerPixel), colour);
  memoryVersion_ = dx7NextVersion();
  return DD_OK;
}

HRESULT Dx7Surface::depthFill(const RECT& dst, DWORD depth) {
  if (kind_ != Kind::ZBuffer) return DDERR_INVALIDPARAMS;
  if (!fbo_ || !GlContext::instance().makeCurrent()) return DDERR_GENERIC;
  double max = layout_.zBits >= 32 ? 4294967295.0 : static_cast<double>((1ull << layout_.zBits) - 1);
  DWORD z = (depth & layout_.zMask) >> lowestBit(layout_.zMask);
  glState().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glState().enable(GL_SCISSOR_TEST, true);
  glScissor(dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top);
  glState().depthMask(true);
  glClearDepth(std::min(1.0, static_cast<double>(z) / max));
  glClear(GL_DEPTH_BUFFER_BIT);
  glState().enable(GL_SCISSOR_TEST, false);
  glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
  markGlWritten();
  return DD_OK;
}

HRESULT Dx7Surface::bitsFill(const RECT& dst, bool ones) {
  if (kind_ != Kind::ZBuffer) return colourFill(dst, ones ? 0xFFFFFFFFu : 0u);
  if (!fbo_ || !GlContext::instance().makeCurrent()) return DDERR_GENERIC;
  glState().bindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glState().enable(GL_SCISSOR_TEST, true);
  glScissor(dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top);
  glState().depthMask(true);
  glClearDepth(ones ? 1.0 : 0.0);
  GLbitfield buffers = GL_DEPTH_BUFFER_BIT;
  if (layout_.stencilBits) {
    glState().stencilMask(0xFFFFFFFFu);
    glClearStencil(ones ? 0xFF : 0);
    buffers |= GL_STENCIL_BUFFER_BIT;
  }
  glClear(buffers);
  glState().enable(GL_SCISSOR_TEST, false);
  glState().bindFramebuffer(GL_FRAMEBUFFER, 0);
  markGlWritten();
  return DD_OK;
}

HRESULT Dx7Surface::present(Dx7Surface* source, const RECT&, int swapInterval) {
  dx7timing::Scope timing(dx7timing::Kind::Wait);
  if (!source->colourInGl() || !source->fbo_) return DDERR_UNSUPPORTED;
  HWND window = clipper_ ? clipper_->window() : owner_->window();
  GlContext::instance().present(source->fbo_, static_cast<int>(source->desc_.dwWidth),
                                static_cast<int>(source->desc_.dwHeight), window, swapInterval);
  return DD_OK;
}

void Dx7Surface::rotateFlipChain(Dx7Surface* overrideSurface) {
  std::vector<Dx7Surface*> chain;
  if (overrideSurface) {
    chain = {this, overrideSurface};
  } else {
    for (Dx7Surface* part : allParts())
      if (part == this || part->kind_ == Kind::RenderTarget) chain.push_back(part);
  }
  // The front takes the first back buffer's contents, each back buffer the next one's, and the
  // last back buffer what the front showed.
  for (size_t i = 0; i + 1 < chain.size(); ++i) {
    Dx7Surface* a = chain[i];
    Dx7Surface* b = chain[i + 1];
    std::swap(a->texture_, b->texture_);
    std::swap(a->fbo_, b->fbo_);
    std::swap(a->memory_, b->memory_);
    std::swap(a->memoryFresh_, b->memoryFresh_);
    std::swap(a->memoryVersion_, b->memoryVersion_);
  }
  // Depth buffers stay with their surfaces: attach them to the framebuffers the surfaces now have.
  for (Dx7Surface* part : chain) part->attachDepthToFramebuffer(part->attachedZBuffer());
}

HRESULT Dx7Surface::Flip(LPDIRECTDRAWSURFACE7 overrideSurface, DWORD flags) {
  if (!owner_ || lost_) return DDERR_SURFACELOST;
  if (kind_ != Kind::Primary || !(desc_.ddsCaps.dwCaps & DDSCAPS_FLIP)) return DDERR_NOTFLIPPABLE;
  if (locked_) return DDERR_SURFACEBUSY;
  Dx7Surface* back = static_cast<Dx7Surface*>(overrideSurface);
  if (!back) {
    for (const Attachment& a : attached_)
      if (a.implicit) back = a.surface;
  }
  if (!back) return DDERR_NOTFLIPPABLE;
  if (back->lost_) return DDERR_SURFACELOST;
  if (back->locked_) return DDERR_SURFACEBUSY;
  for (Dx7Surface* part : allParts())
    if (part->locked_) return DDERR_SURFACEBUSY;
  if (!fbo_)
    return present(back, wholeRect(back->desc_.dwWidth, back->desc_.dwHeight), (flags & DDFLIP_NOVSYNC) ? 0 : 1);
  rotateFlipChain(static_cast<Dx7Surface*>(overrideSurface));
  return present(this, wholeRect(desc_.dwWidth, desc_.dwHeight), (flags & DDFLIP_NOVSYNC) ? 0 : 1);
}
