// The Direct3D 7 graphics driver: adapter and mode choice, the render window, DirectDraw
// surfaces, z-buffer and device set-up, surface loss and device rebuild, and the per-frame
// operations (viewport, clear, present, transforms, material passes, drawing, lights, fog).
#pragma once

#include <cstdint>

#include "gfx/graphics_driver.h"
#include "platform/dx7/d3d.h"
#include "platform/dx7/ddraw.h"
#include "platform/win32/win32_types.h"

class DirectDrawTexture;
class Direct3DDriver;

// One enumerated DirectDraw adapter and its display modes of 15, 16, 24 or 32 bits.
struct AdapterInfo {
  char driverName[256];
  char description[256];
  // Heap copy of the adapter's GUID; null for the primary display driver.
  GUID* guid;
  int modeCount;
  // Display modes in the order DirectDraw reported them.
  DDSURFACEDESC2* modes;
};

// Video options given up front (the command line) instead of through the setup dialog.
struct VideoPreset {
  // Adapter index; -1 takes the default adapter.
  int adapter = -1;
  // Requested mode; width 0 takes the default mode. bitsPerPixel 0 means 32.
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  bool fullscreen = false;
  bool waitForRetrace = false;
  bool lowBppTextures = false;
  bool dither = true;
};

// What chooseVideoMode settled on.
enum class VideoChoice {
  kChosen,          // adapterIndex / modeIndex name a mode; width, height, bitsPerPixel hold it
  kNoModes,         // the chosen adapter offers no usable display mode
  kUnknownAdapter,  // the preset names an adapter the list lacks
  kUnknownMode,     // the preset names a mode the adapter lacks
};

// How the show's 4:3 frame sits in a display mode of another shape. kAuthored keeps the
// authored framing: the frame is drawn into the largest 4:3 region of the back buffer,
// centred, with black bars beside or above and below it. kFill draws into the whole back
// buffer and widens the horizontal field of view to the mode's shape (the vertical one
// stays). In a 4:3 mode both are the same.
enum class FrameFit { kAuthored, kFill };

// A region of the back buffer in pixels.
struct FrameRegion {
  int x;
  int y;
  int width;
  int height;
};

// The region of a width x height back buffer that holds the frame.
FrameRegion frameRegionOf(int width, int height, FrameFit fit);
// The factor by which kFill scales the horizontal projection of a width x height buffer
// (1 for kAuthored, for 4:3 and for an empty buffer).
float frameWideningOf(int width, int height, FrameFit fit);

// The video setup dialog: lets the user set adapterIndex, modeIndex, fullscreen,
// waitForRetrace, lowBppTextures and dither of the driver it is given.
using VideoSetupDialog = void (*)(Direct3DDriver& driver);

class Direct3DDriver : public GraphicsDriver {
 public:
  Direct3DDriver(HINSTANCE instance, const char* title);
  ~Direct3DDriver() override;

  // Set-up, window and surface loss.
  bool initialize() override;
  // Enumerates adapters and modes, then takes the preset or runs the setup dialog (the
  // preselection stands when no dialog is installed). False when no mode results; the
  // reason is in videoChoice. The arguments are ignored.
  bool chooseVideoMode(int, int) override;
  void setFullscreen(bool value) override;
  void restoreSurfaces() override;
  void saveSurfaces() override;

  // Frame, transforms and drawing.
  void setViewport(float left, float top, float right, float bottom) override;
  void clear(std::uint32_t colour, float z, int rectCount, const float* rects, bool clearDepth) override;
  void present(bool) override;
  void beginScene() override;
  void endScene() override;
  void setViewMatrix(const Matrix4& matrix) override;
  void setProjectionMatrix(const Matrix4& matrix) override;
  void setWorldMatrix(const Matrix4& matrix) override;
  bool projectToScreen(const Vector3& p, Vector3* out) override;
  bool createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) override;
  void drawTriangle(const Vertex& a, const Vertex& b, const Vertex& c) override;
  void drawBillboard(const Vector3& centre, float size) override;
  void drawPoint(const Vector3& p) override;

  // Textures.
  bool loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped) override;
  bool createTextureFromPixels(Texture** out, const char* textureName, int textureWidth, int textureHeight,
                               const std::uint8_t* rgb, const std::uint8_t* alphaPixels, bool mipmapped) override;
  bool createTexture(Texture** out, int textureWidth, int textureHeight, bool mipmapped, bool alpha) override;
  void releaseTexture(Texture* texture) override;

  // States, lights and fog.
  bool readPixelBlock(const Vector3& p, int out[9]) override;
  void setTexture(int stage, Texture* texture) override;
  bool applyMaterialPass(Material* material, int pass) override;
  void setAmbientLight(float r, float g, float b, float a) override;
  void enableLighting() override;
  void disableLighting() override;
  int addLight(LightParameters* light) override;
  int removeLight(LightParameters* light) override;
  void enableFog() override;
  void disableFog() override;

  // Recreates window, surfaces and device (after a mode change or a switch between window
  // and full screen) and carries the device state and texture contents over.
  virtual void rebuildDevice();

  // Releases the device and the DirectDraw objects and destroys the window.
  void releaseDevice();

  // The fit of drivers created from now on (the command line's choice).
  static void setDefaultFrameFit(FrameFit fit);
  // The region of the back buffer that holds the frame, for this driver's mode and fit.
  FrameRegion frameRegion() const;

  // The shell installs its setup dialog here; null keeps the preselection.
  static void setVideoSetupDialog(VideoSetupDialog dialog);
  // Options that choose without the dialog; chooseVideoMode then skips the dialog.
  void presetVideoOptions(const VideoPreset& preset);
  // Index of the mode of `adapter` with that size and depth, or -1.
  int findMode(int adapter, int modeWidth, int modeHeight, int modeBits) const;
  // The mode the dialog preselects for an adapter: the last 640 × 480 mode (preferring
  // 32 bits), else the first; -1 when the adapter has none.
  int defaultMode(int adapter) const;

  // Format choices of initialize (context: the driver): the z-buffer format and the texture
  // formats without and with alpha.
  static HRESULT CALLBACK depthFormatCallback(LPDDPIXELFORMAT format, LPVOID context);
  static HRESULT CALLBACK textureFormatCallback(LPDDPIXELFORMAT format, LPVOID context);

  // Window procedure of the render window class "MyDxWindow".
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  DirectDrawTexture* frontBuffer;
  DirectDrawTexture* backBuffer;
  DirectDrawTexture* depthBuffer;
  HWND window;
  HINSTANCE instance;
  IDirectDraw7* directDraw;
  IDirectDrawClipper* clipper;
  IDirectDrawSurface7* primarySurface;
  IDirectDrawSurface7* backSurface;
  IDirectDrawSurface7* depthSurface;
  IDirect3D7* direct3D;
  IDirect3DDevice7* device;
  DDPIXELFORMAT opaqueTextureFormat;
  DDPIXELFORMAT alphaTextureFormat;
  DDPIXELFORMAT depthFormat;
  GUID deviceGuid;
  int adapterIndex;
  int modeIndex;
  int adapterCount;
  AdapterInfo* adapters;
  bool waitForRetrace;
  bool dither;

  FrameFit frameFit;

  // Outcome of the last chooseVideoMode.
  VideoChoice videoChoice;
  bool hasPreset;
  VideoPreset preset;

 private:
  Matrix4 framedProjection(const Matrix4& matrix) const;
  bool createRenderWindow();
  bool createBuffers();
  bool chooseDevice();
  bool createDepthBuffer();
  void setInitialState();
  void freeAdapters();
  void handleActivation(bool activated);

  static VideoSetupDialog videoSetupDialog;
};

// DirectDraw enumeration callbacks that fill the driver's adapter list.
// enumerateAdapter: context is the Direct3DDriver; appends one AdapterInfo.
BOOL WINAPI enumerateAdapter(GUID* guid, LPSTR description, LPSTR driverName, LPVOID context, HMONITOR monitor);
// enumerateMode: context is one AdapterInfo; keeps modes of 15, 16, 24 and 32 bits.
HRESULT WINAPI enumerateMode(LPDDSURFACEDESC2 mode, LPVOID context);
