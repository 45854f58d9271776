#include "engine/ug_adder.h"

#include <algorithm>
#include <bit>

namespace ov {

std::unique_ptr<ug_base> ug_adder::CreateInstance() const { return std::make_unique<ug_adder>(); }

void ug_adder::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  descriptors.emplace_back(&output_, DR_OUT, "", "Signal Out", "0", "", 0, DT_FSAMPLE, nullptr);
  descriptors.emplace_back(nullptr, DR_IN, "", "Signals In", "0", "", kPlugCollectsConnections,
                           DT_FSAMPLE, nullptr);
}

void ug_adder::Open() {
  StopPassing(0);
  const auto& links = plug(kInputPlug)->Connectors();
  sources_.clear();
  source_blocks_.clear();
  source_owners_.clear();
  for (const connector* link : links) {
    sources_.push_back(link->Source()->Data());
    source_blocks_.push_back(link->Source()->Block());
    source_owners_.push_back(&link->Source()->Owner());
  }
  running_.assign(links.size(), false);
  running_sources_.clear();
  running_sources_.reserve(links.size());
  const auto& readers = plug(kOutputPlug)->Connectors();
  readers_allow_passing_ =
      !readers.empty() && std::all_of(readers.begin(), readers.end(), [](const connector* link) {
        return link->Destination()->Owner().InputBlocksMayMove();
      });
  pass_checks_ = 0;
  // Without sources the zeroed block is already the answer.
  if (sources_.empty()) {
    SetProcessFunction(&ug_adder::SleepWhenIdle);
  } else {
    SetProcessFunction(&ug_adder::Sum);
  }
  ug_base::Open();
}

void ug_adder::Close() {
  StopPassing(0);
  ug_base::Close();
}

void ug_adder::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const auto& links = plug(kInputPlug)->Connectors();
  const auto found = std::find(links.begin(), links.end(), link);
  if (found != links.end()) {
    running_[found - links.begin()] = state == ST_RUN;
    running_sources_.clear();
    for (std::size_t s = 0; s < running_.size(); ++s) {
      if (running_[s]) running_sources_.push_back(s);
    }
  }

  // The readers have taken the passed block up to now in this cell.
  if (passing_ >= 0) {
    const int32_t cell = plug(kOutputPlug)->Block()->CellSize();
    StopPassing(std::clamp(BlockPosition(), 0, cell));
  }
  pass_checks_ = kPassChecks;
  UPlug& output = *plug(kOutputPlug);
  SetProcessFunction(&ug_adder::Sum);
  if (std::find(running_.begin(), running_.end(), true) != running_.end()) {
    output.Transmit(time, ST_RUN);
  } else {
    EnterStatic();
    output.Transmit(time, std::min<int32_t>(state, ST_STATIC));
  }
}

bool ug_adder::Quiet(std::size_t source) const {
  // A suspended voice keeps its block and the state it last sent.
  return !running_[source] || (source_owners_[source]->Flags() & UGF_SUSPENDED) != 0;
}

bool ug_adder::TryPassing() {
  --pass_checks_;
  if (!readers_allow_passing_) return false;
  std::size_t lone = sources_.size();
  for (std::size_t s = 0; s < sources_.size(); ++s) {
    if (Quiet(s)) continue;
    if (lone != sources_.size()) return false;
    lone = s;
  }
  if (lone == sources_.size()) return false;
  const int32_t cell = plug(kOutputPlug)->Block()->CellSize();
  for (std::size_t s = 0; s < sources_.size(); ++s) {
    if (s == lone) continue;
    // Zeros, which adding leaves every sample as it is (but for a -0 of the
    // lone source, which a +0 made +0: passing keeps it).
    const float* block = sources_[s];
    for (int32_t i = 0; i < cell; ++i) {
      if ((std::bit_cast<uint32_t>(block[i]) & 0x7FFFFFFFu) != 0) return false;
    }
  }
  passing_ = static_cast<int32_t>(lone);
  PointReadersAt(*source_blocks_[lone]);
  SetProcessFunction(&ug_adder::PassOn);
  return true;
}

void ug_adder::StopPassing(int32_t copied) {
  if (passing_ < 0) return;
  std::copy_n(sources_[static_cast<std::size_t>(passing_)], copied, output_);
  PointReadersAt(*plug(kOutputPlug)->Block());
  passing_ = -1;
}

void ug_adder::PointReadersAt(USampBlock& block) {
  for (connector* link : plug(kOutputPlug)->Connectors()) {
    UPlug& input = *link->Destination();
    input.SetSourceBlock(&block);
    if (float** member = input.BufferMember()) *member = block.Data();
  }
}

void ug_adder::PassOn(int32_t position, int32_t count) {
  // A voice resumed since: it runs before this slice of ours, so summing
  // from here on is what the adder would have done all along. Only a
  // running source can be one.
  for (const std::size_t s : running_sources_) {
    if (static_cast<int32_t>(s) == passing_ || Quiet(s)) continue;
    StopPassing(position);
    SetProcessFunction(&ug_adder::Sum);
    pass_checks_ = kPassChecks;
    Sum(position, count);
    return;
  }
}

void ug_adder::Sum(int32_t position, int32_t count) {
  if (position == 0 && pass_checks_ > 0 && TryPassing()) return;
  // Eight samples at a time stay in registers while every source is added,
  // in source order as before; the reads past the slice stay within the
  // blocks' slack.
  constexpr int32_t kRun = 8;
  static_assert(kRun <= USampBlock::kSlack);
  const std::size_t sources = sources_.size();
  for (int32_t start = position; start < position + count; start += kRun) {
    float sum[kRun];
    const float* first = sources_.front() + start;
    for (int32_t i = 0; i < kRun; ++i) sum[i] = first[i];
    for (std::size_t s = 1; s < sources; ++s) {
      const float* in = sources_[s] + start;
      for (int32_t i = 0; i < kRun; ++i) sum[i] += in[i];
    }
    const int32_t n = std::min(kRun, position + count - start);
    std::copy(sum, sum + n, output_ + start);
  }
}

std::unique_ptr<ug_base> ug_adder_midi::CreateInstance() const {
  return std::make_unique<ug_adder_midi>();
}

void ug_adder_midi::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  descriptors.emplace_back(nullptr, DR_OUT, "", "MIDI Out", "0", "", 0, DT_MIDI, nullptr);
  descriptors.emplace_back(nullptr, DR_IN, "", "MIDI In", "0", "", kPlugCollectsConnections,
                           DT_MIDI, nullptr);
}

void ug_adder_midi::HandleEvent(ug_event& event) {
  if (event.kind == UET_MIDI) {
    SendMidi(*plug(ug_adder::kOutputPlug), Clock(), static_cast<uint32_t>(event.parm1));
  } else {
    ug_base::HandleEvent(event);
  }
}

}  // namespace ov
