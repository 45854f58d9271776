#include "media/midi_player.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "modules/descriptors/plug_tables.h"
#include "platform/files.h"

namespace ov {
namespace {

constexpr std::string_view kCannotLoad =
    "Cannot Find/Load this file.  Check your Audio Preferences MIDI path setting: ";
constexpr char kNotMidiFile[] = "This is NOT a Standard MIDI File";
constexpr char kUnknownChunk[] = "We've hit (and skipped over) an UNKNOWN CHUNK\n";
constexpr char kNextPlay[] = "Filename change will take effect next time you push 'Play'";
// Input changes count only once the engine has run this long: the values
// every input receives at open are not changes.
constexpr uint32_t kSettleSamples = 10;

void RequestEngineStop(ug_base& generator) { generator.Master()->RequestStop(); }

}  // namespace

ug_midi_player::ug_midi_player() { file_name_.reserve(UPlug::kTextCapacity); }

std::unique_ptr<ug_base> ug_midi_player::CreateInstance() const {
  return std::make_unique<ug_midi_player>();
}

void ug_midi_player::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kMidiPlayerPlugs, {file_name_, tempo_, {}, ignore_tempo_, loop_}, descriptors);
}

double ug_midi_player::InputBpm() const {
  // To a ten-thousandth of a beat: 12 V arrives as 1.2000000477 and would
  // otherwise not be 120 bpm.
  return std::round(plug(kTempo)->ValueAtClock() * 1e6) * 1e-4;
}

void ug_midi_player::Open() {
  ug_base::Open();
  if (!LoadFile()) return;
  if (sequence_.SkippedUnknownChunk()) RequestMessageBox(kUnknownChunk);
  sequence_.SetSampleRate(Master()->SampleRate());
  sequence_.SetTempo(InputBpm());
  receivers_ = static_cast<int32_t>(plug(kMidiOut)->Connectors().size());
  admitted_ = 0;
  retry_ = nullptr;
  told_late_ = false;
  due_ = Clock();
  Schedule(Clock(), &ug_midi_player::Scheduled);
}

bool ug_midi_player::LoadFile() {
  const DataFiles* files = Master()->Host().MediaFiles();
  const std::optional<DataFile> file =
      files != nullptr ? files->OpenDataFile(file_name_, "mid") : std::nullopt;
  std::vector<uint8_t> bytes;
  std::string error;
  bool read = false;
  if (file && file->InMemory()) {
    read = file->memory.size() <= kMaxFileBytes;
    if (read) bytes.assign(file->memory.begin(), file->memory.end());
  } else if (file) {
    read = ReadFileBytes(file->path, kMaxFileBytes, &bytes, &error);
  }
  if (!read) {
    RequestMessageBox(std::string(kCannotLoad) + file_name_);
    return false;
  }
  if (!sequence_.Load(std::move(bytes))) {
    RequestMessageBox(kNotMidiFile);
    Master()->RequestStop();
    return false;
  }
  return true;
}

void ug_midi_player::Scheduled(ug_base& generator) {
  auto& self = static_cast<ug_midi_player&>(generator);
  self.sequence_.SetIgnoreFileTempo(self.ignore_tempo_);
  self.sequence_.SetLoop(self.loop_);
  const std::optional<uint32_t> wait = self.sequence_.Run(self);
  if (!wait) {
    // The song is over: the standalone engine stops half a second later.
    const auto half_second = static_cast<uint32_t>(self.Master()->SampleRate() * 0.5);
    self.Schedule(self.Clock() + half_second, &RequestEngineStop);
    return;
  }
  if (self.sequence_.Carrying()) {
    self.Schedule(self.NextBlockStart(), &ug_midi_player::Scheduled);
    return;
  }
  // From the tick's own time, so a tick that came late does not delay the
  // ones after it; one already past comes at once.
  self.due_ += *wait;
  const bool past = static_cast<int32_t>(self.due_ - self.Clock()) < 0;
  self.Schedule(past ? self.Clock() : self.due_, &ug_midi_player::Scheduled);
}

bool ug_midi_player::Admit() {
  const uint32_t block = NextBlockStart();
  if (block != budget_block_) {
    budget_block_ = block;
    admitted_ = 0;
  }
  // A message takes a record at each receiver until it is handled.
  const EventPool& pool = Master()->Events();
  const std::size_t keep = pool.Capacity() / 2 + static_cast<std::size_t>(receivers_);
  if (admitted_ >= kEventsPerBlock || pool.Available() <= keep) return false;
  ++admitted_;
  return true;
}

uint32_t ug_midi_player::NextBlockStart() const {
  return Master()->CellStart() + static_cast<uint32_t>(Master()->EngineBlockSize());
}

void ug_midi_player::Schedule(uint32_t time, RunFunction function) {
  if (QueueRunFunction(time, function)) return;
  if (!told_late_) told_late_ = RequestMessageBox(kRanLate);
  retry_ = function;
  SetProcessFunction(&ug_midi_player::RetrySchedule);
}

void ug_midi_player::RetrySchedule(int32_t, int32_t) {
  if (!QueueRunFunction(Clock(), retry_)) return;
  retry_ = nullptr;
  SetProcessFunction(&ug_midi_player::SleepWhenIdle);
}

void ug_midi_player::SendMidi(uint32_t word) { ug_base::SendMidi(*plug(kMidiOut), Clock(), word); }

void ug_midi_player::OnStatusChange(uint32_t, connector* link, int32_t) {
  if (Clock() <= kSettleSamples) return;
  switch (link->Destination()->Number()) {
    case kTempo:
      sequence_.SetTempo(InputBpm());
      break;
    case kFileName:
      RequestMessageBox(kNextPlay);
      break;
    default:
      break;
  }
}

}  // namespace ov
