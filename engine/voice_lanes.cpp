#include "engine/voice_lanes.h"

#include <cstdlib>
#include <string_view>

#include "engine/ug_base.h"

namespace ov {

LaneMode BestLaneMode() {
#if defined(__x86_64__)
  __builtin_cpu_init();  // the library may be asked before its constructors ran
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
    return LaneMode::kAvx512;
  }
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return LaneMode::kAvx2;
#endif
  return LaneMode::kBaseline;
}

LaneMode DefaultLaneMode() {
  const char* asked = std::getenv("ORVANE_SIMD");
  const std::string_view choice = asked != nullptr ? asked : "";
  if (choice == "off") return LaneMode::kOff;
  if (choice == "baseline") return LaneMode::kBaseline;
  const LaneMode best = BestLaneMode();
  if (choice == "avx2" && best == LaneMode::kAvx512) return LaneMode::kAvx2;
  return best;
}

LaneGroup::LaneGroup(std::vector<ug_base*> members, int32_t block_size, LaneMode mode)
    : members_(std::move(members)), scratch_(block_size), mode_(mode) {
  ready_.resize(members_.size());
  for (ug_base* member : members_) member->lane_group_ = this;
}

void LaneGroup::Release() {
  for (ug_base* member : members_) member->lane_group_ = nullptr;
  members_.clear();
}

void LaneGroup::Run(uint32_t slice, uint32_t slice_start, int32_t position, int32_t frames) {
  if (ran_slice_ == slice) return;
  ran_slice_ = slice;
  const uint32_t slice_end = slice_start + static_cast<uint32_t>(frames);
  ready_count_ = 0;
  for (ug_base* member : members_) {
    const bool listed = member->in_run_list_ && !member->leaving_run_list_ && !member->sleeping_ &&
                        (member->flags_ & UGF_SUSPENDED) == 0;
    if (!listed || member->clock_ != slice_start) continue;
    const ug_event* first = member->FirstEvent();
    if (first != nullptr && static_cast<int32_t>(first->time_stamp - slice_end) < 0) continue;
    ready_[ready_count_++] = {member, {}};
  }
  // A lone copy runs on its own path: no kernel to look up.
  if (ready_count_ < 2) return;
  for (std::size_t i = 0; i < ready_count_; ++i) {
    const LaneKernel kernel = ready_[i].member->LaneKernelNow();
    if (!kernel) continue;
    const LaneBuild& vector_build = mode_ == LaneMode::kAvx512 ? kernel.avx512 : kernel.avx2;
    if (RunsVectorBuilds(mode_) && vector_build.run != nullptr) {
      ready_[i].build = vector_build;
    } else {
      ready_[i].build = {kernel.baseline, nullptr, kLanes};
    }
  }
  // Buckets of one kernel each, in member order.
  for (std::size_t i = 0; i < ready_count_; ++i) {
    if (ready_[i].build.run == nullptr) continue;
    RunBucket(ready_[i], static_cast<int32_t>(i), slice, slice_end, position, frames);
  }
}

void LaneGroup::RunBucket(Ready kind, int32_t first, uint32_t slice, uint32_t slice_end,
                          int32_t position, int32_t frames) {
  const LaneRun run = kind.build.run;
  const LaneRun paired = kind.build.paired;
  const int32_t lanes = kind.build.lanes;
  // A paired build takes twice the copies per call; past one batch it runs
  // them all at once.
  const int32_t capacity = paired != nullptr ? 2 * lanes : lanes;
  ug_base* batch[kMostLanesPerCall];
  int32_t count = 0;
  int32_t bucket_size = 0;
  for (std::size_t i = static_cast<std::size_t>(first); i < ready_count_; ++i) {
    if (ready_[i].build.run == run) ++bucket_size;
  }
  if (bucket_size < 2) {
    ready_[static_cast<std::size_t>(first)].build.run = nullptr;  // runs alone
    return;
  }
  const auto flush = [&] {
    (count > lanes ? paired : run)({batch, count, position, frames, scratch_.Data()});
    runs_ += static_cast<uint64_t>(count);
    for (int32_t j = 0; j < count; ++j) {
      batch[j]->clock_ = slice_end;
      batch[j]->lane_slice_ = slice;
    }
    count = 0;
  };
  for (std::size_t i = static_cast<std::size_t>(first); i < ready_count_; ++i) {
    if (ready_[i].build.run != run) continue;
    ready_[i].build.run = nullptr;
    batch[count++] = ready_[i].member;
    if (count == capacity) flush();
  }
  if (count > 0) flush();
}

void VoiceLanes::Build(ug_base& top, LaneMode mode, int32_t block_size) {
  Clear();
  if (mode == LaneMode::kOff) return;
  top.VisitTree([&](ug_base& generator) {
    if ((generator.Flags() & UGF_CLONE) != 0 || generator.NextClone() == nullptr) return;
    if (!generator.HasLaneKernels()) return;
    std::vector<ug_base*> members{&generator};
    for (ug_base* clone = generator.NextClone(); clone != nullptr; clone = clone->NextClone()) {
      if (clone->SortOrder() == generator.SortOrder()) members.push_back(clone);
    }
    groups_.push_back(
        std::make_unique<LaneGroup>(std::move(members), block_size, mode));
  });
}

void VoiceLanes::Clear() {
  for (auto& group : groups_) group->Release();
  groups_.clear();
}

uint64_t VoiceLanes::RunsOf(const ug_base& generator) {
  return generator.lane_group_ != nullptr ? generator.lane_group_->Runs() : 0;
}

bool VoiceLanes::RunGroupOf(ug_base& generator, uint32_t slice_start, int32_t position,
                            int32_t frames) {
  generator.lane_group_->Run(slice_, slice_start, position, frames);
  return generator.lane_slice_ == slice_;
}

}  // namespace ov
