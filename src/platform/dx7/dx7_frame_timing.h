// Where the main thread's time goes, frame by frame, for benchmarks: inside the Direct3D and
// DirectDraw calls that issue GL work (the driver), inside presenting and reading frames back
// (waiting for the rasteriser), and the rest (the engine). Off unless a log is set.
#pragma once

#include <chrono>
#include <vector>

struct Dx7FrameTiming {
  double seconds = 0.0;        // from the end of the previous frame to the end of this one
  double driverSeconds = 0.0;  // drawing, clearing, blitting, locking
  double waitSeconds = 0.0;    // presenting and reading the frame back
  int draws = 0;               // primitive batches drawn
};

// Frames end when a presented frame is read back. Null stops recording.
void dx7SetFrameTimingLog(std::vector<Dx7FrameTiming>* log);

namespace dx7timing {

enum class Kind { Driver, Wait };

// Adds the scope's duration to the frame being recorded (nothing while no log is set; scopes
// inside scopes count once).
class Scope {
 public:
  explicit Scope(Kind kind);
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  Kind kind_;
  bool active_ = false;
  std::chrono::steady_clock::time_point start_;
};

// Counts a primitive batch in the frame being recorded.
void countDraw();

// Closes the frame being recorded.
void endFrame();

}  // namespace dx7timing
