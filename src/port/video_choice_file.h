// The video setup dialog's memory: the last accepted choice, kept in
// $XDG_CONFIG_HOME/vellumite/video.ini (~/.config/vellumite/video.ini without it) and
// preselected at the next start.
#pragma once

#include <string>

struct VideoChoiceRecord {
  std::string adapter;  // the adapter's description as listed
  std::string mode;     // the mode's entry as listed, e.g. "800x600x32Bpp"
  bool fullscreen = false;
  bool waitForRetrace = false;
  bool lowBppTextures = false;
  bool dither = true;
};

// The file's path; empty when neither XDG_CONFIG_HOME nor HOME names a folder.
std::string videoChoicePath();

// Reads a record. False for a missing file and for a broken one (a line that is not
// "key=value" under the one section, an unknown key, a flag other than 0 or 1, a missing
// key, an over-long file): such a file is ignored as a whole.
bool readVideoChoice(const std::string& path, VideoChoiceRecord* record);

// Writes the record, creating the folders on the way; false when it cannot be written.
bool writeVideoChoice(const std::string& path, const VideoChoiceRecord& record);
