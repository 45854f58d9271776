// A song whose events all fall on one tick, and a receiver that counts the
// note-ons reaching it without allocating: for the tests and the bench that
// play a file no block can hold.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "tests/media/smf_builder.h"

namespace ov::testing {

// One track of `events` note-ons, all at tick 0, in running status: three
// bytes each, so 699000 of them make 2 MB.
inline std::vector<uint8_t> SameTickSong(int64_t events) {
  std::vector<uint8_t> body = {0x00, 0x90, 60, 100};
  body.reserve(static_cast<std::size_t>(events) * 3 + 8);
  for (int64_t e = 1; e < events; ++e) body.insert(body.end(), {0x00, 61, 1});
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  return SmfBuilder{}.Track(body).Bytes();
}

class NoteCounter : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<NoteCounter>();
  }
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override {
    descriptors.emplace_back(nullptr, DR_IN, "", "MIDI In", "", "", 0, DT_MIDI, nullptr);
  }
  void HandleEvent(ug_event& event) override {
    if (event.kind == UET_MIDI && (event.parm1 & 0xF0) == 0x90) ++notes;
    ug_base::HandleEvent(event);
  }
  int64_t notes = 0;
};

}  // namespace ov::testing
