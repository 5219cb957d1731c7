// Score text: the notation read into steps and chords, mistakes reported with their line, and
// sections laid out on the rows and times the replayer will play them at.
#include "score.h"
#include "composer.h"

#include <gtest/gtest.h>

namespace {

const char* kChannels =
    "tempo 125\n"
    "groove 6 7 6 6\n"
    "channel drum kick volume 40\n"
    "channel keys pad voices 3 spread 60 center c4\n"
    "channel low bass center a2\n"
    "channel low2 bass volume 32 echo low 2\n";

TEST(Score, ReadsStepsChordsAndComments) {
  Score s;
  std::string error;
  ASSERT_TRUE(parseScore(std::string(kChannels) + "section one 4 cut 0   # a comment\n"
                                                  "chords Am:2 F#m7:2\n"
                                                  "drum@32+2 x.o.g _3 ^ !\n"
                                                  "low 1 5' 3, c#5 bb3\n",
                         s, error))
      << error;
  ASSERT_EQ(s.sections.size(), 1u);
  const ScoreSection& one = s.sections[0];
  ASSERT_EQ(one.chords.size(), 2u);
  EXPECT_EQ(one.chords[1].root, 6);  // F#
  EXPECT_EQ(one.chords[1].intervals, (std::vector<int>{0, 3, 7, 10}));
  const ScoreLine& drum = one.lines[0];
  EXPECT_EQ(drum.volume, 32);
  EXPECT_EQ(drum.offset, 2);
  EXPECT_TRUE(drum.once);
  ASSERT_EQ(drum.items.size(), 9u);  // x . o . g, three rests, a release
  EXPECT_EQ(drum.items[2].velocity, 40);
  EXPECT_EQ(drum.items[8].kind, ScoreItem::Off);
  const ScoreLine& low = one.lines[1];
  ASSERT_EQ(low.items.size(), 5u);
  EXPECT_EQ(low.items[1].octave, 1);
  EXPECT_EQ(low.items[2].octave, -1);
  EXPECT_EQ(low.items[3].value, 12 * 5 + 1 + 1);   // c#5
  EXPECT_EQ(low.items[4].value, 12 * 3 + 10 + 1);  // bb3
}

TEST(Score, ReportsMistakesWithTheirLine) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"section a 4\nnobody x\n", "line 8: unknown channel or statement nobody"},
      {"section a 4\nchords Hm:4\n", "line 8: chord Hm:4 is not SYMBOL:BEATS"},
      {"section a 4\ndrum x?\n", "line 8: cannot read step item x?"},
      {"drum x\n", "line 7: step line outside a section"},
      {"section a 0\n", "line 7: section beats must be a positive number"},
  };
  for (const Case& c : cases) {
    Score s;
    std::string error;
    EXPECT_FALSE(parseScore(std::string(kChannels) + c.text, s, error)) << c.text;
    EXPECT_EQ(error, c.error);
  }
}

TEST(Composer, LaysSectionsOnBeatsAndVoicesChords) {
  Score s;
  std::string error;
  ASSERT_TRUE(parseScore(std::string(kChannels) + "section intro 3 cut 0\n"
                                                  "chords C:3\n"
                                                  "keys c v20 _10\n"
                                                  "low 1 _3 ^\n"
                                                  "section main 70 cut 1.5\n"
                                                  "chords Am:4\n"
                                                  "drum x...\n"
                                                  "section last 1 cut 36.5\n"
                                                  "drum x\n",
                         s, error))
      << error;
  ComposedMusic m;
  ASSERT_TRUE(composeMusic(s, m, error)) << error;
  // Six voices and a control channel; 74 beats of half a second.
  EXPECT_EQ(m.module.channels, 7);
  EXPECT_DOUBLE_EQ(m.seconds, 37.0);
  ASSERT_EQ(m.sections.size(), 3u);
  EXPECT_DOUBLE_EQ(m.sections[1].seconds, 1.5);
  // The 280 rows of the middle section span five patterns: the last one starts at order 6.
  EXPECT_EQ(m.sections[2].order, 1 + 5);
  // C major within the octave around C-4: G-3 C-4 E-4 across the voices, each panned apart.
  const XmPattern& first = m.module.patterns[m.module.orders[0]];
  EXPECT_EQ(first.at(0, 1, 7).note, 44);
  EXPECT_EQ(first.at(0, 2, 7).note, 49);
  EXPECT_EQ(first.at(0, 3, 7).note, 53);
  EXPECT_LT(first.at(0, 1, 7).param, first.at(0, 3, 7).param);
  // A volume change alone on the next row, for every voice, keeping the notes.
  EXPECT_EQ(first.at(1, 3, 7).note, 0);
  EXPECT_EQ(first.at(1, 3, 7).volume, xmSetVolume(20));
  // The bass root C around A-2 (C-3), its echo two rows later at half volume, both released.
  EXPECT_EQ(first.at(0, 4, 7).note, 37);
  EXPECT_EQ(first.at(2, 5, 7).note, 37);
  EXPECT_EQ(first.at(2, 5, 7).volume - 0x10, (first.at(0, 4, 7).volume - 0x10) / 2);
  EXPECT_EQ(first.at(4, 4, 7).note, kXmKeyOff);
  EXPECT_EQ(first.at(6, 5, 7).note, kXmKeyOff);
  // The groove: speed 7 on the second row of every beat, 6 again on the third.
  EXPECT_EQ(first.at(1, 6, 7).effect, 0x0f);
  EXPECT_EQ(first.at(1, 6, 7).param, 7);
  EXPECT_EQ(first.at(2, 6, 7).param, 6);

  // A cut that falls inside a beat is refused, naming the section.
  s.sections[2].cut = 36.52;
  EXPECT_FALSE(composeMusic(s, m, error));
  EXPECT_NE(error.find("section last starts at 36.5"), std::string::npos) << error;
}

}  // namespace
