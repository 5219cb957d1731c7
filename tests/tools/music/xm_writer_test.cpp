// The XM writer read back by two independent module readers: what we write is what they report
// (channels, orders, patterns cell by cell, instruments, samples with their data and loops).
#include "writers/xm_writer.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <cstring>
#include <string>

namespace {

// A module touching every part of the layout: odd row counts, cells with all five fields,
// key offs, 16- and 8-bit samples with forward and ping-pong loops, an instrument without
// samples between two with samples, envelopes with sustain and loop.
XmModule sampleModule() {
  XmModule m;
  m.name = "round trip";
  m.channels = 5;
  m.speed = 5;
  m.bpm = 150;
  m.orders = {0, 1, 0, 2};
  m.restart = 1;
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int rows : {64, 23, 1}) {
    XmPattern p(rows, m.channels);
    for (XmCell& c : p.cells) {
      switch (next(6)) {
        case 0:
          break;  // empty
        case 1:
          c = {uint8_t(1 + next(96)), uint8_t(1 + next(3)), 0, 0, 0};
          break;
        case 2:
          c = {kXmKeyOff, 0, 0, 0, 0};
          break;
        case 3: {  // any effect but the pattern break, whose decimal parameter readers convert
          const uint8_t effect = uint8_t(next(16));
          c = {0, 0, xmSetVolume(int(next(65))), uint8_t(effect == 0x0d ? 0x0a : effect), uint8_t(1 + next(255))};
          break;
        }
        case 4:
          c = {uint8_t(1 + next(96)), 3, xmSetVolume(64), 0x0f, uint8_t(1 + next(31))};
          break;
        default:
          c = {0, 0, 0, 0x10, uint8_t(next(65))};
          break;
      }
    }
    m.patterns.push_back(p);
  }

  XmInstrument lead;
  lead.name = "lead";
  for (int k = 0; k < 2; ++k) {
    XmSample s;
    s.name = k == 0 ? "lead low" : "lead high";
    for (int i = 0; i < 300 + 50 * k; ++i) s.pcm.push_back(int16_t((i * 997 * (k + 1)) % 65536 - 32768));
    s.loop = XmLoop::Forward;
    s.loopStart = 100;
    s.loopLength = 150 + uint32_t(k);
    s.volume = uint8_t(40 + k);
    s.finetune = int8_t(-16 * (k + 1));
    s.panning = uint8_t(60 + 100 * k);
    s.relativeNote = int8_t(12 - 24 * k);
    lead.samples.push_back(s);
  }
  for (int n = 48; n < 96; ++n) lead.sampleForNote[size_t(n)] = 1;
  lead.volumeEnvelope.points = {{0, 0}, {4, 64}, {20, 40}, {60, 0}};
  lead.volumeEnvelope.sustain = 2;
  lead.panningEnvelope.points = {{0, 10}, {30, 50}, {50, 32}};
  lead.panningEnvelope.loopStart = 0;
  lead.panningEnvelope.loopEnd = 2;
  lead.fadeout = 0x400;
  XmInstrument silent;
  silent.name = "no samples";
  XmInstrument hat;
  hat.name = "hat";
  XmSample h;
  h.name = "hat 8-bit";
  h.sixteenBit = false;
  for (int i = 0; i < 64; ++i) h.pcm.push_back(int16_t(((i * 37) % 256 - 128) * 256));
  h.loop = XmLoop::PingPong;
  h.loopStart = 16;
  h.loopLength = 32;
  hat.samples.push_back(h);
  m.instruments = {lead, silent, hat};
  return m;
}

// The effect letter of the XM effect number, as a tracker shows it.
char effectLetter(uint8_t effect) { return effect < 10 ? char('0' + effect) : char('A' + effect - 10); }

class XmWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module = sampleModule();
    bytes = xmBytes(module);
    ASSERT_FALSE(bytes.empty()) << xmProblem(module);
  }
  XmModule module;
  std::vector<uint8_t> bytes;
};

TEST_F(XmWriterTest, LibopenmptReportsWhatWasWritten) {
  openmpt_module* mod =
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(mod, nullptr);
  EXPECT_EQ(openmpt_module_get_num_channels(mod), module.channels);
  ASSERT_EQ(openmpt_module_get_num_orders(mod), int(module.orders.size()));
  for (size_t i = 0; i < module.orders.size(); ++i)
    EXPECT_EQ(openmpt_module_get_order_pattern(mod, int(i)), module.orders[i]);
  ASSERT_EQ(openmpt_module_get_num_patterns(mod), int(module.patterns.size()));
  EXPECT_EQ(openmpt_module_get_num_instruments(mod), 3);
  EXPECT_EQ(openmpt_module_get_num_samples(mod), 3);
  const char* second = openmpt_module_get_instrument_name(mod, 2);
  EXPECT_STREQ(second, "hat");
  openmpt_free_string(second);
  const char* sample = openmpt_module_get_sample_name(mod, 1);
  EXPECT_STREQ(sample, "lead high");
  openmpt_free_string(sample);
  for (size_t p = 0; p < module.patterns.size(); ++p) {
    const XmPattern& pat = module.patterns[p];
    ASSERT_EQ(openmpt_module_get_pattern_num_rows(mod, int(p)), pat.rows);
    for (int r = 0; r < pat.rows; ++r)
      for (int c = 0; c < module.channels; ++c) {
        const XmCell& cell = pat.at(r, c, module.channels);
        SCOPED_TRACE("pattern " + std::to_string(p) + " row " + std::to_string(r) + " channel " + std::to_string(c));
        const int note = openmpt_module_get_pattern_row_channel_command(mod, int(p), r, c, OPENMPT_MODULE_COMMAND_NOTE);
        EXPECT_EQ(note, cell.note == kXmKeyOff ? 255 : cell.note == 0 ? 0 : cell.note + 12);
        EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod, int(p), r, c, OPENMPT_MODULE_COMMAND_INSTRUMENT),
                  cell.instrument);
        if (cell.volume != 0) {
          EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod, int(p), r, c, OPENMPT_MODULE_COMMAND_VOLUME),
                    cell.volume - 0x10);
        }
        if (cell.effect != 0 || cell.param != 0) {
          const char* fx =
              openmpt_module_format_pattern_row_channel_command(mod, int(p), r, c, OPENMPT_MODULE_COMMAND_EFFECT);
          EXPECT_EQ(fx[0], effectLetter(cell.effect));
          openmpt_free_string(fx);
          EXPECT_EQ(openmpt_module_get_pattern_row_channel_command(mod, int(p), r, c, OPENMPT_MODULE_COMMAND_PARAMETER),
                    cell.param);
        }
      }
  }
  openmpt_module_destroy(mod);
}

TEST_F(XmWriterTest, LibxmpReportsWhatWasWritten) {
  xmp_context ctx = xmp_create_context();
  ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
  xmp_module_info info;
  xmp_get_module_info(ctx, &info);
  const xmp_module& x = *info.mod;
  EXPECT_STREQ(x.name, "round trip");
  EXPECT_EQ(x.chn, module.channels);
  EXPECT_EQ(x.spd, 5);
  EXPECT_EQ(x.bpm, 150);
  EXPECT_EQ(x.rst, 1);
  ASSERT_EQ(x.len, int(module.orders.size()));
  for (size_t i = 0; i < module.orders.size(); ++i) EXPECT_EQ(x.xxo[i], module.orders[i]);
  ASSERT_GE(x.pat, int(module.patterns.size()));  // the reader may add a blank pattern of its own
  for (size_t p = 0; p < module.patterns.size(); ++p) {
    const XmPattern& pat = module.patterns[p];
    ASSERT_EQ(x.xxp[p]->rows, pat.rows);
    for (int r = 0; r < pat.rows; ++r)
      for (int c = 0; c < module.channels; ++c) {
        const XmCell& cell = pat.at(r, c, module.channels);
        const xmp_event& e = x.xxt[x.xxp[p]->index[c]]->event[r];
        SCOPED_TRACE("pattern " + std::to_string(p) + " row " + std::to_string(r) + " channel " + std::to_string(c));
        EXPECT_EQ(e.note, cell.note == kXmKeyOff ? XMP_KEY_OFF : cell.note == 0 ? 0 : cell.note + 12);
        EXPECT_EQ(e.ins, cell.instrument);
        EXPECT_EQ(e.vol, cell.volume == 0 ? 0 : cell.volume - 0x10 + 1);
        if (cell.effect != 0 || cell.param != 0) {
          EXPECT_EQ(e.fxt, cell.effect);
          EXPECT_EQ(e.fxp, cell.param);
        }
      }
  }

  ASSERT_EQ(x.ins, 3);
  EXPECT_STREQ(x.xxi[0].name, "lead");
  EXPECT_EQ(x.xxi[1].nsm, 0);
  EXPECT_STREQ(x.xxi[2].name, "hat");
  const xmp_instrument& lead = x.xxi[0];
  ASSERT_EQ(lead.nsm, 2);
  EXPECT_EQ(lead.map[12 + 47].ins, 0);  // the reader's keys start an octave lower
  EXPECT_EQ(lead.map[12 + 48].ins, 1);
  const XmEnvelope& env = module.instruments[0].volumeEnvelope;
  ASSERT_EQ(lead.aei.npt, int(env.points.size()));
  EXPECT_TRUE(lead.aei.flg & XMP_ENVELOPE_ON);
  EXPECT_TRUE(lead.aei.flg & XMP_ENVELOPE_SUS);
  EXPECT_EQ(lead.aei.sus, 2);
  for (size_t i = 0; i < env.points.size(); ++i) {
    EXPECT_EQ(lead.aei.data[2 * i], env.points[i].tick);
    EXPECT_EQ(lead.aei.data[2 * i + 1], env.points[i].value);
  }
  EXPECT_TRUE(lead.pei.flg & XMP_ENVELOPE_LOOP);
  EXPECT_EQ(lead.pei.lpe, 2);

  // Samples: header fields and every value of the data.
  ASSERT_EQ(x.smp, 3);
  const XmSample* written[3] = {&module.instruments[0].samples[0], &module.instruments[0].samples[1],
                                &module.instruments[2].samples[0]};
  const int subs[3][2] = {{0, 0}, {0, 1}, {2, 0}};
  for (int i = 0; i < 3; ++i) {
    const XmSample& w = *written[i];
    const xmp_subinstrument& sub = x.xxi[subs[i][0]].sub[subs[i][1]];
    const xmp_sample& s = x.xxs[sub.sid];
    SCOPED_TRACE(w.name);
    EXPECT_STREQ(s.name, w.name.c_str());
    EXPECT_EQ(sub.vol, w.volume);
    EXPECT_EQ(sub.pan, w.panning);
    EXPECT_EQ(sub.xpo, w.relativeNote);
    EXPECT_EQ(sub.fin, w.finetune);
    ASSERT_EQ(s.len, int(w.pcm.size()));
    EXPECT_EQ(s.lps, int(w.loopStart));
    EXPECT_EQ(s.lpe, int(w.loopStart + w.loopLength));
    EXPECT_EQ((s.flg & XMP_SAMPLE_16BIT) != 0, w.sixteenBit);
    EXPECT_EQ((s.flg & XMP_SAMPLE_LOOP_BIDIR) != 0, w.loop == XmLoop::PingPong);
    // The reader may reuse what follows a loop for its own interpolation.
    const size_t compared = w.loop == XmLoop::None ? w.pcm.size() : w.loopStart + w.loopLength;
    for (size_t k = 0; k < compared; ++k) {
      const int got = w.sixteenBit ? reinterpret_cast<const int16_t*>(s.data)[k]
                                   : int(reinterpret_cast<const int8_t*>(s.data)[k]) * 256;
      const int want = w.sixteenBit ? w.pcm[k] : (w.pcm[k] >> 8) * 256;
      ASSERT_EQ(got, want) << "at " << k;
    }
  }
  xmp_release_module(ctx);
  xmp_free_context(ctx);
}

TEST(XmWriterProblems, RefusesModulesTheFormatCannotHold) {
  const XmModule good = sampleModule();
  ASSERT_EQ(xmProblem(good), "");
  auto refused = [](const XmModule& m) { return !xmProblem(m).empty() && xmBytes(m).empty(); };
  XmModule m = good;
  m.orders.push_back(7);  // no pattern 7
  EXPECT_TRUE(refused(m));
  m = good;
  m.channels = 33;
  EXPECT_TRUE(refused(m));
  m = good;
  m.patterns[1].cells.pop_back();  // cells no longer rows × channels
  EXPECT_TRUE(refused(m));
  m = good;
  m.patterns[0].cells[3].instrument = 4;  // only three instruments
  EXPECT_TRUE(refused(m));
  m = good;
  m.instruments[0].samples[0].loopLength = 201;  // 100 + 201 > 300 frames
  EXPECT_TRUE(refused(m));
  m = good;
  m.instruments[0].volumeEnvelope.points[2].tick = 4;  // not rising
  EXPECT_TRUE(refused(m));
  m = good;
  m.restart = 4;
  EXPECT_TRUE(refused(m));
  std::string error;
  EXPECT_FALSE(saveXm(m, "/nonexistent-dir/x.xm", &error));
  EXPECT_NE(error.find("restart"), std::string::npos);
}

}  // namespace
