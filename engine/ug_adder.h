// The adders that connect() puts in front of an input that several sources
// meet: one sums sample blocks, the other merges MIDI.
//
// Threads: as ug_base (audio thread; editor thread while audio is stopped).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

namespace ov {

// Plug 0: the sum. Plug 1: an input that collects every source itself. Runs
// at full rate while any source runs; otherwise it holds the sum for one
// engine block and sleeps. While one source runs and every other holds
// silence (as the idle voices of a one-note synth do), readers that allow it
// (InputBlocksMayMove) read that source's block itself from the next cell
// on: nothing is summed or copied until a source changes state.
class ug_adder : public ug_base {
 public:
  static constexpr int32_t kOutputPlug = 0;
  static constexpr int32_t kInputPlug = 1;

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  // Gathers the sources' blocks. Editor thread.
  void Open() override;
  void Close() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  void Sum(int32_t position, int32_t count);
  void PassOn(int32_t position, int32_t count);
  // At a cell start: passes the lone running source on when every other
  // source's block is silence.
  bool TryPassing();
  // Not running, or in a suspended voice: its block stays as it is.
  bool Quiet(std::size_t source) const;
  // The readers take the adder's own block again, holding the passed
  // source's first `copied` samples of the cell.
  void StopPassing(int32_t copied);
  void PointReadersAt(USampBlock& block);

  // A few cell starts after a state change: the silent sources' blocks may
  // still be settling then.
  static constexpr int32_t kPassChecks = 3;

  float* output_ = nullptr;
  std::vector<const float*> sources_;    // in connector order
  std::vector<USampBlock*> source_blocks_;
  std::vector<const ug_base*> source_owners_;
  std::vector<bool> running_;            // per source
  // The running sources' indices, in connector order (reserved at open, so
  // filling it allocates nothing).
  std::vector<std::size_t> running_sources_;
  bool readers_allow_passing_ = false;
  int32_t passing_ = -1;  // the source passed on, or -1
  int32_t pass_checks_ = 0;
};

// Plug 0: MIDI out. Plug 1: MIDI in from any number of sources. Forwards
// every message at its time.
class ug_adder_midi : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void HandleEvent(ug_event& event) override;
};

}  // namespace ov
