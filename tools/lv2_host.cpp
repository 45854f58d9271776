#include "tools/lv2_host.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/presets/presets.h>
#include <lv2/time/time.h>

#include <cstring>
#include <filesystem>
#include <string_view>

#include "platform/files.h"

namespace ov {
namespace {

constexpr std::size_t kAtomBufferBytes = 1 << 16;

struct Nodes {
  explicit Nodes(LilvWorld* world)
      : audio(lilv_new_uri(world, LV2_CORE__AudioPort)),
        control(lilv_new_uri(world, LV2_CORE__ControlPort)),
        atom(lilv_new_uri(world, LV2_ATOM__AtomPort)),
        input(lilv_new_uri(world, LV2_CORE__InputPort)) {}
  ~Nodes() {
    for (LilvNode* node : {audio, control, atom, input}) lilv_node_free(node);
  }
  LilvNode* audio;
  LilvNode* control;
  LilvNode* atom;
  LilvNode* input;
};

}  // namespace

Lv2World::Lv2World(const std::string& folder, bool one_bundle) : world_(lilv_world_new()) {
  LilvNode* path =
      lilv_new_string(world_, one_bundle ? "/usr/lib/lv2" : (folder + ":/usr/lib/lv2").c_str());
  lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
  lilv_node_free(path);
  lilv_world_load_all(world_);
  if (one_bundle) {
    std::string absolute = std::filesystem::absolute(folder).lexically_normal().string();
    if (!absolute.ends_with('/')) absolute.push_back('/');
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, absolute.c_str());
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
  }
}

std::vector<std::string> Lv2World::PluginUris() const {
  std::vector<std::string> uris;
  const LilvPlugins* plugins = lilv_world_get_all_plugins(world_);
  LILV_FOREACH(plugins, i, plugins) {
    uris.push_back(lilv_node_as_uri(lilv_plugin_get_uri(lilv_plugins_get(plugins, i))));
  }
  return uris;
}

std::vector<std::string> Lv2World::Presets(const std::string& uri) const {
  std::vector<std::string> presets;
  const LilvPlugin* plugin = Plugin(uri);
  if (plugin == nullptr) return presets;
  LilvNode* preset_class = lilv_new_uri(world_, LV2_PRESETS__Preset);
  LilvNodes* related = lilv_plugin_get_related(plugin, preset_class);
  LILV_FOREACH(nodes, i, related) presets.push_back(lilv_node_as_uri(lilv_nodes_get(related, i)));
  lilv_nodes_free(related);
  lilv_node_free(preset_class);
  return presets;
}

Lv2World::~Lv2World() { lilv_world_free(world_); }

const LilvPlugin* Lv2World::Plugin(const std::string& uri) const {
  LilvNode* node = lilv_new_uri(world_, uri.c_str());
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
  lilv_node_free(node);
  return plugin;
}

uint32_t Lv2World::Id(const std::string& uri) { return MapUri(this, uri.c_str()); }

LV2_URID Lv2World::MapUri(LV2_URID_Map_Handle handle, const char* uri) {
  auto& self = *static_cast<Lv2World*>(handle);
  const auto [found, added] =
      self.ids_.try_emplace(uri, static_cast<uint32_t>(self.uris_.size() + 1));
  if (added) self.uris_.push_back(uri);
  return found->second;
}

const char* Lv2World::UnmapId(LV2_URID_Unmap_Handle handle, LV2_URID id) {
  auto& self = *static_cast<Lv2World*>(handle);
  return id >= 1 && id <= self.uris_.size() ? self.uris_[id - 1].c_str() : nullptr;
}

Lv2Instance::Lv2Instance(Lv2World& world, const std::string& uri, double rate, int32_t block,
                         const std::string& session)
    : world_(world), plugin_(world.Plugin(uri)), block_(block) {
  if (plugin_ == nullptr) return;
  if (!session.empty()) session_ = session.ends_with('/') ? session : session + "/";
  options_values_[0] = block;
  options_values_[1] = block;
  const uint32_t int_type = world.Id(LV2_ATOM__Int);
  options_ = {{LV2_OPTIONS_INSTANCE, 0, world.Id(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
               int_type, &options_values_[0]},
              {LV2_OPTIONS_INSTANCE, 0, world.Id(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
               int_type, &options_values_[1]},
              {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  const LV2_Feature map{LV2_URID__map, world.Map()};
  const LV2_Feature unmap{LV2_URID__unmap, world.Unmap()};
  const LV2_Feature options{LV2_OPTIONS__options, options_.data()};
  const LV2_Feature schedule{LV2_WORKER__schedule, &schedule_};
  const LV2_Feature* features[] = {
      &map, &unmap, &options, &schedule, session_.empty() ? nullptr : &make_path_feature_, nullptr};
  instance_ = lilv_plugin_instantiate(plugin_, rate, features);
  if (instance_ == nullptr) return;

  const Nodes nodes(world.World());
  const uint32_t ports = lilv_plugin_get_num_ports(plugin_);
  minima_.resize(ports);
  maxima_.resize(ports);
  defaults_.resize(ports);
  lilv_plugin_get_port_ranges_float(plugin_, minima_.data(), maxima_.data(), defaults_.data());
  std::vector<float>& defaults = defaults_;
  control_values_.assign(ports, 0.0f);
  buffers_.resize(ports);
  atom_buffers_.resize(ports);
  for (uint32_t i = 0; i < ports; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
    const bool input = lilv_port_is_a(plugin_, port, nodes.input);
    if (lilv_port_is_a(plugin_, port, nodes.audio)) {
      buffers_[i].assign(static_cast<std::size_t>(block), 0.0f);
      (input ? audio_inputs_ : audio_outputs_).push_back(i);
      lilv_instance_connect_port(instance_, i, buffers_[i].data());
    } else if (lilv_port_is_a(plugin_, port, nodes.control)) {
      control_values_[i] = defaults[i];
      control_index_[lilv_node_as_string(lilv_port_get_symbol(plugin_, port))] = i;
      lilv_instance_connect_port(instance_, i, &control_values_[i]);
    } else if (lilv_port_is_a(plugin_, port, nodes.atom)) {
      atom_buffers_[i].assign(kAtomBufferBytes / sizeof(uint64_t), 0);
      (input ? atom_inputs_ : atom_outputs_).push_back(i);
      lilv_instance_connect_port(instance_, i, atom_buffers_[i].data());
    }
  }
  lv2_atom_forge_init(&forge_, world.Map());
}

Lv2Instance::~Lv2Instance() {
  if (instance_ != nullptr) lilv_instance_free(instance_);
}

bool Lv2Instance::IsInstrument() const {
  const LilvNode* uri = lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin_));
  return std::strcmp(lilv_node_as_uri(uri), LV2_CORE__InstrumentPlugin) == 0;
}

std::vector<Lv2Instance::ControlRange> Lv2Instance::Controls() const {
  std::vector<ControlRange> controls;
  for (const auto& [symbol, index] : control_index_) {
    controls.push_back({symbol, minima_[index], maxima_[index], defaults_[index]});
  }
  return controls;
}

void Lv2Instance::SetControl(const std::string& symbol, float value) {
  control_values_.at(control_index_.at(symbol)) = value;
}

float Lv2Instance::Control(const std::string& symbol) const {
  return control_values_.at(control_index_.at(symbol));
}

void Lv2Instance::Activate() { lilv_instance_activate(instance_); }
void Lv2Instance::Deactivate() { lilv_instance_deactivate(instance_); }

std::vector<std::vector<float>> Lv2Instance::Play(const std::vector<ScheduledMidi>& midi,
                                                  int64_t frames, bool transport,
                                                  const std::vector<float>& input) {
  std::vector<std::vector<float>> played(audio_outputs_.size());
  const uint32_t midi_type = world_.Id(LV2_MIDI__MidiEvent);
  std::size_t next = 0;
  for (int64_t start = 0; start < frames; start += block_) {
    const auto length = static_cast<uint32_t>(std::min<int64_t>(block_, frames - start));
    for (const uint32_t port : audio_inputs_) {
      for (uint32_t i = 0; i < length; ++i) {
        buffers_[port][i] =
            input.empty() ? 0.0f : input[static_cast<std::size_t>(start + i) % input.size()];
      }
    }
    for (const uint32_t port : atom_inputs_) {
      auto* buffer = reinterpret_cast<uint8_t*>(atom_buffers_[port].data());
      lv2_atom_forge_set_buffer(&forge_, buffer, kAtomBufferBytes);
      LV2_Atom_Forge_Frame sequence;
      lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
      if (transport && start == 0) {
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_frame_time(&forge_, 0);
        lv2_atom_forge_object(&forge_, &object, 0, world_.Id(LV2_TIME__Position));
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__frame));
        lv2_atom_forge_long(&forge_, 0);
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__speed));
        lv2_atom_forge_float(&forge_, 1.0f);
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__beatsPerMinute));
        lv2_atom_forge_float(&forge_, 120.0f);
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__bar));
        lv2_atom_forge_long(&forge_, 0);
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__barBeat));
        lv2_atom_forge_float(&forge_, 0.0f);
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__beatsPerBar));
        lv2_atom_forge_float(&forge_, 4.0f);
        lv2_atom_forge_key(&forge_, world_.Id(LV2_TIME__beatUnit));
        lv2_atom_forge_int(&forge_, 4);
        lv2_atom_forge_pop(&forge_, &object);
      }
      for (std::size_t i = next; i < midi.size() && midi[i].frame < start + length; ++i) {
        lv2_atom_forge_frame_time(&forge_, std::max<int64_t>(0, midi[i].frame - start));
        lv2_atom_forge_atom(&forge_, 3, midi_type);
        lv2_atom_forge_write(&forge_, midi[i].bytes, 3);
      }
      lv2_atom_forge_pop(&forge_, &sequence);
    }
    while (next < midi.size() && midi[next].frame < start + length) ++next;
    for (const uint32_t port : atom_outputs_) {
      auto* atom = reinterpret_cast<LV2_Atom*>(atom_buffers_[port].data());
      atom->size = kAtomBufferBytes - sizeof(LV2_Atom);
      atom->type = 0;
    }
    lilv_instance_run(instance_, length);
    RunWork();
    for (const uint32_t port : atom_outputs_) {
      const auto* sent = reinterpret_cast<const LV2_Atom_Sequence*>(atom_buffers_[port].data());
      if (sent->atom.type != world_.Id(LV2_ATOM__Sequence)) continue;
      LV2_ATOM_SEQUENCE_FOREACH(sent, event) {
        if (event->body.type != midi_type || event->body.size > 3) continue;
        ScheduledMidi midi{start + event->time.frames, {}};
        std::memcpy(midi.bytes, &event->body + 1, event->body.size);
        midi_output_.push_back(midi);
      }
    }
    for (std::size_t c = 0; c < audio_outputs_.size(); ++c) {
      const std::vector<float>& buffer = buffers_[audio_outputs_[c]];
      played[c].insert(played[c].end(), buffer.begin(), buffer.begin() + length);
    }
  }
  return played;
}

LV2_Worker_Status Lv2Instance::ScheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                            const void* data) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  static_cast<Lv2Instance*>(handle)->work_.emplace_back(bytes, bytes + (bytes ? size : 0));
  return LV2_WORKER_SUCCESS;
}

void Lv2Instance::RunWork() {
  const auto* worker = static_cast<const LV2_Worker_Interface*>(
      lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
  if (worker == nullptr) return;
  const auto respond = [](LV2_Worker_Respond_Handle, uint32_t, const void*) {
    return LV2_WORKER_SUCCESS;
  };
  for (const std::vector<uint8_t>& request : work_) {
    worker->work(lilv_instance_get_handle(instance_), respond, nullptr,
                 static_cast<uint32_t>(request.size()), request.empty() ? nullptr : request.data());
  }
  work_.clear();
  if (worker->end_run != nullptr) worker->end_run(lilv_instance_get_handle(instance_));
}

char* Lv2Instance::MakePath(LV2_State_Make_Path_Handle handle, const char* path) {
  const std::string made = static_cast<Lv2Instance*>(handle)->session_ + path;
  CreateFolder(made.substr(0, made.rfind('/')));
  return strdup(made.c_str());
}

char* Lv2Instance::AbstractPath(LV2_State_Map_Path_Handle handle, const char* absolute) {
  const std::string& session = static_cast<Lv2Instance*>(handle)->session_;
  const std::string_view path(absolute);
  return strdup(path.starts_with(session) ? absolute + session.size() : absolute);
}

char* Lv2Instance::AbsolutePath(LV2_State_Map_Path_Handle handle, const char* abstract) {
  if (abstract[0] == '/') return strdup(abstract);
  return strdup((static_cast<Lv2Instance*>(handle)->session_ + abstract).c_str());
}

const LV2_Feature* const* Lv2Instance::StateFeatures() const {
  return session_.empty() ? nullptr : state_features_;
}

LV2_State_Status Lv2Instance::Store(LV2_State_Handle handle, uint32_t key, const void* value,
                                    size_t size, uint32_t type, uint32_t) {
  auto& saved = *static_cast<std::vector<Lv2SavedProperty>*>(handle);
  const auto* bytes = static_cast<const uint8_t*>(value);
  saved.push_back({key, type, std::vector<uint8_t>(bytes, bytes + size)});
  return LV2_STATE_SUCCESS;
}

const void* Lv2Instance::Retrieve(LV2_State_Handle handle, uint32_t key, size_t* size,
                                  uint32_t* type, uint32_t* flags) {
  const auto& saved = *static_cast<const std::vector<Lv2SavedProperty>*>(handle);
  for (const Lv2SavedProperty& property : saved) {
    if (property.key != key) continue;
    *size = property.value.size();
    *type = property.type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return property.value.data();
  }
  return nullptr;
}

std::vector<Lv2SavedProperty> Lv2Instance::Save() {
  std::vector<Lv2SavedProperty> saved;
  const auto* state = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
  if (state != nullptr) {
    state->save(lilv_instance_get_handle(instance_), &Store, &saved,
                LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, StateFeatures());
  }
  return saved;
}

LV2_State_Status Lv2Instance::Restore(const std::vector<Lv2SavedProperty>& properties) {
  const auto* state = static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
  if (state == nullptr) return LV2_STATE_ERR_NO_FEATURE;
  return state->restore(lilv_instance_get_handle(instance_), &Retrieve,
                        const_cast<std::vector<Lv2SavedProperty>*>(&properties), 0,
                        StateFeatures());
}

void Lv2Instance::SetPortValue(const char* symbol, void* data, const void* value, uint32_t size,
                               uint32_t) {
  auto& self = *static_cast<Lv2Instance*>(data);
  const auto found = self.control_index_.find(symbol);
  if (found != self.control_index_.end() && size == sizeof(float)) {
    std::memcpy(&self.control_values_[found->second], value, sizeof(float));
  }
}

bool Lv2Instance::ApplyPreset(const std::string& preset_uri) {
  LilvNode* node = lilv_new_uri(world_.World(), preset_uri.c_str());
  lilv_world_load_resource(world_.World(), node);
  LilvState* state = lilv_state_new_from_world(world_.World(), world_.Map(), node);
  lilv_node_free(node);
  if (state == nullptr) return false;
  lilv_state_restore(state, instance_, &SetPortValue, this, 0, nullptr);
  lilv_state_free(state);
  return true;
}

}  // namespace ov
