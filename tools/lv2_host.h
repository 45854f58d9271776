// A small LV2 host on liblilv, behind `orvane validate NAME.lv2` and the
// bundle tests: loads bundles, instantiates a plug-in with urid:map and the
// block-length options, and plays MIDI and transport into it block by
// block, with its state and presets.
// Thread: the calling thread loads, drives and unloads the plug-in.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/block_events.h"

namespace ov {

class Lv2World {
 public:
  // Every bundle in `folder`, or only the bundle `folder` itself when
  // `one_bundle`; with the LV2 schemas installed in /usr/lib/lv2.
  explicit Lv2World(const std::string& folder, bool one_bundle = false);
  ~Lv2World();
  const LilvPlugin* Plugin(const std::string& uri) const;
  // The URIs of the plug-ins loaded.
  std::vector<std::string> PluginUris() const;
  // The URIs of the presets of `uri`.
  std::vector<std::string> Presets(const std::string& uri) const;
  LilvWorld* World() const { return world_; }
  LV2_URID_Map* Map() { return &map_; }
  LV2_URID_Unmap* Unmap() { return &unmap_; }
  uint32_t Id(const std::string& uri);

 private:
  static LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri);
  static const char* UnmapId(LV2_URID_Unmap_Handle handle, LV2_URID id);

  LilvWorld* world_;
  std::map<std::string, uint32_t> ids_;
  std::vector<std::string> uris_;
  LV2_URID_Map map_{this, &Lv2World::MapUri};
  LV2_URID_Unmap unmap_{this, &Lv2World::UnmapId};
};

// A saved state property.
struct Lv2SavedProperty {
  uint32_t key = 0;
  uint32_t type = 0;
  std::vector<uint8_t> value;
};

class Lv2Instance {
 public:
  // With a `session` folder, the plug-in is offered state:makePath into it
  // and, when saving and restoring, state:mapPath with paths relative to it,
  // as a host that keeps each session's files in one folder does.
  Lv2Instance(Lv2World& world, const std::string& uri, double rate, int32_t block,
              const std::string& session = {});
  ~Lv2Instance();
  bool Ok() const { return instance_ != nullptr; }
  bool IsInstrument() const;
  std::size_t AudioInputs() const { return audio_inputs_.size(); }
  // The control ports' symbols with their ranges.
  struct ControlRange {
    std::string symbol;
    float minimum, maximum, default_value;
  };
  std::vector<ControlRange> Controls() const;

  LilvInstance* Lilv() const { return instance_; }
  // Every control port's value, by port index (0 for other ports).
  const std::vector<float>& ControlValues() const { return control_values_; }
  bool HasControl(const std::string& symbol) const { return control_index_.contains(symbol); }
  void SetControl(const std::string& symbol, float value);
  float Control(const std::string& symbol) const;
  void Activate();
  void Deactivate();
  // Plays `frames` frames in blocks, MIDI at frames counted from this call,
  // `input` on every audio input (cycled; silence when empty);
  // the first block carries a playing transport at 120 beats per minute in
  // 4/4 when `transport`. The channels of the audio outputs.
  std::vector<std::vector<float>> Play(const std::vector<ScheduledMidi>& midi, int64_t frames,
                                       bool transport = true, const std::vector<float>& input = {});
  // The MIDI the plug-in sent since the last call, at frames counted from
  // the start of the Play that sent it.
  std::vector<ScheduledMidi> TakeMidiOutput() { return std::move(midi_output_); }
  std::vector<Lv2SavedProperty> Save();
  LV2_State_Status Restore(const std::vector<Lv2SavedProperty>& properties);
  // Applies a preset as hosts do: its state, then its port values.
  bool ApplyPreset(const std::string& preset_uri);

 private:
  static LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value,
                                size_t size, uint32_t type, uint32_t flags);
  static const void* Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                              uint32_t* flags);
  static void SetPortValue(const char* symbol, void* data, const void* value, uint32_t size,
                           uint32_t type);
  // The worker runs what a block asked for right after it, on this thread.
  static LV2_Worker_Status ScheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                        const void* data);
  void RunWork();
  static char* MakePath(LV2_State_Make_Path_Handle handle, const char* path);
  static char* AbstractPath(LV2_State_Map_Path_Handle handle, const char* absolute);
  static char* AbsolutePath(LV2_State_Map_Path_Handle handle, const char* abstract);
  // The features given to save and restore: none without a session.
  const LV2_Feature* const* StateFeatures() const;

  Lv2World& world_;
  const LilvPlugin* plugin_;
  LilvInstance* instance_ = nullptr;
  int32_t block_;
  std::vector<uint32_t> audio_outputs_;
  std::vector<uint32_t> audio_inputs_;
  std::map<std::string, uint32_t> control_index_;
  std::vector<float> minima_, maxima_, defaults_;  // by port index
  std::vector<float> control_values_;              // by port index
  std::vector<std::vector<float>> buffers_;        // by port index, audio ports
  std::vector<uint32_t> atom_inputs_;
  std::vector<uint32_t> atom_outputs_;
  std::vector<std::vector<uint64_t>> atom_buffers_;  // by port index
  LV2_Atom_Forge forge_{};
  std::vector<ScheduledMidi> midi_output_;
  LV2_Worker_Schedule schedule_{this, &Lv2Instance::ScheduleWork};
  std::vector<std::vector<uint8_t>> work_;  // asked for during the current block
  int32_t options_values_[2];
  std::vector<LV2_Options_Option> options_;
  std::string session_;  // ends in "/"; empty: none
  LV2_State_Make_Path make_path_{this, &Lv2Instance::MakePath};
  LV2_State_Map_Path map_path_{this, &Lv2Instance::AbstractPath, &Lv2Instance::AbsolutePath};
  const LV2_Feature make_path_feature_{LV2_STATE__makePath, &make_path_};
  const LV2_Feature map_path_feature_{LV2_STATE__mapPath, &map_path_};
  const LV2_Feature* state_features_[3] = {&make_path_feature_, &map_path_feature_, nullptr};
};

}  // namespace ov
