// Voice lanes: the voice copies of one module (the model and its clones)
// run together as a lane group, up to a build's width of copies per kernel
// call (twice that for a paired build), where each would have run alone.
//
// When the slice loop reaches the first member of a group, the group runs
// every member that is ready for the slice at once, bucketed by the kernel
// of its current process function. A member runs on its own path instead
// (Process, when the loop reaches it) when it is off the run list
// (suspended, sleeping), leaving it, not at the slice start, has an event
// stamped inside the slice, or has no kernel for its process function (a
// static fill, a cross-fade, ...); it rejoins at the next slice it is ready
// for. A bucket of one also runs alone.
//
// Running members early is safe because a group holds only copies of equal
// sort order, and the graph sort gives every generator a higher order than
// each generator it feeds: nothing that runs between two members in the run
// list feeds or reads either. A voice is started, stolen and suspended by its
// note source (which runs before it) or its monitor (after it), never by a
// generator of equal order.
//
// Threads: Build and Clear on the editor thread while audio is stopped;
// the rest on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/lane_kernel.h"
#include "engine/sample_block.h"

namespace ov {

class ug_base;

// The best this CPU runs, unless ORVANE_SIMD asks for "off", "baseline",
// "avx2" or "avx512" (a build the CPU lacks gives the best it has).
// Editor thread.
LaneMode DefaultLaneMode();
// The best build this CPU runs. Any thread.
LaneMode BestLaneMode();
class LaneGroup {
 public:
  LaneGroup(std::vector<ug_base*> members, int32_t block_size, LaneMode mode);

  // Runs the ready members over the slice unless the group has run in it.
  void Run(uint32_t slice, uint32_t slice_start, int32_t position, int32_t frames);
  // Detaches the members. Editor thread.
  void Release();
  // How many member slices ran in lanes so far.
  uint64_t Runs() const { return runs_; }

 private:
  struct Ready {
    ug_base* member;
    LaneBuild build;
  };
  void RunBucket(Ready kind, int32_t first, uint32_t slice, uint32_t slice_end,
                 int32_t position, int32_t frames);

  std::vector<ug_base*> members_;
  // The members ready for the slice, the first ready_count_ of ready_ (one
  // place per member, so that filling it never allocates).
  std::vector<Ready> ready_;
  std::size_t ready_count_ = 0;
  USampBlock scratch_;
  uint32_t ran_slice_ = 0;
  uint64_t runs_ = 0;
  LaneMode mode_;
};

class VoiceLanes {
 public:
  // Groups the copies of every model in the tree whose class has kernels.
  // Editor thread, before the generators open.
  void Build(ug_base& top, LaneMode mode, int32_t block_size);
  void Clear();
  // Audio thread: once per slice, before any generator runs.
  void BeginSlice() { ++slice_; }
  // Runs `generator`'s group if it has not run in this slice. True when it
  // ran `generator`, which then needs no Process.
  bool RunGroupOf(ug_base& generator, uint32_t slice_start, int32_t position, int32_t frames);
  // The lane runs of `generator`'s group (0 without one), for tests and
  // benchmarks.
  static uint64_t RunsOf(const ug_base& generator);

 private:
  std::vector<std::unique_ptr<LaneGroup>> groups_;
  uint32_t slice_ = 0;
};

}  // namespace ov
