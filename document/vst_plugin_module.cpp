#include "document/vst_plugin_module.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "document/archive_error.h"
#include "document/archive_writer.h"
#include "document/object_archive.h"
#include "document/control_mapper.h"
#include "document/document.h"
#include "document/menu_entries.h"
#include "document/plug.h"
#include "document/vst_parameters.h"
#include "modules/module_registry.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/message_sink.h"
#include "vsthost/ug_vst_plugin.h"
#include "vsthost/vst_bank_files.h"
#include "vsthost/vst_search_path.h"

namespace ov {
namespace {

constexpr int16_t kSignalInPlug = 3;
constexpr int16_t kSignalOutPlug = 4;
// Names the plug-in gives indexes it does not use.
constexpr char kInvalidIndex[] = "invalid index";
// Parameters up to this index get an entry even without a name.
constexpr int32_t kLastUnnamedEntry = 32;
constexpr int32_t kCommandPanelEdit = 34922;
constexpr int32_t kCommandAutomation = 34926;
// Far above any bank a plug-in writes: a larger file is not one.
constexpr std::size_t kMostBankFileBytes = 64u << 20;

// The name as the entry rule has always read it: at most 20 bytes, ending
// at the first byte that is zero or has its top bit set. Only which entries
// exist depends on it, so that stored projects keep their entries.
std::string EntryRuleName(const std::string& raw) {
  std::size_t length = 0;
  while (length < raw.size() && length < 20 && static_cast<signed char>(raw[length]) > 0) {
    ++length;
  }
  return raw.substr(0, length);
}

}  // namespace

constinit const SerialClass Ctl_VST_Plugin::kClass{
    "Ctl_VST_Plugin", 1, false, &MakeObject<Ctl_VST_Plugin>, &CUG_with_patches::kClass};

Ctl_VST_Plugin::Ctl_VST_Plugin() : wrapper_(std::make_unique<VST_Wrapper>(this)) {}

Ctl_VST_Plugin::~Ctl_VST_Plugin() {
  wrapper_->Unload();
  LibraryUnloading();
}

void Ctl_VST_Plugin::Serialize(FieldWalker& walker) {
  const int32_t version = walker.LoadVersion();
  if (walker.Loading()) load_version_ = version;
  if (walker.Storing() && wrapper_->Loaded()) CaptureLiveState();
  if (version > 49) CUG::Serialize(walker);
  walker.String("file_name", file_name_);
  if (walker.Loading() && version < 55) {
    const std::size_t slash = file_name_.find_last_of("/\\");
    if (slash != std::string::npos) file_name_.erase(0, slash + 1);
  }
  if (version >= 55) walker.Int32("unique_id", unique_id_);
  walker.Int32("chunk_flag", chunk_flag_);
  walker.Int32("parameter_count", parameter_count_);
  int32_t program_count = static_cast<int32_t>(programs_.size());
  walker.Int32("program_count", program_count);
  walker.Int32("current_program", current_program_);
  if (version > 38 && chunk_flag_ != 0) {
    walker.SizedBytes("bank_chunk", bank_chunk_, CountForm::kInt32);
  }

  const std::size_t values = static_cast<std::size_t>(std::max(parameter_count_, 0));
  const bool with_values = chunk_flag_ == 0;
  const bool with_chunk = chunk_flag_ != 0 && version < 39;
  const std::size_t program_bytes = 1 + (with_values ? 4 * values : 0) + (with_chunk ? 4 : 0);
  const std::size_t count = static_cast<std::size_t>(std::max(program_count, 0));
  if (walker.BeginList("programs", count, CountForm::kFixed, program_bytes)) {
    if (walker.Loading()) programs_.assign(count, Program{});
    for (Program& program : programs_) {
      walker.BeginElement();
      walker.String("name", program.name);
      if (with_values) {
        program.values.resize(values);
        if (walker.BeginList("values", values, CountForm::kFixed, 4)) {
          for (float& value : program.values) {
            walker.BeginElement();
            walker.Float32("", value);
            walker.EndElement();
          }
        }
        walker.EndList();
      }
      if (with_chunk) walker.SizedBytes("chunk", program.chunk, CountForm::kInt32);
      walker.EndElement();
    }
  }
  walker.EndList();
  if (version > 41) Int32Array(walker, "midi_assignments", midi_assignments_);
}

void Ctl_VST_Plugin::InitialiseAfterLoad(bool loaded) {
  CUG_with_patches::InitialiseAfterLoad(loaded);
  if (!loaded || wrapper_->Loaded() || file_name_.empty()) return;
  const std::string path = FindVstLibrary(file_name_, ProcessModules().LibraryPaths());
  if (path.empty()) {
    load_error_ = "Can't load VST Plugin(" + file_name_ + "). (not found in the project or " +
                  "the VST folders).";
    return;
  }
  if (!wrapper_->Load(path, &load_error_)) return;
  load_error_.clear();
  MatchChannelPlugs();
  BuildParameters();
  // Projects older than the fixes get them as the editor would give them.
  if (load_version_ < 43) ApplyAutomaticFixes();
  if (StoredStateFits()) {
    ApplyStoredState();
    // Older projects stored assignments in a form not read any more.
    if (load_version_ > 63) ApplyMidiAssignments();
  }
  JoinIdleList();
}

bool Ctl_VST_Plugin::PrepareForLibrary(const std::string& path, std::string* error) {
  if (!wrapper_->Load(path, error)) return false;
  file_name_ = std::filesystem::path(path).filename().string();
  unique_id_ = wrapper_->UniqueId();
  load_error_.clear();
  midi_assignments_.clear();
  MatchChannelPlugs();
  BuildParameters();
  ApplyAutomaticFixes();
  CaptureLiveState();
  JoinIdleList();
  return true;
}

void Ctl_VST_Plugin::BuildParameters() {
  parameters_.clear();
  const VST_Wrapper& plugin = *wrapper_;
  const int32_t count = plugin.ParameterCount();
  parameters_.resize(static_cast<std::size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = EntryRuleName(plugin.RawParameterName(i));
    if (name == kInvalidIndex || (name.empty() && i > kLastUnnamedEntry)) continue;
    parameters_[static_cast<std::size_t>(i)] = std::make_unique<parameter_vst>(*this, i);
  }
  parameters_.push_back(
      std::make_unique<parameter_vst_xtra>(*this, parameter_vst_xtra::kProgramName));
  parameters_.push_back(std::make_unique<parameter_vst_xtra>(*this, parameter_vst_xtra::kProgram));
}

parameter_vst* Ctl_VST_Plugin::VstParameter(int32_t index) const {
  if (index < 0 || static_cast<std::size_t>(index) + 2 >= parameters_.size()) return nullptr;
  return static_cast<parameter_vst*>(parameters_[static_cast<std::size_t>(index)].get());
}

void Ctl_VST_Plugin::ApplyMidiAssignments() {
  // Each word: the controller in the high 16 bits, the NRPN or RPN number
  // in the low 16 bits, both -1 for none. Words beyond the plug-in's
  // parameters are kept as stored but go nowhere.
  if (parameters_.size() < 2) return;
  const auto count = std::min(midi_assignments_.size(), parameters_.size() - 2);
  for (std::size_t i = 0; i < count; ++i) {
    const auto word = static_cast<uint32_t>(midi_assignments_[i]);
    if (parameter_vst* parameter = VstParameter(static_cast<int32_t>(i))) {
      parameter->SetMidiAssignment(static_cast<int16_t>(word >> 16),
                                   static_cast<int16_t>(word & 0xFFFF));
    }
  }
}

void Ctl_VST_Plugin::SetMidiAssignment(int32_t index, int32_t controller, int32_t number) {
  parameter_vst* parameter = VstParameter(index);
  if (parameter == nullptr) return;
  controller = controller >= 0 && controller < 128 ? controller : -1;
  number = number >= 0 && number < 0x4000 ? number : -1;
  parameter->SetMidiAssignment(controller, number);
  if (midi_assignments_.size() < parameters_.size() - 2) {
    midi_assignments_.resize(parameters_.size() - 2, -1);
  }
  midi_assignments_[static_cast<std::size_t>(index)] = static_cast<int32_t>(
      (static_cast<uint32_t>(controller) << 16) | (static_cast<uint32_t>(number) & 0xFFFF));
}

void Ctl_VST_Plugin::SelectProgram(int32_t program) {
  wrapper_->SetProgram(program);
  ProgramsChanged();
}

void Ctl_VST_Plugin::ProgramsChanged() {
  for (const auto& parameter : parameters_) {
    if (auto* own = dynamic_cast<parameter_vst*>(parameter.get())) {
      own->Changed();
    } else if (auto* extra = dynamic_cast<parameter_vst_xtra*>(parameter.get())) {
      extra->Changed();
    }
  }
}

void Ctl_VST_Plugin::AddMenuEntries(ContextMenu& menu) {
  if (!wrapper_->Loaded()) return;
  menu.Add(kCommandPanelEdit, "Panel Edit...");
  menu.AddSeparator();
  menu.Add(kCommandLoadBank, "Load Bank");
  menu.Add(kCommandSaveBank, "Save Bank");
  menu.Add(kCommandLoadProgram, "Load Inst");
  menu.Add(kCommandSaveProgram, "Save Inst");
  menu.Add(kCommandAutomation, "Automation...");
}

bool Ctl_VST_Plugin::RunFileCommand(int32_t id, ov::FileDialog& dialog, MessageSink& messages) {
  if (id < kCommandLoadBank || id > kCommandSaveProgram || !wrapper_->Loaded()) return false;
  const bool save = id == kCommandSaveBank || id == kCommandSaveProgram;
  const bool bank = id == kCommandLoadBank || id == kCommandSaveBank;
  FileDialogRequest request;
  request.save = save;
  request.types = {bank ? "fxb" : "fxp"};
  return dialog.Ask(request, [this, save, bank, &messages](const FileDialogAnswer& answer) {
    if (!answer.chosen) return;
    std::string error;
    const bool done = save ? SaveProgramsFile(answer.path, bank, &error)
                           : LoadProgramsFile(answer.path, bank, &error);
    if (!done) messages.Post(error, MessageStyle::kWarning);
  });
}

bool Ctl_VST_Plugin::LoadProgramsFile(const std::string& path, bool bank, std::string* error) {
  if (!wrapper_->Loaded()) {
    if (error != nullptr) *error = "No VST Plugin is loaded";
    return false;
  }
  std::vector<uint8_t> bytes;
  std::string why;
  if (!ReadFileBytes(path, kMostBankFileBytes, &bytes, &why)) {
    if (error != nullptr) *error = "Couldn't open file.\n";
    return false;
  }
  if (!LoadVstFile(*wrapper_, bytes, bank, error)) return false;
  ProgramsChanged();
  return true;
}

bool Ctl_VST_Plugin::SaveProgramsFile(const std::string& path, bool bank, std::string* error) {
  if (!wrapper_->Loaded()) {
    if (error != nullptr) *error = "No VST Plugin is loaded";
    return false;
  }
  const std::vector<uint8_t> bytes = SaveVstFile(*wrapper_, bank, error);
  return !bytes.empty() && WriteFileBytes(path, bytes, error);
}

void Ctl_VST_Plugin::CopyProgram(int32_t first, int32_t last) {
  VST_Wrapper& plugin = *wrapper_;
  if (!plugin.Loaded()) return;
  first = std::max(first, 0);
  last = std::min(last, plugin.ProgramCount() - 1);
  const int32_t current = plugin.Program();
  const std::string name = plugin.ProgramName();
  // What the current program holds, taken once, for plug-ins that cannot
  // copy programs themselves.
  std::vector<uint8_t> chunk;
  std::vector<float> values;
  bool taken = false;
  int32_t k = 1;
  for (int32_t i = first; i <= last; ++i) {
    if (i == current) continue;
    const bool copied = plugin.VstVersion() > 1 && plugin.Dispatch(vst2::effCopyProgram, i) != 0;
    if (!copied && !taken) {
      if (plugin.HasChunks()) {
        chunk = plugin.ProgramChunk();
      } else {
        for (int32_t p = 0; p < plugin.RealParameterCount(); ++p) values.push_back(plugin.GetParameter(p));
      }
      taken = true;
    }
    plugin.SetProgram(i);
    if (!copied) {
      plugin.SetProgramChunk(chunk);
      for (std::size_t p = 0; p < values.size(); ++p) plugin.SetParameter(static_cast<int32_t>(p), values[p]);
    }
    plugin.SetProgramName("(Copy " + std::to_string(k++) + ") " + name);
    plugin.SetProgram(current);
  }
  ProgramsChanged();
}

void Ctl_VST_Plugin::JoinIdleList() {
  if (idle_list_ != nullptr || !editor_thread_.IsCreatingThread()) return;
  const COrvaneDocBase* document = GetDocument();
  if (document == nullptr || document->IdleClients() == nullptr) return;
  idle_list_ = document->IdleClients();
  idle_list_->Add(*this);
}

bool Ctl_VST_Plugin::OnIdle() {
  VST_Wrapper& plugin = *wrapper_;
  if (!plugin.Loaded()) {
    idle_list_.reset();
    return false;
  }
  if (plugin.editor_open.load()) plugin.Dispatch(vst2::effEditIdle);
  if (plugin.idle_wanted.load() && plugin.Dispatch(vst2::effIdle) != 1) {
    plugin.idle_wanted.store(false);
  }
  DeliverPendingChanges();
  return true;
}

void Ctl_VST_Plugin::DeliverPendingChanges() {
  if (display_changed_.exchange(false)) ProgramsChanged();
}

void Ctl_VST_Plugin::Idle() { JoinIdleList(); }

bool Ctl_VST_Plugin::FileDialog(bool save, const std::string& file_type, std::string& path) {
  // A plug-in asking from its audio thread gets no dialog.
  if (!editor_thread_.IsCreatingThread()) return false;
  FileDialogRequest request;
  request.save = save;
  request.start = path;
  if (!file_type.empty()) request.types.push_back(file_type);
  const FileDialogAnswer answer = AskAndWait(request);
  if (!answer.chosen) return false;
  path = answer.path;
  return true;
}

void Ctl_VST_Plugin::LibraryUnloading() {
  if (idle_list_ != nullptr) {
    idle_list_->Remove(*this);
    idle_list_.reset();
  }
  parameters_.clear();
}

void Ctl_VST_Plugin::ParameterAutomated(int32_t index, float /*value*/) {
  if (!editor_thread_.IsCreatingThread()) {
    display_changed_.store(true);
    return;
  }
  if (parameter_vst* parameter = VstParameter(index)) parameter->Changed();
}

void Ctl_VST_Plugin::DisplayChanged() {
  if (!editor_thread_.IsCreatingThread()) {
    display_changed_.store(true);
    return;
  }
  ProgramsChanged();
}

void Ctl_VST_Plugin::ApplyAutomaticFixes() {
  VST_Wrapper& plugin = *wrapper_;
  const std::string name = plugin.EffectName();
  SetTitle(name);
  const vst2::AEffect* effect = plugin.Effect();
  if (plugin.CanReplace()) {
    // A plug-in that adds to its outputs when asked to replace them leaves
    // the pre-filled value standing.
    constexpr int32_t kFrames = 8;
    constexpr float kFill = 1.24e8f;
    std::vector<std::vector<float>> inputs(static_cast<std::size_t>(std::max(effect->numInputs, 0)),
                                           std::vector<float>(kFrames, 0.0f));
    std::vector<std::vector<float>> outputs(
        static_cast<std::size_t>(std::max(effect->numOutputs, 0)), std::vector<float>(kFrames, kFill));
    std::vector<float*> in, out;
    for (auto& channel : inputs) in.push_back(channel.data());
    for (auto& channel : outputs) out.push_back(channel.data());
    plugin.SetRateAndBlock(44100.0f, kFrames);
    plugin.SetMains(true);
    plugin.SetRateAndBlock(44100.0f, kFrames);
    {
      VST_Wrapper::CallingScope calling(plugin);
      plugin.Effect()->processReplacing(plugin.Effect(), in.data(), out.data(), kFrames);
    }
    plugin.SetMains(false);
    if (!outputs.empty() && outputs[0][0] > 100.0f) SetPlugText("ProcessReplacing Fix", "1");
  }
  static constexpr const char* kAligned[] = {"Model-E", "Native Instruments B4", "Mono One",
                                             "SampleTank", "MetroGnome"};
  if (std::find(std::begin(kAligned), std::end(kAligned), name) != std::end(kAligned) ||
      name.compare(0, 6, "Pro-52") == 0) {
    SetPlugText("Data Alignment Fix", "1");
  }
}

void Ctl_VST_Plugin::SetPlugText(const std::string& name, const std::string& text) {
  if (CPlug2* plug = FindPlug(name)) plug->SetValueText(text);
}

bool Ctl_VST_Plugin::StoredStateFits() const {
  return static_cast<int32_t>(programs_.size()) == wrapper_->ProgramCount() &&
         (chunk_flag_ != 0) == wrapper_->HasChunks() &&
         parameter_count_ == wrapper_->ParameterCount();
}

void Ctl_VST_Plugin::ApplyStoredState() {
  VST_Wrapper& plugin = *wrapper_;
  if (chunk_flag_ != 0 && !bank_chunk_.empty()) plugin.SetBankChunk(bank_chunk_);
  for (std::size_t i = 0; i < programs_.size(); ++i) {
    const Program& program = programs_[i];
    plugin.SetProgram(static_cast<int32_t>(i));
    plugin.SetProgramName(program.name);
    if (chunk_flag_ == 0) {
      for (std::size_t p = 0; p < program.values.size(); ++p) {
        plugin.SetParameter(static_cast<int32_t>(p), program.values[p]);
      }
    } else if (!program.chunk.empty()) {
      std::vector<uint8_t> copy = program.chunk;
      plugin.Dispatch(vst2::effSetChunk, 1, static_cast<intptr_t>(copy.size()), copy.data());
    }
  }
  if (current_program_ >= 0 && current_program_ < plugin.ProgramCount()) {
    plugin.SetProgram(current_program_);
  }
  ProgramsChanged();
}

void Ctl_VST_Plugin::CaptureLiveState() {
  VST_Wrapper& plugin = *wrapper_;
  unique_id_ = plugin.UniqueId();
  chunk_flag_ = plugin.HasChunks() ? 1 : 0;
  parameter_count_ = plugin.ParameterCount();
  current_program_ = plugin.Program();
  const int32_t count = plugin.ProgramCount();
  programs_.assign(static_cast<std::size_t>(count), Program{});
  if (chunk_flag_ != 0) {
    bank_chunk_ = plugin.BankChunk();
    for (int32_t i = 0; i < count; ++i) {
      const auto& names = plugin.ProgramNames();
      programs_[static_cast<std::size_t>(i)].name =
          static_cast<std::size_t>(i) < names.size() ? names[static_cast<std::size_t>(i)] : "";
    }
    return;
  }
  bank_chunk_.clear();
  // Each program's values are read with that program selected.
  for (int32_t i = 0; i < count; ++i) {
    if (count > 1) plugin.SetProgram(i);
    Program& program = programs_[static_cast<std::size_t>(i)];
    program.name = plugin.ProgramName();
    program.values.resize(static_cast<std::size_t>(parameter_count_));
    for (int32_t p = 0; p < parameter_count_; ++p) {
      program.values[static_cast<std::size_t>(p)] = plugin.GetParameter(p);
    }
  }
  if (count > 1) plugin.SetProgram(current_program_);
}

std::vector<uint8_t> Ctl_VST_Plugin::LiveState() {
  if (!wrapper_->Loaded()) return {};
  CaptureLiveState();
  ArchiveWriter writer;
  writer.WriteInt32(unique_id_);
  writer.WriteInt32(chunk_flag_);
  writer.WriteInt32(parameter_count_);
  writer.WriteInt32(static_cast<int32_t>(programs_.size()));
  writer.WriteInt32(current_program_);
  if (chunk_flag_ != 0) {
    writer.WriteInt32(static_cast<int32_t>(bank_chunk_.size()));
    writer.WriteBytes(bank_chunk_);
  }
  for (const Program& program : programs_) {
    writer.WriteString(program.name);
    for (const float value : program.values) writer.WriteFloat32(value);
  }
  return writer.TakeBytes();
}

bool Ctl_VST_Plugin::RestoreLiveState(std::span<const uint8_t> bytes, std::string* problem) {
  const auto fail = [problem](std::string why) {
    if (problem) *problem = std::move(why);
    return false;
  };
  if (!wrapper_->Loaded()) return fail("the plug-in " + file_name_ + " is not loaded");
  int32_t unique_id = 0, chunk_flag = 0, parameter_count = 0, programs = 0, current = 0;
  std::vector<uint8_t> chunk;
  std::vector<Program> read;
  try {
    ObjectArchive archive(bytes);
    unique_id = archive.ReadInt32();
    chunk_flag = archive.ReadInt32();
    parameter_count = archive.ReadInt32();
    programs = archive.ReadInt32();
    current = archive.ReadInt32();
    // Every program takes at least its name's length byte.
    if (parameter_count < 0 || programs < 0 ||
        static_cast<std::size_t>(programs) > archive.Remaining()) {
      return fail("counts beyond the saved state");
    }
    if (chunk_flag != 0) {
      const int32_t size = archive.ReadInt32();
      if (size < 0 || static_cast<std::size_t>(size) > archive.Remaining()) {
        return fail("a chunk beyond the saved state");
      }
      chunk = archive.ReadBytes(static_cast<std::size_t>(size));
    }
    const std::size_t values = chunk_flag != 0 ? 0 : static_cast<std::size_t>(parameter_count);
    read.resize(static_cast<std::size_t>(programs));
    for (Program& program : read) {
      program.name = archive.ReadString();
      if (values * 4 > archive.Remaining()) return fail("values beyond the saved state");
      program.values.resize(values);
      for (float& value : program.values) value = archive.ReadFloat32();
    }
  } catch (const ArchiveError& error) {
    return fail(error.Describe());
  }
  if (unique_id != wrapper_->UniqueId()) {
    return fail("the saved state is of another plug-in than " + file_name_);
  }
  if (programs != wrapper_->ProgramCount() || (chunk_flag != 0) != wrapper_->HasChunks() ||
      parameter_count != wrapper_->ParameterCount()) {
    return fail("the saved state does not fit " + file_name_ + " as installed");
  }
  chunk_flag_ = chunk_flag;
  parameter_count_ = parameter_count;
  current_program_ = current;
  bank_chunk_ = std::move(chunk);
  programs_ = std::move(read);
  ApplyStoredState();
  return true;
}

int32_t Ctl_VST_Plugin::ParameterIndex(const std::string& name) const {
  for (int32_t i = 0; i < wrapper_->ParameterCount(); ++i) {
    if (wrapper_->RawParameterName(i) == name || wrapper_->ParameterName(i) == name) return i;
  }
  char* end = nullptr;
  const long index = std::strtol(name.c_str(), &end, 10);
  if (!name.empty() && end != nullptr && *end == '\0' && index >= 0 &&
      index < wrapper_->ParameterCount()) {
    return static_cast<int32_t>(index);
  }
  return -1;
}

void Ctl_VST_Plugin::MatchChannelPlugs() {
  const vst2::AEffect* effect = wrapper_->Effect();
  if (effect == nullptr) return;
  if (CPlug2* midi_out = FindPlug("MIDI Out")) midi_out->SetHidden(!wrapper_->SendsMidi());
  for (const auto& [index, wanted] : {std::pair<int16_t, int32_t>{kSignalInPlug, effect->numInputs},
                                     std::pair<int16_t, int32_t>{kSignalOutPlug, effect->numOutputs}}) {
    std::vector<CPlug2*> have;
    for (const auto& plug : plugs()) {
      if (plug->index() == index) have.push_back(plug.get());
    }
    for (auto n = static_cast<int32_t>(have.size()); n < wanted; ++n) AddPlug(index);
    for (auto n = static_cast<int32_t>(have.size()); n > std::max(wanted, 0); --n) {
      RemovePlug(have[static_cast<std::size_t>(n - 1)]);
    }
  }
}

void Ctl_VST_Plugin::OnGeneratorMade(ug_base& generator) {
  auto* engine_half = dynamic_cast<ug_vst_plugin*>(&generator);
  if (engine_half == nullptr) return;
  engine_half->SetWrapper(wrapper_->Loaded() ? wrapper_.get() : nullptr);
  std::vector<ug_vst_plugin::MidiAssignment> assignments;
  for (const auto& parameter : parameters_) {
    const auto* own = dynamic_cast<const parameter_vst*>(parameter.get());
    if (own != nullptr && own->midi_controller() >= 0) {
      assignments.push_back({own->index(), own->midi_controller(), own->midi_number()});
    }
  }
  engine_half->SetMidiAssignments(std::move(assignments));
}

void Ctl_VST_Plugin::OnRefresh(ug_base& generator) {
  auto* engine_half = dynamic_cast<ug_vst_plugin*>(&generator);
  if (engine_half == nullptr) return;
  for (const auto& parameter : parameters_) {
    auto* own = dynamic_cast<parameter_vst*>(parameter.get());
    if (own != nullptr && engine_half->TakeMovedByMidi(own->index())) own->Changed();
  }
}

}  // namespace ov
