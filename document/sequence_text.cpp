#include "document/sequence_text.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include "document/sequencer.h"
#include "platform/text.h"

namespace ov {
namespace {

[[noreturn]] void Fail(const SequenceFailure& fail, const std::string& path,
                       const std::string& text) {
  fail(path, text);
  throw std::logic_error("a sequence failure returned");  // fail never returns
}

int32_t Whole(const Json& value, int32_t lo, int32_t hi, const std::string& path,
              const SequenceFailure& fail) {
  if (!value.is_number_integer() || value.get<int64_t>() < lo || value.get<int64_t>() > hi) {
    Fail(fail, path,
         "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return value.get<int32_t>();
}

// One melodic step: "." or "-" a rest; else a note name ("C3", "D#2"), then
// "@velocity" and "~" (slide into the next step) when given.
SequencerStep ReadStep(std::string token, const std::string& path, const SequenceFailure& fail) {
  SequencerStep step;
  if (token == "." || token == "-") {
    step.note = -1;
    return step;
  }
  if (!token.empty() && token.back() == '~') {
    step.slide = true;
    token.pop_back();
  }
  if (const std::size_t at = token.find('@'); at != std::string::npos) {
    const std::optional<long long> velocity = ParseInteger(token.substr(at + 1));
    if (!velocity || *velocity < 0 || *velocity > 127) {
      Fail(fail, path, "\"" + token + "\": expected a velocity from 0 to 127 after \"@\"");
    }
    step.velocity = static_cast<int32_t>(*velocity);
    token.resize(at);
  }
  // Only what reads back as the same name is a note: "H2" or "C" is a fault
  // here, where the panel would take it as a rest.
  const int32_t note = NoteFromText(token);
  if (note < 0 || !EqualsIgnoringCase(NoteName(note), token)) {
    Fail(fail, path,
         "\"" + token + "\": expected a note name such as \"C3\" or \"D#2\", or \".\" for a rest");
  }
  step.note = note;
  return step;
}

std::vector<SequencerStep> ReadSteps(const Json& steps, const std::string& path,
                                     const SequenceFailure& fail) {
  std::vector<std::string> tokens;
  if (steps.is_string()) {
    std::istringstream words(steps.get<std::string>());
    for (std::string word; words >> word;) tokens.push_back(word);
  } else if (steps.is_array()) {
    for (const Json& step : steps) {
      if (!step.is_string()) Fail(fail, path, "expected steps as text");
      tokens.push_back(step.get<std::string>());
    }
  } else {
    Fail(fail, path, "expected the steps as text, such as \"C3 . D#3~ G3@100\"");
  }
  if (tokens.empty() || tokens.size() > static_cast<std::size_t>(CPattSeq::kMaxSteps)) {
    Fail(fail, path, "expected 1 to 32 steps, not " + std::to_string(tokens.size()));
  }
  std::vector<SequencerStep> read;
  for (const std::string& token : tokens) read.push_back(ReadStep(token, path, fail));
  return read;
}

// Rows by short name, each a text of one character per step: "x" sounds,
// "." or "-" does not.
std::vector<int32_t> ReadDrums(const Json& rows, const std::string& path,
                               const SequenceFailure& fail) {
  if (!rows.is_object()) {
    Fail(fail, path, "expected drum rows by short name, such as {\"BD\": \"x...x...\"}");
  }
  std::vector<std::string> names;
  for (const CDrumSeq::Row& row : CDrumSeq::kRows) names.emplace_back(row.short_name);
  std::vector<int32_t> words;
  for (const auto& [name, hits] : rows.items()) {
    const std::string where = path + "." + name;
    const auto row = std::find(names.begin(), names.end(), name);
    if (row == names.end())
      Fail(fail, where, "no drum row \"" + name + "\"" + DidYouMean(name, names));
    if (!hits.is_string()) Fail(fail, where, "expected a text such as \"x...x...\"");
    const std::string text = hits.get<std::string>();
    if (text.empty() || text.size() > static_cast<std::size_t>(CPattSeq::kMaxSteps)) {
      Fail(fail, where, "expected 1 to 32 steps, not " + std::to_string(text.size()));
    }
    if (!words.empty() && text.size() != words.size()) {
      Fail(fail, where,
           "every row needs as many steps as the first (" + std::to_string(words.size()) + ")");
    }
    words.resize(text.size(), 0);
    const int32_t bit = 1 << (row - names.begin());
    for (std::size_t step = 0; step < text.size(); ++step) {
      const char c = text[step];
      if (c == 'x' || c == 'X') {
        words[step] |= bit;
      } else if (c != '.' && c != '-') {
        Fail(fail, where, std::string("\"") + c + "\": expected \"x\" for a hit or \".\" for none");
      }
    }
  }
  if (words.empty()) Fail(fail, path, "expected at least one drum row");
  return words;
}

}  // namespace

void ReadSequence(const Json& sequence, const std::string& path, CPattSeq& module,
                  const SequenceFailure& fail) {
  if (!sequence.is_object()) Fail(fail, path, "expected an object");
  auto* steps = dynamic_cast<CStepSeq2*>(&module);
  auto* drums = dynamic_cast<CDrumSeq*>(&module);
  for (const auto& [key, value] : sequence.items()) {
    const std::string where = path + "." + key;
    if (key == "tempo") {
      if (!value.is_number() || value.get<double>() < 1.0 || value.get<double>() > 300.0) {
        Fail(fail, where, "expected beats per minute from 1 to 300");
      }
      module.SetTempo(value.get<float>());
    } else if (key == "pattern") {
      module.SetCurrentPattern(Whole(value, -1, CPattSeq::kPatternCount - 1, where, fail));
    } else if (key == "mode") {
      if (value != "pattern" && value != "song")
        Fail(fail, where, "expected \"pattern\" or \"song\"");
      module.SetSongMode(value == "song");
    } else if (key == "song") {
      if (!value.is_array() || value.size() > static_cast<std::size_t>(CPattSeq::kSongLength)) {
        Fail(fail, where, "expected a list of at most 100 pattern numbers");
      }
      for (int32_t position = 0; position < CPattSeq::kSongLength; ++position) {
        const bool given = static_cast<std::size_t>(position) < value.size();
        const int32_t pattern = given ? Whole(value[static_cast<std::size_t>(position)], -1,
                                              CPattSeq::kPatternCount - 1,
                                              where + "[" + std::to_string(position) + "]", fail)
                                      : -1;
        module.SetSongEntry(position, pattern);
      }
    } else if (key == "patterns") {
      if (!value.is_object())
        Fail(fail, where, "expected patterns by number, such as {\"1\": ...}");
      for (const auto& [number, pattern] : value.items()) {
        const std::string at = where + "." + number;
        const std::optional<long long> index = ParseInteger(number);
        if (!index || *index < 0 || *index >= CPattSeq::kPatternCount) {
          Fail(fail, at, "expected a pattern number from 0 to 31");
        }
        const auto p = static_cast<int32_t>(*index);
        if (steps != nullptr) {
          steps->SetPattern(p, ReadSteps(pattern, at, fail));
        } else if (drums != nullptr) {
          drums->SetPattern(p, ReadDrums(pattern, at, fail));
        } else {
          Fail(fail, at, "this module keeps no patterns");
        }
      }
    } else {
      Fail(fail, where, "expected \"tempo\", \"pattern\", \"mode\", \"song\" or \"patterns\"");
    }
  }
}

}  // namespace ov
