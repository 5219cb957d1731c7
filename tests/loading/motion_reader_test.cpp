// Motion blocks and value-or-envelope lines read from scene text; motion slots.
#include "loading/motion_reader.h"
#include "loading/data_file.h"
#include "support/loading_temp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// The text loaded into a DataFile, positioned at its start.
struct TextFile {
  LoadingTempFile temp;
  DataFile file;
  explicit TextFile(const std::string& text) : temp(text) { EXPECT_TRUE(file.open(temp.path(), 1)); }
  std::string token() {
    char buffer[256];
    file.readToken(buffer, sizeof buffer);
    return buffer;
  }
};

std::string channelBlock(int index, const std::string& body) {
  return "Channel " + std::to_string(index) + "\r\n{ Envelope\r\n" + body + "}\r\n";
}

}  // namespace

TEST(MotionReaderTest, ReadsAWholeObjectMotion) {
  std::string text = "\r\nNumChannels 9\r\n";
  for (int i = 0; i < 9; ++i) {
    text += channelBlock(i, "  2\r\n  Key " + std::to_string(i) +
                                " 0 0 0 0 0 0 0 0\r\n  Key 5.5 2 3 0.1 -0.2 0.3 7 8 9\r\n"
                                "  Behaviors 1 1\r\n");
  }
  text += "ParentItem 10000000\r\n";
  TextFile t(text);
  std::unique_ptr<Motion> motion(readMotion(t.file, MotionObject));
  ASSERT_NE(motion, nullptr);
  EXPECT_EQ(motion->type, MotionObject);
  ASSERT_EQ(motion->channelCount, 9);
  for (int i = 0; i < 9; ++i) {
    const Envelope* env = motion->channels[i];
    ASSERT_EQ(env->keyCount, 2);
    EXPECT_EQ(env->keys[0].value, static_cast<float>(i));
    const EnvelopeKey& k = env->keys[1];
    EXPECT_EQ(k.value, 5.5f);
    EXPECT_EQ(k.time, 2.0f);
    EXPECT_EQ(k.shape, 3);
    EXPECT_FLOAT_EQ(k.tension, 0.1f);
    EXPECT_FLOAT_EQ(k.continuity, -0.2f);
    EXPECT_FLOAT_EQ(k.bias, 0.3f);
    EXPECT_EQ(k.param[2], 9.0f);
  }
  // The reader stops right after the last channel block.
  EXPECT_EQ(t.token(), "ParentItem");
}

TEST(MotionReaderTest, BehaviorsShapesAndEmptyChannels) {
  TextFile t(
      "NumChannels 3\nChannel 2\n{ Envelope\n 1\n Key 1 0 1 0 0 0 0 0 0\n"
      " Behaviors 2 4\n}\nChannel 0 }\nChannel 1\n{ Envelope\n 1\n"
      " Key 4 1 2 0 0 0 0 0 0\n}\nNext");
  std::unique_ptr<Motion> motion(readMotion(t.file, MotionCamera));
  ASSERT_NE(motion, nullptr);
  EXPECT_EQ(motion->type, MotionCamera);
  ASSERT_EQ(motion->channelCount, 3);
  EXPECT_EQ(motion->channels[2]->preBehavior, EndRepeat);
  EXPECT_EQ(motion->channels[2]->postBehavior, EndOffsetRepeat);
  EXPECT_EQ(motion->channels[2]->keys[0].shape, 1);
  EXPECT_EQ(motion->channels[0]->keyCount, 0);  // "}" straight after the index
  EXPECT_EQ(motion->channels[0]->preBehavior, EndConstant);
  EXPECT_EQ(motion->channels[1]->keys[0].shape, 2);
  EXPECT_EQ(t.token(), "Next");
}

TEST(MotionReaderTest, MalformedBlocksGiveNull) {
  const char* cases[] = {
      "",                                                      // nothing at all
      "NumChannels 2\nChannel 0\n{ Envelope\n 1\n Key 1 0 3",  // ends inside a key
      "NumChannels 2\nChannel 0\n{ Envelope\n 0\n}\n",         // ends before channel 1
      "NumChannels 2\nChannel 2\n{ Envelope\n 0\n}\n",         // index not below the count
      "NumChannels 2\nChannel -1\n{ Envelope\n 0\n}\n",        // negative index
      "Channel 0\n{ Envelope\n 0\n}\n",                        // no NumChannels first
      "NumChannels -3\n",                                      // negative count
      "NumChannels 2000000000\nChannel 0 }\n",                 // absurd count
      "NumChannels 1\nNumChannels 1\nChannel 0 }\n",           // announced twice
  };
  for (const char* text : cases) {
    TextFile t(text);
    Motion* motion = readMotion(t.file, MotionObject);
    EXPECT_EQ(motion, nullptr) << text;
    delete motion;
    EXPECT_LE(t.file.position, t.file.size);
  }

  TextFile zero("NumChannels 0\nrest");
  std::unique_ptr<Motion> empty(readMotion(zero.file, MotionLight));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->channelCount, 0);
}

TEST(MotionReaderTest, ConstantValues) {
  TextFile scalar("0.8\r\nLightColor 1 0.5 0\r\n");
  std::unique_ptr<Motion> intensity(readValueEnvelope(scalar.file, MotionScalar));
  ASSERT_NE(intensity, nullptr);
  EXPECT_EQ(intensity->type, MotionScalar);
  ASSERT_EQ(intensity->channelCount, 1);
  ASSERT_EQ(intensity->channels[0]->keyCount, 1);
  const EnvelopeKey& key = intensity->channels[0]->keys[0];
  EXPECT_FLOAT_EQ(key.value, 0.8f);
  EXPECT_EQ(key.time, 0.0f);
  EXPECT_EQ(key.shape, ShapeLinear);
  EXPECT_EQ(key.tension, 0.0f);
  EXPECT_EQ(scalar.token(), "LightColor");  // the position is just after 0.8

  std::unique_ptr<Motion> color(readValueEnvelope(scalar.file, MotionColor));
  ASSERT_NE(color, nullptr);
  ASSERT_EQ(color->channelCount, 3);
  EXPECT_EQ(color->channels[0]->keys[0].value, 1.0f);
  EXPECT_EQ(color->channels[1]->keys[0].value, 0.5f);
  EXPECT_EQ(color->channels[2]->keys[0].value, 0.0f);

  EXPECT_EQ(readValueEnvelope(scalar.file, 4), nullptr);

  // At the very end of the file the values read as 0 and nothing is reread.
  TextFile end("x");
  end.token();
  std::unique_ptr<Motion> atEnd(readValueEnvelope(end.file, MotionScalar));
  ASSERT_NE(atEnd, nullptr);
  EXPECT_EQ(atEnd->channels[0]->keys[0].value, 0.0f);
  EXPECT_TRUE(end.file.atEnd());
}

TEST(MotionReaderTest, EnvelopeForms) {
  TextFile t(
      "(envelope)\n{ Envelope\n  2\n  Key 1 0 3 0 0 0 0 0 0\n  Key 0 2 3 0 0 0 0 0 0\n"
      "  Behaviors 1 2\n}\n{ Envelope\n  1\n  Key 0.5 0 0 0 0 0 0 0 0\n  Behaviors 3 4\n}\n"
      "}\nAfter\n(envelope)\n{ Envelope\n 1\n Key 0.25 0 3 0 0 0 0 0 0\n}\nLast");
  std::unique_ptr<Motion> color(readValueEnvelope(t.file, MotionColor));
  ASSERT_NE(color, nullptr);
  ASSERT_EQ(color->channelCount, 3);
  EXPECT_EQ(color->channels[0]->keyCount, 2);
  EXPECT_EQ(color->channels[0]->postBehavior, EndRepeat);
  EXPECT_EQ(color->channels[1]->keyCount, 1);
  EXPECT_EQ(color->channels[1]->keys[0].value, 0.5f);
  EXPECT_EQ(color->channels[1]->preBehavior, EndOscillate);
  EXPECT_EQ(color->channels[1]->postBehavior, EndOffsetRepeat);
  EXPECT_EQ(color->channels[2]->keyCount, 0);  // its first token was "}"
  EXPECT_EQ(t.token(), "After");

  std::unique_ptr<Motion> scalar(readValueEnvelope(t.file, MotionScalar));
  ASSERT_NE(scalar, nullptr);
  EXPECT_EQ(scalar->channels[0]->keys[0].value, 0.25f);
  EXPECT_EQ(t.token(), "Last");

  TextFile cut("(envelope)\n{ Envelope\n 1\n Key 0.25 0 3 0");
  EXPECT_EQ(readValueEnvelope(cut.file, MotionScalar), nullptr);
}

TEST(MotionSlotTest, FindsTheFirstSlotOfASceneFile) {
  Motion a(1, MotionScalar), b(1, MotionScalar), c(1, MotionScalar);
  MotionSlot slots[] = {{0, &a}, {2, &b}, {2, &c}};
  EXPECT_EQ(findMotionSlot(slots, 3, 2)->motion, &b);
  EXPECT_EQ(findMotionSlot(slots, 3, 1), nullptr);
  EXPECT_EQ(findMotionSlot(slots, 0, 0), nullptr);
  EXPECT_EQ(findMotionSlot(nullptr, 0, 0), nullptr);

  struct Item {
    int32_t motionCount;
    MotionSlot* motions;
  } item{3, slots};
  EXPECT_EQ(findMotionSlot(item, 0)->motion, &a);
  EXPECT_EQ(findMotionSlot(&item, 2), &slots[1]);
  Item* none = nullptr;
  EXPECT_EQ(findMotionSlot(none, 2), nullptr);
}

TEST(MotionTest, ConstructionDefaults) {
  Motion motion(9, MotionBone);
  EXPECT_EQ(motion.channelCount, 9);
  for (int i = 0; i < 9; ++i) {
    ASSERT_NE(motion.channels[i], nullptr);
    EXPECT_EQ(motion.channels[i]->preBehavior, EndConstant);
    EXPECT_EQ(motion.channels[i]->postBehavior, EndConstant);
  }
  EXPECT_EQ(motion.pivot[0], 0.0f);
  EXPECT_EQ(motion.restReady, 0);
  EXPECT_EQ(motion.parent, nullptr);
  EXPECT_EQ(motion.target, nullptr);
  uint32_t bits;
  std::memcpy(&bits, &motion.cachedTime, sizeof bits);
  EXPECT_EQ(bits, 0xC49AA2A0u);

  Motion none(-2, MotionObject);
  EXPECT_EQ(none.channelCount, 0);
  EXPECT_EQ(none.channels, nullptr);
}
