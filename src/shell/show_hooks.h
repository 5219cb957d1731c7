// The fixed points at which the show acts inside the entry's start-up, frame and shutdown:
// loading, the music start, the drawing of each frame, and the shutdown of music and scenes.
#pragma once

class GraphicsDriver;
class Camera;

class ShowHooks {
 public:
  virtual ~ShowHooks() = default;
  // Start-up, after lighting is enabled: pictures, the loading picture, sound and music,
  // the scenes. Nothing is loaded after this.
  virtual void load(GraphicsDriver* driver) { (void)driver; }
  // Start-up, with the show clock at 0, right before its first reading.
  virtual void startMusic() {}
  // One frame, between beginScene and endScene: the scenes of the timeline at showTime
  // seen through the frame camera, the music fade, the closing picture, light release.
  virtual void drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) {
    (void)driver;
    (void)showTime;
    (void)camera;
  }
  // Shutdown, first step: music stopped, scenes destroyed.
  virtual void shutdown() {}
};
