// Score text parsing: one statement a line, a word starting with '#' starts a comment.
//   tempo BPM                 groove TICKS...
//   channel NAME INSTRUMENT [pan P] [volume V] [voices N spread S] [center NOTE] [echo OF ROWS]
//   section NAME BEATS [cut SECONDS] [volume V]
//   chords SYMBOL:BEATS ...
//   NAME[@VOLUME][+ROWS] ITEMS... [!]   a step line for a channel, looped to the section's end
//                                       (played once when it ends with '!')
// Items, one row each, may be written together ("x...x..."): '.' or '-' nothing, '^' key off,
// 'x' 'o' 'g' a hit at full, middle or ghost strength, a note like c#5 or bb3, a chord degree
// 1..9 with ' (octave up) or , (down) after it, 'c' the whole chord over the channel's voices,
// '_N' N rows of nothing, 'vN' the sounding notes' volume set to N (0..64, scaled as hits are).
#include "score.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace {

bool toInt(const std::string& s, int& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long n = std::strtol(s.c_str(), &end, 10);
  if (*end != 0 || n < -100000 || n > 100000) return false;
  v = int(n);
  return true;
}

bool toDouble(const std::string& s, double& v) {
  if (s.empty()) return false;
  char* end = nullptr;
  v = std::strtod(s.c_str(), &end);
  return *end == 0;
}

int pitchClass(char letter) {
  static const int classes[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
  const char l = char(std::tolower(static_cast<unsigned char>(letter)));
  return l >= 'a' && l <= 'g' ? classes[l - 'a'] : -1;
}

// A note name at i: a letter a..g, an optional sharp or flat, an octave digit.
bool notePattern(const std::string& t, size_t i) {
  if (pitchClass(t[i]) < 0 || !std::islower(static_cast<unsigned char>(t[i]))) return false;
  size_t j = i + 1;
  if (j < t.size() && (t[j] == '#' || t[j] == 'b')) ++j;
  return j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]));
}

// Items of one token; false on a character that is no item.
bool lexItems(const std::string& token, std::vector<ScoreItem>& items) {
  size_t i = 0;
  while (i < token.size()) {
    const char c = token[i];
    ScoreItem item;
    if (c == '.' || c == '-' || c == '|') {
      if (c == '|') {
        ++i;
        continue;
      }
      item.kind = ScoreItem::Rest;
      ++i;
    } else if (c == '_') {  // a run of rests: _15
      size_t j = i + 1;
      int n = 0;
      while (j < token.size() && std::isdigit(static_cast<unsigned char>(token[j])) && n < 10000)
        n = n * 10 + (token[j++] - '0');
      if (j == i + 1 || n < 1) return false;
      items.insert(items.end(), size_t(n), ScoreItem());
      i = j;
      continue;
    } else if (c == 'v') {  // v40: the sounding notes' volume changes to 40 (of 64)
      size_t j = i + 1;
      int n = 0;
      while (j < token.size() && std::isdigit(static_cast<unsigned char>(token[j])) && n <= 64)
        n = n * 10 + (token[j++] - '0');
      if (j == i + 1 || n > 64) return false;
      item.kind = ScoreItem::Volume;
      item.velocity = n;
      i = j;
    } else if (c == '^') {
      item.kind = ScoreItem::Off;
      ++i;
    } else if (notePattern(token, i)) {
      int pc = pitchClass(c);
      size_t j = i + 1;
      if (token[j] == '#' || token[j] == 'b') pc += token[j++] == '#' ? 1 : -1;
      item.kind = ScoreItem::Note;
      item.value = 12 * (token[j] - '0') + pc + 1;
      if (item.value < 1 || item.value > 96) return false;
      i = j + 1;
    } else if (c == 'x' || c == 'o' || c == 'g') {
      item.kind = ScoreItem::Hit;
      item.velocity = c == 'x' ? 64 : c == 'o' ? 40 : 22;
      ++i;
    } else if (c == 'c') {
      item.kind = ScoreItem::Chord;
      ++i;
    } else if (c >= '1' && c <= '9') {
      item.kind = ScoreItem::Degree;
      item.value = c - '0';
      ++i;
      while (i < token.size() && (token[i] == '\'' || token[i] == ',')) item.octave += token[i++] == '\'' ? 1 : -1;
    } else {
      return false;
    }
    items.push_back(item);
  }
  return true;
}

}  // namespace

bool parseChord(const std::string& symbol, ScoreChord& chord) {
  if (symbol.empty()) return false;
  int root = pitchClass(symbol[0]);
  if (root < 0 || !std::isupper(static_cast<unsigned char>(symbol[0]))) return false;
  size_t i = 1;
  if (i < symbol.size() && (symbol[i] == '#' || symbol[i] == 'b')) root += symbol[i++] == '#' ? 1 : -1;
  const std::string quality = symbol.substr(i);
  static const struct {
    const char* name;
    std::vector<int> intervals;
  } kQualities[] = {
      {"", {0, 4, 7}},         {"m", {0, 3, 7}},        {"7", {0, 4, 7, 10}},     {"m7", {0, 3, 7, 10}},
      {"maj7", {0, 4, 7, 11}}, {"sus4", {0, 5, 7}},     {"sus2", {0, 2, 7}},      {"dim", {0, 3, 6}},
      {"5", {0, 7}},           {"add9", {0, 4, 7, 14}}, {"madd9", {0, 3, 7, 14}}, {"m7b5", {0, 3, 6, 10}},
  };
  for (const auto& q : kQualities) {
    if (quality == q.name) {
      chord.root = (root + 12) % 12;
      chord.intervals = q.intervals;
      return true;
    }
  }
  return false;
}

bool parseScore(const std::string& text, Score& score, std::string& error) {
  score = Score();
  std::istringstream in(text);
  std::string raw;
  int lineNumber = 0;
  auto fail = [&](const std::string& what) {
    error = "line " + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  auto findChannel = [&score](const std::string& name) -> const ScoreChannel* {
    for (const ScoreChannel& c : score.channels)
      if (c.name == name) return &c;
    return nullptr;
  };
  while (std::getline(in, raw)) {
    ++lineNumber;
    // A comment starts at a '#' that begins a word (sharps like c#5 stay).
    for (size_t k = 0; k < raw.size(); ++k)
      if (raw[k] == '#' && (k == 0 || std::isspace(static_cast<unsigned char>(raw[k - 1])))) {
        raw.erase(k);
        break;
      }
    std::istringstream words(raw);
    std::vector<std::string> w;
    for (std::string s; words >> s;) w.push_back(s);
    if (w.empty()) continue;
    const std::string& key = w[0];
    if (key == "tempo") {
      if (w.size() != 2 || !toInt(w[1], score.bpm) || score.bpm < 32 || score.bpm > 255)
        return fail("tempo takes one BPM value 32..255");
    } else if (key == "groove") {
      score.groove.clear();
      for (size_t k = 1; k < w.size(); ++k) {
        int t = 0;
        if (!toInt(w[k], t) || t < 1 || t > 31) return fail("groove ticks must be 1..31");
        score.groove.push_back(t);
      }
      if (score.groove.empty()) return fail("groove needs ticks");
    } else if (key == "channel") {
      if (w.size() < 3) return fail("channel needs a name and an instrument");
      if (findChannel(w[1]) != nullptr) return fail("channel " + w[1] + " defined twice");
      ScoreChannel c;
      c.name = w[1];
      c.instrument = w[2];
      for (size_t k = 3; k < w.size(); k += 2) {
        if (k + 1 >= w.size()) return fail("channel option " + w[k] + " needs a value");
        const std::string& opt = w[k];
        int v = 0;
        if (opt == "echo") {
          if (k + 2 >= w.size() || findChannel(w[k + 1]) == nullptr || !toInt(w[k + 2], c.echoRows) || c.echoRows < 1)
            return fail("echo needs an earlier channel and a row delay");
          c.echoOf = w[k + 1];
          ++k;
          continue;
        }
        if (opt == "center") {
          std::vector<ScoreItem> items;
          if (!lexItems(w[k + 1], items) || items.size() != 1 || items[0].kind != ScoreItem::Note)
            return fail("center takes a note like a3");
          c.center = items[0].value;
          continue;
        }
        if (!toInt(w[k + 1], v)) return fail("channel option " + opt + " needs a number");
        if (opt == "pan" && v >= 0 && v <= 255)
          c.pan = v;
        else if (opt == "volume" && v >= 0 && v <= 64)
          c.volume = v;
        else if (opt == "voices" && v >= 1 && v <= 8)
          c.voices = v;
        else if (opt == "spread" && v >= 0 && v <= 127)
          c.spread = v;
        else
          return fail("bad channel option " + opt + " " + w[k + 1]);
      }
      score.channels.push_back(c);
    } else if (key == "section") {
      ScoreSection s;
      s.lineNumber = lineNumber;
      if (w.size() < 3 || w.size() % 2 == 0) return fail("section NAME BEATS [cut SECONDS] [volume V]");
      s.name = w[1];
      if (!toInt(w[2], s.beats) || s.beats < 1) return fail("section beats must be a positive number");
      for (size_t k = 3; k + 1 < w.size(); k += 2) {
        if (w[k] == "cut" && toDouble(w[k + 1], s.cut) && s.cut >= 0) continue;
        if (w[k] == "volume" && toInt(w[k + 1], s.volume) && s.volume >= 0 && s.volume <= 64) continue;
        return fail("bad section option " + w[k] + " " + w[k + 1]);
      }
      score.sections.push_back(s);
    } else if (key == "chords") {
      if (score.sections.empty()) return fail("chords outside a section");
      for (size_t k = 1; k < w.size(); ++k) {
        const size_t colon = w[k].find(':');
        ScoreChord chord;
        if (colon == std::string::npos || !parseChord(w[k].substr(0, colon), chord) ||
            !toInt(w[k].substr(colon + 1), chord.beats) || chord.beats < 1)
          return fail("chord " + w[k] + " is not SYMBOL:BEATS");
        score.sections.back().chords.push_back(chord);
      }
    } else {
      if (score.sections.empty()) return fail("step line outside a section");
      ScoreLine line;
      line.lineNumber = lineNumber;
      std::string name = key;
      const size_t plus = name.find('+');
      if (plus != std::string::npos) {
        if (!toInt(name.substr(plus + 1), line.offset) || line.offset < 0) return fail("bad row offset in " + key);
        name.erase(plus);
      }
      const size_t at = name.find('@');
      if (at != std::string::npos) {
        if (!toInt(name.substr(at + 1), line.volume) || line.volume < 0 || line.volume > 64)
          return fail("bad line volume in " + key);
        name.erase(at);
      }
      if (findChannel(name) == nullptr) return fail("unknown channel or statement " + name);
      line.channel = name;
      for (size_t k = 1; k < w.size(); ++k) {
        if (w[k] == "!" && k + 1 == w.size()) {
          line.once = true;
          break;
        }
        if (!lexItems(w[k], line.items)) return fail("cannot read step item " + w[k]);
      }
      if (line.items.empty()) return fail("step line without items");
      score.sections.back().lines.push_back(line);
    }
  }
  if (score.channels.empty()) return fail("no channels");
  if (score.sections.empty()) return fail("no sections");
  return true;
}
