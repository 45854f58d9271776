// Any bytes given to the MIDI player as a Standard MIDI File are played or
// refused: never a crash, an overrun or a hang. The first byte chooses the
// "Tempo" input (10 to 265 bpm) and whether the file's tempo events count;
// the rest is the file, played once without and once with the loop, until
// the song ends or for 100,000 scheduler calls. However the file is made,
// the song must move on in time: a long run of calls at one sample fails.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/midi_sequence.h"

namespace {

class Discard final : public ov::MidiSequence::Output {
 public:
  void SendMidi(uint32_t word) override { last_ ^= word; }

 private:
  uint32_t last_ = 0;
};

constexpr int kCalls = 100000;
// Clock, events and a restart can share a sample, and a loop of one tick
// at the fastest tempo lasts under a sample; far more than that is a hang.
constexpr int kMaxCallsAtOneSample = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::vector<uint8_t> file(data + 1, data + size);
  for (const bool loop : {false, true}) {
    ov::MidiSequence sequence;
    if (!sequence.Load(file)) return 0;
    sequence.SetSampleRate(44100);
    sequence.SetTempo(10 + (data[0] & 0xFE));
    sequence.SetIgnoreFileTempo((data[0] & 1) != 0);
    sequence.SetLoop(loop);
    Discard out;
    int at_one_sample = 0;
    for (int call = 0; call < kCalls; ++call) {
      const std::optional<uint32_t> wait = sequence.Run(out);
      if (!wait) break;
      at_one_sample = *wait == 0 ? at_one_sample + 1 : 0;
      if (at_one_sample > kMaxCallsAtOneSample) std::abort();
    }
  }
  return 0;
}
