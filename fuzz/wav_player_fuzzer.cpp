// Any bytes given to the wave player as a WAVE file play or are refused with
// a message: never a crash, an overrun or a hang. The first two bytes choose
// the pitch (-2.8 V to +12.7 V, beyond the octave cap at the top) and how
// often the gate falls and rises; the rest is the file, rendered for a few
// thousand samples.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "engine/ug_container.h"
#include "media/wave_player.h"

namespace {

class MemoryFile final : public ov::DataFiles {
 public:
  std::span<const uint8_t> bytes;
  const std::string& LibraryFolder() const override { return folder_; }
  std::string ResolveFilePath(std::string_view name, std::string_view) const override {
    return std::string(name);
  }
  std::optional<ov::DataFile> OpenDataFile(std::string_view, std::string_view) const override {
    return ov::DataFile{{}, bytes};
  }

 private:
  std::string folder_ = "/nonexistent/";
};

class FileHost final : public ov::EngineHost {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
  uint32_t NewTargetId() override { return next_id_++; }
  void PostUserMessage(std::string_view) override {}
  const ov::DataFiles* MediaFiles() const override { return &file; }

  MemoryFile file;

 private:
  uint32_t next_id_ = 1;
};

// A gate that is high for `period` samples, then low for as many.
class Gate final : public ov::ug_base {
 public:
  explicit Gate(int32_t period) : period_(period) { SetProcessFunction(&Gate::Run); }
  std::unique_ptr<ov::ug_base> CreateInstance() const override {
    return std::make_unique<Gate>(period_);
  }
  void ListPlugs(std::vector<ov::InterfaceObject>& descriptors) override {
    descriptors.emplace_back(&out_, ov::DR_OUT, "", "Out", "0", "", 0, ov::DT_FSAMPLE, nullptr);
  }
  void Open() override {
    ov::ug_base::Open();
    plug(0)->Transmit(Clock(), ov::ST_RUN);
  }

 private:
  void Run(int32_t position, int32_t count) {
    for (int32_t i = position; i < position + count; ++i) {
      out_[i] = (Clock() + static_cast<uint32_t>(i - position)) / period_ % 2 == 0 ? 1.0f : 0.0f;
    }
  }

  float* out_ = nullptr;
  int32_t period_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  static FileHost host;
  host.file.bytes = {data + 2, size - 2};
  ov::OvAudioMaster master(host);
  master.SetSampleRate(44100);
  master.SetEngineBlockSize(64);
  ov::ug_container top;
  top.SetMaster(&master);
  auto& gate = top.Add(std::make_unique<Gate>(16 * data[1] + 1));
  gate.SetSortOrder(2);
  auto& player = top.Add(std::make_unique<ov::ug_wave_player>());
  player.SetSortOrder(1);
  top.connect(gate.plug(0), player.plug(ov::ug_wave_in::kGate));
  player.plug(ov::ug_wave_in::kPitchShift)->SetValueFromText(std::to_string((data[0] - 28) / 10.0));
  player.plug(ov::ug_wave_in::kFileName)->SetValueFromText("fuzz");
  master.Start(&top);
  for (int block = 0; block < 64; ++block) master.Process(64);
  master.Stop();
  return 0;
}
