// Any bytes given as a SoundFont bank load or are refused with a reason:
// never a crash, an overrun or a hang. A bank that loads has every preset's
// zones built on a channel, and every key started at two velocities and
// played for a few dozen samples (loops, stereo partners and the taps at the
// edges of the sample data included).
#include <cstddef>
#include <cstdint>
#include <string>

#include "media/soundfont_bank.h"
#include "media/soundfont_user.h"

namespace {

class Probe final : public ov::ug_soundfont_user, public ov::SoundfontSource {
 public:
  explicit Probe(ov::soundfont_bank* bank) : bank_(bank) {
    SetSource(this);
    OpenUser();
  }
  ~Probe() override { CloseUser(); }

  ov::soundfont_bank* AcquireBank() override {
    bank_->AddRef();
    return bank_;
  }
  int32_t CurrentChannel() const override { return 0; }
  ov::SoundfontChoice Choice(int32_t) const override { return {}; }

  // Plays `samples` output samples of the zone for `key`, a little faster
  // than the sample's own pitch so loops come round.
  float Play(int32_t channel, int32_t key, int32_t velocity, int samples) {
    if (StartZone(channel, key, velocity) != Start::kPlaying) return 0.0f;
    increment_ = IncrementFor(0.5 + key / 64.0, primary_->rate, 44100.0);
    fraction_ = 0;
    float sum = 0.0f;
    for (int i = 0; i < samples && Advance(); ++i) sum += Primary() + Secondary();
    return sum;
  }

 private:
  ov::ug_soundfont_user* NextUser() const override { return nullptr; }
  void OnBankGone() override {}
  ov::soundfont_bank* bank_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  auto* bank = new ov::soundfont_bank;
  bank->AddRef();
  std::string error;
  if (bank->Load({data, size}, &error)) {
    Probe probe(bank);
    volatile float heard = 0.0f;
    const std::size_t presets = bank->Presets().size();
    for (std::size_t p = 0; p < presets && p < 256; ++p) {
      const auto& header = bank->Presets()[p];
      const int32_t channel = static_cast<int32_t>(p % 16);
      bank->SetBank(channel, header.bank);
      bank->SetPreset(channel, header.preset);
      for (int32_t key = 0; key < 128; ++key) {
        heard = heard + probe.Play(channel, key, 1, 48) + probe.Play(channel, key, 127, 48);
      }
    }
    (void)heard;
  }
  if (bank->Release()) delete bank;
  return 0;
}
