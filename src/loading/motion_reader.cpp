// Motion blocks and value-or-envelope lines of scene files, read token by token.
#include "loading/motion_reader.h"

#include "loading/data_file.h"
#include "shell/memory_tracker.h"

#include <cstring>

namespace {

constexpr int32_t kTokenSize = 256;
// A scene item has at most nine channels; a count far beyond that is a damaged file.
constexpr int32_t kMaxChannels = 1024;

enum class BlockEnd { Closed, EndOfFile };

// Reads the tokens of one channel's envelope block up to its "}", adding keys and
// behaviours to envelope. The "}" may be the very first token.
BlockEnd readEnvelopeBlock(DataFile& file, Envelope* envelope) {
  char token[kTokenSize];
  for (;;) {
    file.readToken(token, kTokenSize);
    if (token[0] == '\0') {
      if (file.atEnd()) return BlockEnd::EndOfFile;
      continue;  // an empty token from a NUL byte
    }
    if (std::strcmp(token, "}") == 0) return BlockEnd::Closed;
    if (std::strcmp(token, "Envelope") == 0) {
      file.readInt();  // the key count; keys are counted as they come
    } else if (std::strcmp(token, "Behaviors") == 0) {
      envelope->preBehavior = static_cast<uint8_t>(file.readInt());
      envelope->postBehavior = static_cast<uint8_t>(file.readInt());
    } else if (std::strcmp(token, "Key") == 0) {
      EnvelopeKey key{};
      key.value = static_cast<float>(file.readReal());
      key.time = static_cast<float>(file.readReal());
      key.shape = static_cast<int8_t>(file.readInt());
      key.tension = static_cast<float>(file.readReal());
      key.continuity = static_cast<float>(file.readReal());
      key.bias = static_cast<float>(file.readReal());
      for (float& p : key.param) p = static_cast<float>(file.readReal());
      envelope->addKey(key);
    }
    // Any other token (such as "{") is skipped.
  }
}

}  // namespace

Motion* readMotion(DataFile& file, int16_t type) {
  char token[kTokenSize];
  int32_t channelsToRead = 99;
  int32_t blocksRead = 0;
  Motion* motion = nullptr;

  while (blocksRead < channelsToRead) {
    file.readToken(token, kTokenSize);
    if (token[0] == '\0' && file.atEnd()) break;  // the block ends with the file
    if (std::strcmp(token, "NumChannels") == 0) {
      const int32_t n = file.readInt();
      if (n < 0 || n > kMaxChannels || motion) break;  // damaged, or announced twice
      channelsToRead = n;
      motion = TRACKED_NEW Motion(n, type);
      if (!motion) return nullptr;
      if (motion->channelCount != n) break;  // channel array not allocated
    } else if (std::strcmp(token, "Channel") == 0) {
      ++blocksRead;
      const int32_t index = file.readInt();
      if (!motion || index < 0 || index >= motion->channelCount) break;
      if (readEnvelopeBlock(file, motion->channels[index]) != BlockEnd::Closed) break;
    }
    // Any other token outside a channel block is skipped.
  }
  if (motion && blocksRead >= channelsToRead) return motion;
  delete motion;
  return nullptr;
}

Motion* readValueEnvelope(DataFile& file, int32_t kind) {
  int32_t channelCount;
  if (kind == MotionScalar) {
    channelCount = 1;
  } else if (kind == MotionColor) {
    channelCount = 3;
  } else {
    return nullptr;
  }

  const uint32_t start = file.position;
  char token[kTokenSize];
  file.readToken(token, kTokenSize);
  // Back to where the value starts (at the end of the file there is nothing to go back to).
  if (start < file.size) file.seek(static_cast<int32_t>(start), 0);

  Motion* motion = TRACKED_NEW Motion(channelCount, static_cast<int16_t>(kind));
  if (!motion) return nullptr;
  if (std::strcmp(token, "(envelope)") != 0) {
    // Constant values: one linear key at time 0 per channel.
    for (int32_t i = 0; i < motion->channelCount; ++i) {
      EnvelopeKey key{};
      key.shape = ShapeLinear;
      key.value = static_cast<float>(file.readReal());
      motion->channels[i]->addKey(key);
    }
    return motion;
  }
  for (int32_t i = 0; i < motion->channelCount; ++i) {
    if (readEnvelopeBlock(file, motion->channels[i]) != BlockEnd::Closed) {
      delete motion;
      return nullptr;
    }
  }
  return motion;
}
