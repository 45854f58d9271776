#include "host/ov_vst.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "document/container.h"
#include "document/document.h"
#include "document/patch_manager.h"
#include "engine/audio_master.h"
#include "engine/midi_word.h"
#include "host/chunks.h"
#include "host/hosted_states.h"
#include "host/embedded_files.h"
#include "host/host_wiring.h"
#include "host/vendor_queries.h"
#include "platform/clock.h"
#include "platform/float_mode.h"
#include "platform/text.h"

namespace ov {
namespace {

constexpr int32_t kInitialPrograms = 16;
constexpr int32_t kPatchCount = 128;
// Texts handed to the host keep their first 31 characters.
constexpr std::size_t kHostTextBytes = 32;
constexpr const char* kEngineFailed = "The sound engine could not be started.";
constexpr const char* kEngineStopped =
    "The sound engine stopped after an error. Stop and restart audio to start it again.";

// Host event blocks carry more pointers than the record declares; read them
// through the block's address so no access indexes beyond a declared array.
vst2::VstEvent* const* EventPointers(const vst2::VstEvents* events) {
  return reinterpret_cast<vst2::VstEvent* const*>(reinterpret_cast<const std::byte*>(events) +
                                                  offsetof(vst2::VstEvents, events));
}

}  // namespace

int32_t OvVst::PackUniqueId(const std::string& identifier) {
  const std::string padded = identifier + "    ";
  int64_t packed = 0;
  for (int i = 0; i < 4; ++i) {
    packed = packed * 256 + static_cast<signed char>(padded[static_cast<std::size_t>(i)]);
  }
  // Characters above 127 are negative; the result is taken modulo 2^32.
  return static_cast<int32_t>(static_cast<uint32_t>(packed));
}

OvVst::OvVst(vst2::HostCallback host, ProjectSource& source)
    : AudioEffectX(host, kInitialPrograms, 0), app_(*this) {
  held_midi_.reserve(kHeldMidiEvents);
  setFlag(vst2::effFlagsProgramChunks, true);
  if (!app_.Initialise(source)) {
    load_failed_ = true;
    return;
  }
  const ProjectFacts& facts = app_.Facts();

  // Only 128 patches exist; a project cannot ask for more programs than that.
  const int32_t programs =
      facts.has_program_selection ? std::clamp(facts.program_count, 1, kPatchCount) : 1;
  setNumPrograms(programs);

  if (COrvaneDocBase* document = app_.Document()) {
    CContainer* main = document->FindMainContainer();
    if (main != nullptr && document->root() != nullptr) WireHostModules(*document->root(), *main);
    // The load registered the main container's patch parameters with the
    // nearest manager around it; only a project with none at all gets a new
    // one, since programs need patch names even where none are stored.
    if (main != nullptr) {
      patches_ = main->GetPatchManager();
      if (patches_ == nullptr) patches_ = &main->EnsurePatchManager();
    }
  }
  setProgram(0);

  // The host follows the patch, whoever selects it.
  if (patches_ != nullptr && patches_->container() != nullptr) {
    program_watcher_.Watch(patches_->container()->FindParameter("Program"));
  }
  parameters_ = BuildHostParameters(patches_, MainContainer());
  for (std::size_t i = 0; i < parameters_.size(); ++i) {
    parameters_[i]->attach(*this, static_cast<int32_t>(i));
  }
  setNumParams(static_cast<int32_t>(parameters_.size()));
  setNumInputs(static_cast<int32_t>(facts.audio_inputs.size()));
  setNumOutputs(static_cast<int32_t>(facts.audio_outputs.size()));

  setFlag(vst2::effFlagsCanMono, facts.can_mono);
  setFlag(vst2::effFlagsCanReplacing, true);
  setFlag(vst2::effFlagsHasVu, false);
  setFlag(vst2::effFlagsHasClip, false);
  setFlag(vst2::effFlagsIsSynth, (facts.plugin_options & kOptionSynth) != 0);
  // No main container, no editor: there would be no panel to show.
  if (COrvaneDocBase* document = app_.Document()) {
    if (CContainer* main = document->FindMainContainer()) {
      SkinSetup skins{&document->skins(), {}, image_decodes_};
      if (const EmbeddedFiles* files = app_.Files()) skins.folder = files->LibraryFolder() + "skins";
      editor_ = std::make_unique<ov_vst_editor>(this, *main, document->panel_size(),
                                                [this] { ApplicationIdle(); }, app_.Messages(),
                                                std::move(skins));
      editor = editor_.get();
      editor_->SetCommandHandler(
          [this](CVisualOb& target, int32_t id, Point p) { app_.MenuCommand(target, id, p); });
    }
    // Looked up whenever a module asks, so modules made later reach it too;
    // without an editor they are told there is nothing to ask through.
    document->SetFileAsking(
        {editor_ ? editor_->View().Files() : nullptr, app_.MediaFiles(), &app_.Messages()});
  }
  setFlag(vst2::effFlagsHasEditor, editor != nullptr);

  needIdle();
  // A project without an identifier packs the four blanks alone.
  setUniqueID(PackUniqueId(facts.plugin_id));
}

OvVst::~OvVst() {
  suspend();
  // The document lets go of the editor's file dialog before it goes.
  if (COrvaneDocBase* document = app_.Document()) document->SetFileAsking({});
  editor = nullptr;
  editor_.reset();
}

void OvVst::WaitForProcessCallToEnd() {
  while (processing_.load()) YieldProcessor();
}

void OvVst::resume() {
  if (load_failed_) return;
  active_.store(false);
  WaitForProcessCallToEnd();
  app_.SetSampleRate(sampleRate);
  pending_events_.store(nullptr);
  held_midi_.clear();
  if (app_.Facts().has_midi_input) wantEvents();
  // Starting replaces any running engine.
  WithdrawEngineFromAutomation();
  engine_fault_.store(false);
  engine_fault_told_ = false;
  // A start that fails leaves no engine: the plug-in then renders silence,
  // and hosts that ask hear why.
  if (app_.StartEngine(blockSize)) {
    engine_problem_.clear();
    try {
      for (const auto& parameter : parameters_) parameter->on_engine_started();
    } catch (...) {
      app_.StopEngine();
      engine_problem_ = kEngineFailed;
      app_.Messages().Post(kEngineFailed, MessageStyle::kWarning);
    }
  } else {
    engine_problem_ = app_.EngineFailure();
  }
  if (OvAudioMaster* engine = app_.Engine()) automation_engine_.store(engine);
  // Sets that waited while no engine ran reach the new one.
  ApplyPendingSets();
  needIdle();
  replacing_ = true;
  active_.store(true);
}

void OvVst::suspend() {
  active_.store(false);
  WaitForProcessCallToEnd();
  WithdrawEngineFromAutomation();
  app_.StopEngine();
}

void OvVst::WithdrawEngineFromAutomation() {
  automation_engine_.store(nullptr);
  while (automating_.load() != 0) YieldProcessor();
}

void OvVst::setSampleRate(float rate) {
  if (rate == sampleRate) return;
  sampleRate = rate;
  if (active_.load()) {
    suspend();
    resume();
  }
}

void OvVst::SetHostOutputPort(HostOutputPort* port) {
  output_port_ = port;
  midi_out_read_count_ = port ? port->MidiOut().written.load() : 0;
}

int32_t OvVst::processEvents(vst2::VstEvents* events) {
  pending_events_.store(events);
  return 1;
}

void OvVst::process(float** inputs, float** outputs, int32_t frames) {
  replacing_ = false;
  processReplacing(inputs, outputs, frames);
}

void OvVst::processReplacing(float** inputs, float** outputs, int32_t frames) {
  processing_.store(true);
  if (active_.load()) {
    ScopedFlushDenormals flush;
    if (engine_fault_.load()) {
      SilenceOutputs(outputs, frames);
    } else {
      // An engine that threw is left as it is until the next resume: its
      // state is unknown, so it renders nothing more. The editor side tells
      // the user at its next idle call.
      try {
        Render(inputs, outputs, frames);
      } catch (...) {
        engine_fault_.store(true);
        SilenceOutputs(outputs, frames);
      }
    }
  }
  processing_.store(false);
}

void OvVst::Render(float** inputs, float** outputs, int32_t frames) {
  if (frames <= 0) return;
  // Channels that nothing in the engine writes, and blocks that the engine
  // skips while the editor drains its queues, read silence rather than
  // whatever the host's buffers held.
  SilenceOutputs(outputs, frames);
  if (output_port_ != nullptr) output_port_->SetHostOutputs(outputs, cEffect.numOutputs);
  if (input_port_ != nullptr) input_port_->SetHostInputs(inputs, cEffect.numInputs);

  if (vst2::VstEvents* events = pending_events_.exchange(nullptr)) HoldHostMidi(events, frames);
  if (vst2::VstEvents* events = pending_platform_events_.exchange(nullptr)) {
    StampPlatformMidi(events, frames);
  }

  if (OvAudioMaster* engine = app_.Engine()) {
    // The generators take host MIDI only while the engine is held for the
    // block: a drain on another thread may be using their event pool.
    if (!engine->Process(frames, [this] { DeliverHeldMidi(); })) {
      // Skipped: what came plays at the start of the next block.
      for (HeldMidi& held : held_midi_) held.delta = 0;
    }
    sounding_voices_.store(engine->SoundingVoices(), std::memory_order_relaxed);
  } else {
    DeliverHeldMidi();
  }

  if (output_port_ != nullptr) SendMidiToHost(frames);
}

void OvVst::SilenceOutputs(float** outputs, int32_t frames) {
  if (!replacing_ || outputs == nullptr) return;
  const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(frames);
  for (int32_t channel = 0; channel < cEffect.numOutputs; ++channel) {
    if (outputs[channel]) std::memset(outputs[channel], 0, bytes);
  }
}

void OvVst::HoldHostMidi(vst2::VstEvents* events, int32_t frames) {
  if (input_port_ == nullptr || events->numEvents <= 0) return;
  vst2::VstEvent* const* list = EventPointers(events);
  for (int32_t i = 0; i < events->numEvents; ++i) {
    vst2::VstEvent* event = list[i];
    if (event == nullptr || event->type != vst2::kVstMidiType) continue;
    auto* midi = reinterpret_cast<vst2::VstMidiEvent*>(event);
    // Events outside the block are played at its nearest edge.
    midi->deltaFrames = std::clamp(midi->deltaFrames, 0, frames - 1);
    const auto byte = [&](int n) {
      return static_cast<uint32_t>(static_cast<uint8_t>(midi->midiData[n]));
    };
    // Beyond what the generators' events could take in one block anyway.
    if (held_midi_.size() == held_midi_.capacity()) break;
    held_midi_.push_back({midi->deltaFrames, midi::Word(byte(0), byte(1), byte(2))});
  }
}

void OvVst::StampPlatformMidi(vst2::VstEvents* events, int32_t frames) {
  const OvAudioMaster* engine = app_.Engine();
  if (engine == nullptr) return;
  // Between blocks the engine's clock stands at the start of the coming one.
  const uint32_t block_start = engine->SampleClock();
  vst2::VstEvent* const* list = EventPointers(events);
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const vst2::VstEvent* event = list[i];
    if (event == nullptr || event->type != vst2::kVstMidiType) continue;
    const auto* midi = reinterpret_cast<const vst2::VstMidiEvent*>(event);
    const auto byte = [&](int n) {
      return static_cast<uint32_t>(static_cast<uint8_t>(midi->midiData[n]));
    };
    const int32_t delta = std::clamp(midi->deltaFrames, 0, frames - 1);
    platform_midi_.Write(block_start + static_cast<uint32_t>(delta),
                         midi::Word(byte(0), byte(1), byte(2)));
  }
}

void OvVst::DeliverHeldMidi() {
  if (input_port_ != nullptr) {
    const uint32_t block_start = input_port_->SampleTime();
    for (const HeldMidi& held : held_midi_) {
      input_port_->DeliverHostMidi(block_start + static_cast<uint32_t>(held.delta), held.word);
    }
  }
  held_midi_.clear();
}

void OvVst::SendMidiToHost(int32_t frames) {
  const MidiRing& ring = output_port_->MidiOut();
  if (midi_out_read_count_ == ring.written.load()) return;
  const uint32_t block_start = output_port_->SampleTime() - static_cast<uint32_t>(frames);
  if (vst2::VstEvents* block = midi_out_.Collect(ring, midi_out_read_count_, block_start, frames)) {
    sendVstEventsToHost(block);
  }
}

bool OvVst::getOutputProperties(int32_t index, vst2::VstPinProperties* properties) {
  std::memset(properties, 0, sizeof *properties);
  const auto& outputs = app_.Facts().audio_outputs;
  if (index < 0 || static_cast<std::size_t>(index) >= outputs.size()) return false;
  const int32_t count = cEffect.numOutputs;
  const bool stereo_pairs = (app_.Facts().plugin_options & kOptionStereoPairs) != 0;
  properties->flags = vst2::kVstPinIsActive;
  if (count >= 2 && count % 2 == 0 && stereo_pairs) properties->flags |= vst2::kVstPinIsStereo;
  const std::string& name = outputs[static_cast<std::size_t>(index)];
  CopyBounded(properties->label, sizeof properties->label, name);
  CopyBounded(properties->shortLabel, sizeof properties->shortLabel, name);
  return true;
}

bool OvVst::getEffectName(char* name) {
  CopyBounded(name, vst2::kMaxEffectNameLen, app_.Facts().title);
  return true;
}

int32_t OvVst::getVendorVersion() { return OV_VENDOR_VERSION; }

bool OvVst::getVendorString(char* text) {
  const ProjectFacts& facts = app_.Facts();
  const bool from_project = (facts.plugin_options & kOptionProjectVendor) != 0;
  CopyBounded(text, vst2::kMaxVendorStrLen, from_project ? facts.vendor : kFixedVendor);
  return true;
}

bool OvVst::getProductString(char* text) {
  CopyBounded(text, vst2::kMaxProductStrLen, app_.Facts().product);
  return true;
}

int32_t OvVst::canDo(const char* text) {
  const ProjectFacts& facts = app_.Facts();
  if (std::strcmp(text, "receiveVstMidiEvent") == 0) return facts.midi_input_visible ? 1 : -1;
  if (std::strcmp(text, "sendVstMidiEvent") == 0) return facts.midi_output_visible ? 1 : -1;
  if (std::strcmp(text, "sendVstTimeInfo") == 0) {
    return (facts.plugin_options & kOptionWantsTimeInfo) ? 1 : -1;
  }
  return 0;
}

intptr_t OvVst::vendorSpecific(int32_t index, intptr_t value, void* ptr, float) {
  if (index != kOrvaneQuery || ptr == nullptr) return 0;
  if (value == kQueryPlatformMidi) {
    pending_platform_events_.store(static_cast<vst2::VstEvents*>(ptr));
    return 1;
  }
  if (value == kQuerySoundingVoices) {
    *static_cast<int32_t*>(ptr) = sounding_voices_.load(std::memory_order_relaxed);
    return 1;
  }
  if (value == kQueryEngineProblem) {
    CopyBounded(static_cast<char*>(ptr), kQueryTextBytes,
                engine_fault_.load() ? kEngineStopped : engine_problem_);
    return 1;
  }
  return 0;
}

void OvVst::ApplicationIdle() {
  ApplyPendingSets();
  if (engine_fault_.load() && !engine_fault_told_) {
    engine_fault_told_ = true;
    app_.Messages().Post(kEngineStopped, MessageStyle::kWarning);
  }
  app_.Hub().Idle();
}

int32_t OvVst::fxIdle() {
  // While the editor is open its own idle calls do the application's work;
  // a window the host destroyed without closing the editor leaves it to this.
  if (editor_ == nullptr || !editor_->CheckOpen()) ApplicationIdle();
  return 1;
}

CContainer* OvVst::MainContainer() {
  return app_.Document() != nullptr ? app_.Document()->FindMainContainer() : nullptr;
}

bool OvVst::IsParameter(int32_t index) const {
  return index >= 0 && static_cast<std::size_t>(index) < parameters_.size();
}

bool OvVst::TakesNoLock(int32_t opcode, intptr_t value) {
  switch (opcode) {
    // Answers from what the project fixed at construction, or atomics.
    case vst2::effProcessEvents:
    case vst2::effGetVu:
    case vst2::effIdentify:
    case vst2::effGetNumProgramCategories:
    case vst2::effConnectInput:
    case vst2::effConnectOutput:
    case vst2::effGetInputProperties:
    case vst2::effGetOutputProperties:
    case vst2::effGetPlugCategory:
    case vst2::effGetEffectName:
    case vst2::effGetVendorString:
    case vst2::effGetProductString:
    case vst2::effGetVendorVersion:
    case vst2::effCanDo:
    case vst2::effGetTailSize:
    case vst2::effKeysRequired:
    case vst2::effGetVstVersion:
    case vst2::effGetCurrentMidiProgram:
    case vst2::effStartProcess:
    case vst2::effStopProcess:
    case vst2::effSetTotalSampleToProcess:
    case vst2::effSetPanLaw:
      return true;
    case vst2::effVendorSpecific:
      return value == kQuerySoundingVoices || value == kQueryPlatformMidi;
    default:
      return false;
  }
}

intptr_t OvVst::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  // Hosts send these from their audio thread, which must never wait.
  if (TakesNoLock(opcode, value)) return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
  // Skin images the editor asked for are decoded before the lock is taken,
  // so that a host thread calling meanwhile waits for a drawing at most.
  if (opcode == vst2::effEditIdle) image_decodes_->Decode();
  std::lock_guard lock(editor_mutex_);
  ApplyPendingSets();
  return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
}

void OvVst::ApplyPendingSets() {
  if (!pending_sets_.exchange(false)) return;
  for (const auto& parameter : parameters_) {
    if (const std::optional<float> value = parameter->take_pending()) parameter->set(*value);
  }
}

void OvVst::ApplyQueuedParameters() {
  for (auto parameter = parameters_.rbegin(); parameter != parameters_.rend(); ++parameter) {
    (*parameter)->apply_queued();
  }
}

void OvVst::ProgramWatcher::OnParameterChanged() {
  const std::optional<long long> program = ParseInteger(Watched()->ValueText());
  if (!program || *program == plugin_.curProgram) return;
  plugin_.setProgram(static_cast<int32_t>(*program));
  plugin_.updateDisplay();
}

void OvVst::setParameter(int32_t index, float value) {
  if (!IsParameter(index)) return;
  vst_parameter& parameter = *parameters_[static_cast<std::size_t>(index)];
  if (!parameter.takes_host_values() || value == parameter.host_value()) return;
  if (app_.OnUserInterfaceThread()) {
    std::lock_guard lock(editor_mutex_);
    parameter.take_pending();  // older than this set
    parameter.set(value);
    return;
  }
  automating_.fetch_add(1);
  OvAudioMaster* engine = automation_engine_.load();
  bool queued = false;
  if (engine != nullptr) {
    parameter.take_pending();  // older than this set
    queued = parameter.set_queued(value, *engine);
  }
  automating_.fetch_sub(1);
  if (queued) return;
  // No engine to queue for (or none that takes this parameter), and the
  // editor side may be busy for as long as a resume takes: the set waits
  // for the editor thread's next call.
  parameter.set_pending(value);
  pending_sets_.store(true);
}

float OvVst::getParameter(int32_t index) {
  return IsParameter(index) ? parameters_[static_cast<std::size_t>(index)]->host_value() : 0.0f;
}

void OvVst::getParameterName(int32_t index, char* text) {
  CopyBounded(text, kHostTextBytes,
              IsParameter(index) ? parameters_[static_cast<std::size_t>(index)]->name() : "");
}

void OvVst::getParameterDisplay(int32_t index, char* text) {
  CopyBounded(text, kHostTextBytes,
              IsParameter(index) ? parameters_[static_cast<std::size_t>(index)]->value_text() : "");
}

void OvVst::getParameterLabel(int32_t index, char* text) {
  CopyBounded(text, kHostTextBytes,
              IsParameter(index) ? parameters_[static_cast<std::size_t>(index)]->label() : "");
}

bool OvVst::canParameterBeAutomated(int32_t index) {
  if (!IsParameter(index)) return false;
  const vst_parameter& parameter = *parameters_[static_cast<std::size_t>(index)];
  return parameter.automatable() && !parameter.display_only();
}

bool OvVst::IsProgram(int32_t program) const {
  return program >= 0 && program < std::min(numPrograms, kPatchCount);
}

void OvVst::setProgram(int32_t program) {
  if (!IsProgram(program)) return;
  curProgram = program;
  if (patches_ == nullptr) return;
  if (CContainer* container = patches_->container()) {
    container->SetCurrentPatch(program);
  } else {
    patches_->SetCurrentPatch(program);
  }
}

int32_t OvVst::getProgram() {
  // A "Patch Select", MIDI or a panel may have changed the patch since.
  return patches_ != nullptr ? patches_->current_patch() : curProgram;
}

void OvVst::setProgramName(const char* name) {
  if (patches_ == nullptr) return;
  patches_->SetPatchName(-1, name);
  if (CContainer* container = patches_->container()) {
    container->Notify(Notification(kNotifyContentsChanged, container));
  }
}

void OvVst::getProgramName(char* name) {
  CopyBounded(name, vst2::kMaxProgNameLen, patches_ != nullptr ? patches_->PatchName(-1) : "");
}

bool OvVst::getProgramNameIndexed(int32_t, int32_t index, char* text) {
  if (!IsProgram(index)) return false;
  CopyBounded(text, vst2::kMaxProgNameLen, patches_ != nullptr ? patches_->PatchName(index) : "");
  return true;
}

bool OvVst::copyProgram(int32_t destination) {
  if (!IsProgram(destination) || patches_ == nullptr) return false;
  patches_->CopyPatches(destination, destination);
  return true;
}

int32_t OvVst::getChunk(void** data, bool is_preset) {
  if (patches_ == nullptr) return 0;
  // Values the engine changed since the host last idled the plug-in belong
  // in the state.
  if (app_.OnUserInterfaceThread()) app_.Hub().Idle();
  chunk_ = WriteStateChunk(*patches_, MainContainer(), is_preset);
  // A bank is the session's state: hosted plug-ins' own states ride along.
  if (!is_preset && app_.Document() != nullptr) AppendHostedStates(*app_.Document(), chunk_);
  *data = chunk_.data();
  return static_cast<int32_t>(chunk_.size());
}

int32_t OvVst::setChunk(void* data, int32_t size, bool is_preset) {
  last_chunk_applied_ = false;
  if (patches_ == nullptr || data == nullptr || size < 0) return 0;
  std::string problem;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const std::span<const uint8_t> whole{bytes, static_cast<std::size_t>(size)};
  const ChunkLoad load = ReadStateChunk(*patches_, MainContainer(),
                                        whole.first(HostedStatesStart(whole)), is_preset, &problem);
  if (!is_preset && app_.Document() != nullptr &&
      (load == ChunkLoad::kLoaded || load == ChunkLoad::kSomeMissing)) {
    std::vector<std::string> hosted_problems;
    RestoreHostedStates(*app_.Document(), whole, &hosted_problems);
    for (const std::string& text : hosted_problems) {
      app_.Messages().Post("A hosted plug-in's state was not restored: " + text,
                           MessageStyle::kWarning);
    }
  }
  last_chunk_applied_ = load == ChunkLoad::kLoaded || load == ChunkLoad::kSomeMissing;
  switch (load) {
    case ChunkLoad::kSomeMissing:
      app_.Messages().Post("Some parameters could not be loaded", MessageStyle::kWarning);
      break;
    case ChunkLoad::kDamaged:
      app_.Messages().Post("The saved state is damaged and was not loaded: " + problem,
                           MessageStyle::kWarning);
      break;
    case ChunkLoad::kLoaded:
    case ChunkLoad::kUnknownFormat:
      break;
  }
  return 0;
}

vst2::AEffect* CreatePlugin(vst2::HostCallback host, ProjectSource& source) {
  if (host == nullptr || host(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
    return nullptr;
  }
  std::unique_ptr<OvVst> plugin;
  try {
    plugin = std::make_unique<OvVst>(host, source);
  } catch (...) {
    return nullptr;
  }
  if (plugin->LoadFailed()) return nullptr;
  return plugin.release()->getAeffect();
}

}  // namespace ov
