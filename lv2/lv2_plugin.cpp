#include "lv2/lv2_plugin.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "document/container.h"
#include "document/document.h"
#include "host/embedded_files.h"
#include "host/ov_vst.h"
#include "lv2/bundle_text.h"

namespace ov {
namespace {

constexpr intptr_t kHostVersion = 2400;
constexpr intptr_t kProcessLevelRealtime = 2;
constexpr intptr_t kProcessLevelOffline = 4;
constexpr int32_t kDefaultBlockSize = 1024;
constexpr int32_t kMaxBlockSize = 1 << 16;
// Room kept for one run's events; more are dropped, as a VST 2 host's
// event list would be cut.
constexpr std::size_t kMaxMidiPerRun = 4096;
constexpr std::size_t kMaxTransportsPerRun = 64;
// The editor side's work runs about this often when the host offers a
// worker.
constexpr double kWorkSeconds = 0.05;

// The instance being created on this thread: the plug-in calls back from
// its constructor, before its record knows the instance.
thread_local OvLv2* t_creating = nullptr;

bool ReadNumber(const LV2_Atom* atom, LV2_URID int_type, LV2_URID long_type, LV2_URID float_type,
                LV2_URID double_type, double* value) {
  if (atom == nullptr) return false;
  if (atom->type == int_type && atom->size >= sizeof(int32_t)) {
    *value = reinterpret_cast<const LV2_Atom_Int*>(atom)->body;
  } else if (atom->type == long_type && atom->size >= sizeof(int64_t)) {
    *value = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
  } else if (atom->type == float_type && atom->size >= sizeof(float)) {
    *value = reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
  } else if (atom->type == double_type && atom->size >= sizeof(double)) {
    *value = reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
  } else {
    return false;
  }
  return std::isfinite(*value);
}

// The length of a MIDI message from its status byte; 0 for what a single
// event cannot carry (system exclusive) or a data byte.
uint32_t MidiMessageSize(uint8_t status) {
  if (status < 0x80) return 0;
  if (status < 0xF0) return (status & 0xE0) == 0xC0 ? 2 : 3;
  switch (status) {
    case 0xF1:
    case 0xF3:
      return 2;
    case 0xF2:
      return 3;
    case 0xF0:
    case 0xF7:
      return 0;
    default:
      return 1;
  }
}

}  // namespace

std::unique_ptr<OvLv2> OvLv2::Create(double sample_rate, const LV2_Feature* const* features,
                                     ProjectSource& source) {
  std::unique_ptr<OvLv2> instance(new OvLv2);
  for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
    if (IsFeature(*f, LV2_URID__map)) {
      instance->map_ = static_cast<LV2_URID_Map*>((*f)->data);
    } else if (IsFeature(*f, LV2_WORKER__schedule)) {
      instance->schedule_ = static_cast<LV2_Worker_Schedule*>((*f)->data);
    }
  }
  if (instance->map_ == nullptr) {
    std::fprintf(stderr, "Orvane: the host offers no urid:map; the plug-in cannot start\n");
    return nullptr;
  }
  LV2_URID_Map& map = *instance->map_;
  const auto id = [&map](const char* uri) { return map.map(map.handle, uri); };
  instance->uris_ = {id(LV2_ATOM__Chunk),
                     id(LV2_ATOM__Int),
                     id(LV2_ATOM__Long),
                     id(LV2_ATOM__Float),
                     id(LV2_ATOM__Double),
                     id(LV2_ATOM__Object),
                     id(LV2_ATOM__Blank),
                     id(LV2_ATOM__Sequence),
                     id(LV2_MIDI__MidiEvent),
                     id(LV2_TIME__Position),
                     id(LV2_TIME__frame),
                     id(LV2_TIME__speed),
                     id(LV2_TIME__beatsPerMinute),
                     id(LV2_TIME__bar),
                     id(LV2_TIME__barBeat),
                     id(LV2_TIME__beat),
                     id(LV2_TIME__beatsPerBar),
                     id(LV2_TIME__beatUnit),
                     id(kLv2BankProperty),
                     id(kLv2ProgramProperty),
                     id(LV2_BUF_SIZE__maxBlockLength),
                     id(LV2_BUF_SIZE__nominalBlockLength),
                     id(LV2_ATOM__URID),
                     id(LV2_ATOM__Tuple),
                     id(LV2_ATOM__String),
                     id(LV2_ATOM__Path),
                     id(kLv2FilesProperty)};
  instance->sample_rate_ = sample_rate;
  instance->ReadOptions(features);
  instance->paths_ = FindPathFeatures(features);

  t_creating = instance.get();
  std::unique_ptr<OvVst> plugin;
  try {
    plugin = std::make_unique<OvVst>(&OvLv2::HostCallback, source);
  } catch (...) {
  }
  t_creating = nullptr;
  if (plugin == nullptr || plugin->LoadFailed()) {
    std::fprintf(stderr, "Orvane: the plug-in's project could not be loaded\n");
    return nullptr;
  }
  OvLv2& self = *instance;
  // Recordings belong to the host's session, not to the bundle.
  if (const LV2_State_Make_Path* make = self.paths_.make;
      make != nullptr && plugin->App().Files()) {
    const std::string folder = TakeHostPath(self.paths_, make->path(make->handle, "recordings"));
    if (!folder.empty()) plugin->App().Files()->SetRecordingFolder(folder);
  }
  CPatchManager* patches = nullptr;
  if (COrvaneDocBase* document = plugin->App().Document()) {
    if (CContainer* main = document->FindMainContainer()) patches = main->GetPatchManager();
  }
  self.layout_ = LayoutPorts(plugin->App().Facts(), patches);
  self.effect_ = plugin.release()->getAeffect();
  self.effect_->user = &self;

  const std::size_t inputs = self.layout_.audio_inputs.size();
  const std::size_t outputs = self.layout_.audio_outputs.size();
  const auto block = static_cast<std::size_t>(self.block_size_);
  self.audio_in_.assign(inputs, nullptr);
  self.audio_out_.assign(outputs, nullptr);
  self.controls_.assign(self.layout_.controls.size(), nullptr);
  for (const Lv2ControlPort& port : self.layout_.controls)
    self.applied_.push_back(port.default_value);
  self.input_copy_.assign(inputs * block, 0.0f);
  self.input_slices_.assign(std::max<std::size_t>(inputs, 1), nullptr);
  self.output_slices_.assign(std::max<std::size_t>(outputs, 1), nullptr);
  self.discard_.assign(block, 0.0f);
  self.midi_.reserve(kMaxMidiPerRun);
  self.transports_.reserve(kMaxTransportsPerRun);
  self.slice_events_.resize(kMaxMidiPerRun);
  self.slice_record_.assign(2 + kMaxMidiPerRun, 0);
  lv2_atom_forge_init(&self.forge_, self.map_);
  self.time_.sampleRate = sample_rate;

  self.Dispatch(vst2::effOpen, 0, 0, nullptr, 0.0f);
  self.Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sample_rate));
  self.Dispatch(vst2::effSetBlockSize, 0, self.block_size_, nullptr, 0.0f);
  return instance;
}

OvLv2::~OvLv2() {
  // Closing deletes the plug-in object.
  if (effect_ != nullptr) Dispatch(vst2::effClose, 0, 0, nullptr, 0.0f);
}

void OvLv2::ReadOptions(const LV2_Feature* const* features) {
  const LV2_Options_Option* options = nullptr;
  for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
    if (IsFeature(*f, LV2_OPTIONS__options)) {
      options = static_cast<const LV2_Options_Option*>((*f)->data);
    }
  }
  int32_t nominal = 0;
  int32_t maximum = 0;
  for (const LV2_Options_Option* o = options; o != nullptr && o->key != 0; ++o) {
    if (o->type != uris_.atom_int || o->size < sizeof(int32_t) || o->value == nullptr) continue;
    const int32_t value = *static_cast<const int32_t*>(o->value);
    if (o->key == uris_.nominal_block) nominal = value;
    if (o->key == uris_.max_block) maximum = value;
  }
  // The engine's block follows the size the host means to send; longer
  // runs are cut into blocks of that size.
  int32_t chosen = nominal > 0 ? nominal : maximum > 0 ? maximum : kDefaultBlockSize;
  if (maximum > 0) chosen = std::min(chosen, maximum);
  block_size_ = std::clamp(chosen, 1, kMaxBlockSize);
}

intptr_t OvLv2::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

intptr_t OvLv2::HostCallback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t,
                             void* ptr, float opt) {
  if (opcode == vst2::audioMasterVersion) return kHostVersion;
  OvLv2* self =
      effect != nullptr && effect->user != nullptr ? static_cast<OvLv2*>(effect->user) : t_creating;
  return self != nullptr ? self->Answer(opcode, index, ptr, opt) : 0;
}

intptr_t OvLv2::Answer(int32_t opcode, int32_t index, void* ptr, float opt) {
  switch (opcode) {
    case vst2::audioMasterAutomate:
      ReportToPort(index, opt);
      return 0;
    case vst2::audioMasterWantMidi:
      return 1;
    case vst2::audioMasterGetTime:
      return reinterpret_cast<intptr_t>(&time_);
    case vst2::audioMasterProcessEvents:
      if (ptr != nullptr) SendMidiOut(*static_cast<const vst2::VstEvents*>(ptr));
      return 1;
    case vst2::audioMasterGetSampleRate:
      return static_cast<intptr_t>(sample_rate_);
    case vst2::audioMasterGetBlockSize:
      return block_size_;
    case vst2::audioMasterGetCurrentProcessLevel:
      return offline_.load(std::memory_order_relaxed) ? kProcessLevelOffline
                                                      : kProcessLevelRealtime;
    default:
      return 0;
  }
}

void OvLv2::Connect(uint32_t port, void* data) {
  const std::size_t inputs = layout_.audio_inputs.size();
  const std::size_t outputs = layout_.audio_outputs.size();
  if (port < inputs) {
    audio_in_[port] = static_cast<const float*>(data);
  } else if (port < inputs + outputs) {
    audio_out_[port - inputs] = static_cast<float*>(data);
  } else if (port == layout_.EventInputIndex()) {
    events_in_ = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (layout_.midi_output && port == layout_.MidiOutputIndex()) {
    midi_out_ = static_cast<LV2_Atom_Sequence*>(data);
  } else if (port == layout_.FreewheelIndex()) {
    freewheel_ = static_cast<const float*>(data);
  } else if (port >= layout_.FirstControlIndex() && port < layout_.PortCount()) {
    controls_[port - layout_.FirstControlIndex()] = static_cast<const float*>(data);
  }
}

void OvLv2::Activate() {
  time_.samplePos = 0;
  Dispatch(vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
  Dispatch(vst2::effStartProcess, 0, 0, nullptr, 0.0f);
}

void OvLv2::Deactivate() {
  Dispatch(vst2::effStopProcess, 0, 0, nullptr, 0.0f);
  Dispatch(vst2::effMainsChanged, 0, 0, nullptr, 0.0f);
  Dispatch(vst2::effIdle, 0, 0, nullptr, 0.0f);
}

void OvLv2::ApplyControlPorts() {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i] == nullptr) continue;
    const float value = *controls_[i];
    // Only a value the host changed (from the default it was given) sets
    // the parameter, so that a patch the state or a preset chose stays
    // until the host moves a control.
    if (value == applied_[i] || std::isnan(value)) continue;
    applied_[i] = value;
    const Lv2ControlPort& port = layout_.controls[i];
    effect_->setParameter(effect_, port.parameter_index, NormalisedValue(port, value));
  }
}

void OvLv2::ReadEvents(uint32_t frames) {
  midi_.clear();
  transports_.clear();
  if (events_in_ == nullptr) return;
  LV2_ATOM_SEQUENCE_FOREACH(events_in_, event) {
    const uint32_t frame =
        static_cast<uint32_t>(std::clamp<int64_t>(event->time.frames, 0, frames - 1));
    const LV2_Atom& body = event->body;
    if (body.type == uris_.midi_event) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(&body + 1);
      const uint32_t size = body.size > 0 ? MidiMessageSize(bytes[0]) : 0;
      if (size == 0 || size > body.size || midi_.size() == midi_.capacity()) continue;
      TimedMidi midi{frame, {bytes[0], 0, 0}};
      for (uint32_t b = 1; b < size; ++b) midi.bytes[b] = bytes[b];
      midi_.push_back(midi);
    } else if ((body.type == uris_.atom_object || body.type == uris_.atom_blank) &&
               body.size >= sizeof(LV2_Atom_Object_Body) &&
               transports_.size() < transports_.capacity()) {
      const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&body);
      if (object->body.otype == uris_.time_position) transports_.push_back({frame, object});
    }
  }
}

void OvLv2::ApplyPosition(const LV2_Atom_Object& position) {
  const LV2_Atom* frame = nullptr;
  const LV2_Atom* speed = nullptr;
  const LV2_Atom* bpm = nullptr;
  const LV2_Atom* bar = nullptr;
  const LV2_Atom* bar_beat = nullptr;
  const LV2_Atom* beat = nullptr;
  const LV2_Atom* beats_per_bar = nullptr;
  const LV2_Atom* beat_unit = nullptr;
  lv2_atom_object_get(&position, uris_.time_frame, &frame, uris_.time_speed, &speed, uris_.time_bpm,
                      &bpm, uris_.time_bar, &bar, uris_.time_bar_beat, &bar_beat, uris_.time_beat,
                      &beat, uris_.time_beats_per_bar, &beats_per_bar, uris_.time_beat_unit,
                      &beat_unit, 0);
  const auto number = [this](const LV2_Atom* atom, double* value) {
    return ReadNumber(atom, uris_.atom_int, uris_.atom_long, uris_.atom_float, uris_.atom_double,
                      value);
  };
  double value = 0;
  if (number(frame, &value)) time_.samplePos = value;
  if (number(speed, &value)) {
    const bool was_playing = speed_ != 0;
    speed_ = value;
    if (was_playing != (speed_ != 0)) time_.flags |= vst2::kVstTransportChanged;
  }
  if (number(bpm, &value) && value > 0) {
    time_.tempo = value;
    time_.flags |= vst2::kVstTempoValid;
  }
  if (number(beats_per_bar, &value) && value > 0) beats_per_bar_ = value;
  if (number(beat_unit, &value) && value >= 1) beat_unit_ = value;
  const double quarters_per_beat = 4.0 / beat_unit_;
  double bar_number = 0;
  double beat_in_bar = 0;
  if (number(bar, &bar_number) && number(bar_beat, &beat_in_bar)) {
    time_.barStartPos = bar_number * beats_per_bar_ * quarters_per_beat;
    time_.ppqPos = time_.barStartPos + beat_in_bar * quarters_per_beat;
    time_.flags |= vst2::kVstBarsValid | vst2::kVstPpqPosValid;
  } else if (number(beat, &value)) {
    time_.ppqPos = value * quarters_per_beat;
    time_.flags |= vst2::kVstPpqPosValid;
  }
  time_.timeSigNumerator = static_cast<int32_t>(std::lround(beats_per_bar_));
  time_.timeSigDenominator = static_cast<int32_t>(std::lround(beat_unit_));
  time_.flags |= vst2::kVstTimeSigValid;
  if (speed_ != 0) {
    time_.flags |= vst2::kVstTransportPlaying;
  } else {
    time_.flags &= ~vst2::kVstTransportPlaying;
  }
}

void OvLv2::AdvanceTime(uint32_t frames) {
  time_.flags &= ~vst2::kVstTransportChanged;
  if (speed_ == 0) return;
  time_.samplePos += frames * speed_;
  if (time_.flags & vst2::kVstTempoValid) {
    time_.ppqPos += frames * speed_ / sample_rate_ * time_.tempo / 60.0;
    const double bar_quarters = beats_per_bar_ * 4.0 / beat_unit_;
    if (time_.flags & vst2::kVstBarsValid) {
      time_.barStartPos = std::floor(time_.ppqPos / bar_quarters) * bar_quarters;
    }
  }
}

void OvLv2::SendMidiOut(const vst2::VstEvents& events) {
  if (!midi_out_open_) return;
  const vst2::VstEvent* const* pointers = events.events;
  for (int32_t i = 0; i < events.numEvents; ++i) {
    const vst2::VstEvent* event = pointers[i];
    if (event == nullptr || event->type != vst2::kVstMidiType) continue;
    const auto* midi = reinterpret_cast<const vst2::VstMidiEvent*>(event);
    const auto* bytes = reinterpret_cast<const uint8_t*>(midi->midiData);
    const uint32_t size = MidiMessageSize(bytes[0]);
    if (size == 0) continue;
    // A sequence's events never go back in time.
    const int64_t frame =
        std::max<int64_t>(last_midi_out_frame_, slice_offset_ + std::max(0, midi->deltaFrames));
    last_midi_out_frame_ = frame;
    if (lv2_atom_forge_frame_time(&forge_, frame) == 0 ||
        lv2_atom_forge_atom(&forge_, size, uris_.midi_event) == 0 ||
        lv2_atom_forge_write(&forge_, bytes, size) == 0) {
      return;  // the host's buffer is full
    }
  }
}

void OvLv2::ProcessSlice(uint32_t offset, uint32_t frames) {
  for (std::size_t c = 0; c < audio_in_.size(); ++c) {
    float* copy = input_copy_.data() + c * static_cast<std::size_t>(block_size_);
    if (audio_in_[c] != nullptr) {
      std::memcpy(copy, audio_in_[c] + offset, sizeof(float) * frames);
    } else {
      std::memset(copy, 0, sizeof(float) * frames);
    }
    input_slices_[c] = copy;
  }
  for (std::size_t c = 0; c < audio_out_.size(); ++c) {
    output_slices_[c] = audio_out_[c] != nullptr ? audio_out_[c] + offset : discard_.data();
  }
  // The MIDI of this slice, at its frames within it.
  int32_t count = 0;
  for (const TimedMidi& midi : midi_) {
    if (midi.frame < offset || midi.frame >= offset + frames) continue;
    vst2::VstMidiEvent& event = slice_events_[static_cast<std::size_t>(count)];
    event = {};
    event.type = vst2::kVstMidiType;
    event.byteSize = sizeof(vst2::VstMidiEvent);
    event.deltaFrames = static_cast<int32_t>(midi.frame - offset);
    std::memcpy(event.midiData, midi.bytes, 3);
    slice_record_[2 + static_cast<std::size_t>(count)] = reinterpret_cast<intptr_t>(&event);
    ++count;
  }
  if (count > 0) {
    auto* record = reinterpret_cast<vst2::VstEvents*>(slice_record_.data());
    record->numEvents = count;
    record->reserved = 0;
    Dispatch(vst2::effProcessEvents, 0, 0, record, 0.0f);
  }
  slice_offset_ = offset;
  effect_->processReplacing(effect_, input_slices_.data(), output_slices_.data(),
                            static_cast<int32_t>(frames));
  AdvanceTime(frames);
}

void OvLv2::Run(uint32_t frames) {
  offline_.store(freewheel_ != nullptr && *freewheel_ > 0.5f, std::memory_order_relaxed);
  ApplyControlPorts();
  ReadEvents(frames);
  midi_out_open_ = false;
  if (midi_out_ != nullptr) {
    const uint32_t capacity = midi_out_->atom.size;
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(midi_out_), capacity);
    midi_out_open_ = lv2_atom_forge_sequence_head(&forge_, &midi_out_frame_, 0) != 0;
    last_midi_out_frame_ = 0;
  }
  // Slices end at the block size and at each transport change, so that the
  // plug-in reads the time that holds for all of a slice.
  std::size_t next_transport = 0;
  uint32_t offset = 0;
  while (offset < frames) {
    while (next_transport < transports_.size() && transports_[next_transport].frame <= offset) {
      ApplyPosition(*transports_[next_transport++].position);
    }
    uint32_t end = std::min(frames, offset + static_cast<uint32_t>(block_size_));
    if (next_transport < transports_.size()) end = std::min(end, transports_[next_transport].frame);
    ProcessSlice(offset, end - offset);
    offset = end;
  }
  if (midi_out_open_) lv2_atom_forge_pop(&forge_, &midi_out_frame_);

  frames_since_work_ += frames;
  if (schedule_ != nullptr && frames_since_work_ >= kWorkSeconds * sample_rate_) {
    frames_since_work_ = 0;
    schedule_->schedule_work(schedule_->handle, 0, nullptr);
  }
}

void OvLv2::Work() { Dispatch(vst2::effIdle, 0, 0, nullptr, 0.0f); }

void OvLv2::ReportToPort(int32_t parameter_index, float normalised) {
  // Only an open editor reports, on the thread it runs on: the plug-in
  // tells of panel and MIDI changes, never of the host's own, so no port
  // is written back.
  auto* plugin = static_cast<OvVst*>(AudioEffect::FromAeffect(effect_));
  if (!write_port_ || !plugin->App().OnUserInterfaceThread()) return;
  for (std::size_t i = 0; i < layout_.controls.size(); ++i) {
    const Lv2ControlPort& port = layout_.controls[i];
    if (port.parameter_index != parameter_index) continue;
    const float value = PortValueOf(port, normalised);
    write_port_(layout_.FirstControlIndex() + static_cast<uint32_t>(i), value);
  }
}

bool OvLv2::OpenEditor(void* parent, PortWriter write_port, int32_t* width, int32_t* height,
                       void** window) {
  vst2::ERect* rect = nullptr;
  if (Dispatch(vst2::effEditGetRect, 0, 0, &rect, 0.0f) == 0 || rect == nullptr) return false;
  *width = rect->right - rect->left;
  *height = rect->bottom - rect->top;
  if (Dispatch(vst2::effEditOpen, 0, 0, parent, 0.0f) == 0) return false;
  auto* plugin = static_cast<OvVst*>(AudioEffect::FromAeffect(effect_));
  *window = plugin->Editor() != nullptr ? plugin->Editor()->SystemWindow() : nullptr;
  write_port_ = std::move(write_port);
  return true;
}

bool OvLv2::EditorIdle() {
  Dispatch(vst2::effEditIdle, 0, 0, nullptr, 0.0f);
  auto* plugin = static_cast<OvVst*>(AudioEffect::FromAeffect(effect_));
  return plugin->Editor() != nullptr && plugin->Editor()->isOpen();
}

void OvLv2::CloseEditor() {
  write_port_ = nullptr;
  Dispatch(vst2::effEditClose, 0, 0, nullptr, 0.0f);
}

LV2_State_Status OvLv2::Save(LV2_State_Store_Function store, LV2_State_Handle handle,
                             const LV2_Feature* const* features) {
  void* chunk = nullptr;
  const intptr_t size = Dispatch(vst2::effGetChunk, 0, 0, &chunk, 0.0f);
  if (size <= 0 || chunk == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
  const LV2_State_Status status = store(handle, uris_.bank, chunk, static_cast<std::size_t>(size),
                                        uris_.atom_chunk, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
  if (status != LV2_STATE_SUCCESS) return status;
  return SaveFiles(store, handle, FindPathFeatures(features, paths_));
}

LV2_State_Status OvLv2::SaveFiles(LV2_State_Store_Function store, LV2_State_Handle handle,
                                  const Lv2PathFeatures& paths) {
  const EmbeddedFiles* files =
      static_cast<OvVst*>(AudioEffect::FromAeffect(effect_))->App().Files();
  if (paths.map == nullptr || files == nullptr) return LV2_STATE_SUCCESS;
  std::map<std::string, std::string> abstract_paths;
  for (const auto& [name, path] : files->FilesReadFromDisk()) {
    std::string abstract =
        TakeHostPath(paths, paths.map->abstract_path(paths.map->handle, path.c_str()));
    if (!abstract.empty()) abstract_paths[name] = std::move(abstract);
  }
  if (abstract_paths.empty()) return LV2_STATE_SUCCESS;
  const std::vector<uint8_t> body =
      PackSessionFiles(abstract_paths, uris_.atom_string, uris_.atom_path);
  return store(handle, uris_.files, body.data(), body.size(), uris_.atom_tuple,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

std::map<std::string, std::string> OvLv2::RestoredFiles(LV2_State_Retrieve_Function retrieve,
                                                        LV2_State_Handle handle,
                                                        const Lv2PathFeatures& paths,
                                                        bool* damaged) {
  std::size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  std::map<std::string, std::string> moved;
  const void* body = retrieve(handle, uris_.files, &size, &type, &flags);
  if (body == nullptr || paths.map == nullptr) return moved;
  const auto entries = type == uris_.atom_tuple
                           ? UnpackSessionFiles(body, size, uris_.atom_string, uris_.atom_path)
                           : std::nullopt;
  *damaged = !entries;
  if (!entries) return moved;
  for (const auto& [name, abstract] : *entries) {
    std::string now =
        TakeHostPath(paths, paths.map->absolute_path(paths.map->handle, abstract.c_str()));
    if (!now.empty()) moved[name] = std::move(now);
  }
  return moved;
}

LV2_State_Status OvLv2::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                                const LV2_Feature* const* features) {
  std::size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  LV2_State_Status status = LV2_STATE_SUCCESS;
  auto* plugin = static_cast<OvVst*>(AudioEffect::FromAeffect(effect_));
  bool damaged = false;
  std::map<std::string, std::string> moved =
      RestoredFiles(retrieve, handle, FindPathFeatures(features, paths_), &damaged);
  if (damaged) {
    plugin->App().Messages().Post("The saved state is not of this plug-in and was not loaded",
                                  MessageStyle::kWarning);
    return LV2_STATE_ERR_BAD_TYPE;
  }
  if (const void* bank = retrieve(handle, uris_.bank, &size, &type, &flags)) {
    if (type != uris_.atom_chunk || size > static_cast<std::size_t>(INT32_MAX)) {
      plugin->App().Messages().Post("The saved state is not of this plug-in and was not loaded",
                                    MessageStyle::kWarning);
      status = LV2_STATE_ERR_BAD_TYPE;
    } else {
      // The files move first, so that the project opens them where they are
      // now; a chunk refused leaves them where they were.
      EmbeddedFiles* files = plugin->App().Files();
      std::map<std::string, std::string> before;
      if (files != nullptr) before = files->MoveFiles(std::move(moved));
      // The plug-in reads the whole chunk before it changes anything.
      Dispatch(vst2::effSetChunk, 0, static_cast<intptr_t>(size), const_cast<void*>(bank), 0.0f);
      if (!plugin->LastChunkApplied()) {
        status = LV2_STATE_ERR_UNKNOWN;
        if (files != nullptr) files->MoveFiles(std::move(before));
      }
    }
  }
  if (const void* program = retrieve(handle, uris_.program, &size, &type, &flags)) {
    double number = 0;
    const LV2_Atom header{static_cast<uint32_t>(size), type};
    // The atom is rebuilt around the body the host hands over.
    alignas(8) uint8_t atom[sizeof(LV2_Atom) + sizeof(int64_t)] = {};
    if (size <= sizeof(int64_t)) {
      std::memcpy(atom, &header, sizeof header);
      std::memcpy(atom + sizeof header, program, size);
      if (ReadNumber(reinterpret_cast<const LV2_Atom*>(atom), uris_.atom_int, uris_.atom_long,
                     uris_.atom_float, uris_.atom_double, &number) &&
          number >= 0 && number < 128) {
        Dispatch(vst2::effSetProgram, 0, static_cast<intptr_t>(number), nullptr, 0.0f);
      }
    }
  }
  Dispatch(vst2::effIdle, 0, 0, nullptr, 0.0f);
  return status;
}

}  // namespace ov
