#include "vsthost/vst_wrapper.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/vst2_file_select.h"
#include "vsthost/vst_host_app.h"

namespace ov {
namespace {

using namespace vst2;

// The wrapper whose library's entry point runs on this thread (calls made
// from inside it come before the effect is known), or whose plug-in this
// thread is calling into: its requests are answered without the list.
thread_local VST_Wrapper* calling_wrapper = nullptr;

using WrapperSnapshot = std::vector<VST_Wrapper*>;
std::atomic<std::shared_ptr<const WrapperSnapshot>> wrappers{
    std::make_shared<const WrapperSnapshot>()};
std::mutex wrappers_change;  // serialises writers only

constexpr int32_t kHostVersion = 2200;
// Longest initial path read from a plug-in's request.
constexpr std::size_t kLongestPath = 4096;
constexpr char kProductText[] = "Orvane";

// Plug-ins write into buffers hosts size at 64 bytes at most for these
// texts; the room here is larger, zeroed and terminated whatever they write.
constexpr std::size_t kTextRoom = 256;

std::string ReadText(const VST_Wrapper& wrapper, int32_t opcode, int32_t index) {
  std::array<char, kTextRoom> text{};
  wrapper.Dispatch(opcode, index, 0, text.data());
  text.back() = '\0';
  return text.data();
}

void CopyText(void* ptr, std::string_view text, std::size_t room) {
  if (ptr == nullptr || room == 0) return;
  const std::size_t length = std::min(text.size(), room - 1);
  std::memcpy(ptr, text.data(), length);
  static_cast<char*>(ptr)[length] = '\0';
}

}  // namespace

std::string CutName(const char* text, std::size_t limit) {
  std::size_t length = 0;
  while (length < limit && static_cast<unsigned char>(text[length]) >= 0x20 &&
         text[length] != 0x7F) {
    ++length;
  }
  // A cut inside a character backs up to its first byte.
  if (length == limit && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  return std::string(text, length);
}

VST_Wrapper::CallingScope::CallingScope(VST_Wrapper& wrapper) : previous_(calling_wrapper) {
  calling_wrapper = &wrapper;
}
VST_Wrapper::CallingScope::~CallingScope() { calling_wrapper = previous_; }

bool VST_Wrapper::Load(const std::string& path, std::string* error) {
  Unload();
  const std::string file_name = std::filesystem::path(path).filename().string();
  std::string why;
  DynamicLibrary library = DynamicLibrary::Open(path, &why);
  if (!library.IsOpen()) {
    if (error) *error = "Can't load VST Plugin(" + file_name + "). (" + why + ").";
    return false;
  }
  auto entry = reinterpret_cast<EntryProc>(library.Symbol("VSTPluginMain"));
  if (entry == nullptr) entry = reinterpret_cast<EntryProc>(library.Symbol("main"));
  if (entry == nullptr) {
    if (error) *error = "Can't open VST Plugin. (Plugin Entrypoint call failed). (" + path + ").";
    return false;
  }
  path_ = path;
  directory_ = std::filesystem::path(path).parent_path().string();
  AEffect* effect = nullptr;
  {
    CallingScope calling(*this);
    effect = entry(&VstHostCallback);
  }
  if (effect == nullptr || effect->magic != kEffectMagic) {
    path_.clear();
    if (error) *error = "Can't open VST Plugin. (not a vst plugin). (" + path + ").";
    return false;
  }
  library_ = std::move(library);
  effect_ = effect;
  VST_Wrapper_List::Add(this);
  time_ = {};
  time_.sampleRate = 44100.0;
  time_.tempo = 120.0;
  time_.timeSigNumerator = 4;
  time_.timeSigDenominator = 4;
  time_.flags = kVstTempoValid | kVstTimeSigValid;
  Dispatch(effOpen);
  vst_version_ = static_cast<int32_t>(Dispatch(effGetVstVersion));
  ReadProgramNames();
  return true;
}

void VST_Wrapper::ReadProgramNames() {
  const int32_t current = Program();
  program_names_.assign(static_cast<std::size_t>(ProgramCount()), std::string());
  bool selected = false;
  for (int32_t i = 0; i < ProgramCount(); ++i) {
    std::array<char, kTextRoom> name{};
    if (vst_version_ <= 1 || Dispatch(effGetProgramNameIndexed, i, -1, name.data()) != 1) {
      SetProgram(i);
      selected = true;
      name.fill('\0');
      Dispatch(effGetProgramName, 0, 0, name.data());
    }
    name.back() = '\0';
    program_names_[static_cast<std::size_t>(i)] = name.data();
  }
  if (selected) SetProgram(current);
}

void VST_Wrapper::Unload() {
  if (effect_ == nullptr) return;
  // Its editor goes before the plug-in does.
  CloseEditor();
  if (host_ != nullptr) host_->LibraryUnloading();
  Dispatch(effClose);
  VST_Wrapper_List::Remove(this);
  effect_ = nullptr;
  library_ = DynamicLibrary();
  program_names_.clear();
  path_.clear();
  chosen_paths_.clear();
}

intptr_t VST_Wrapper::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt) const {
  if (effect_ == nullptr || effect_->dispatcher == nullptr) return 0;
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

int32_t VST_Wrapper::ProgramCount() const {
  return effect_ != nullptr ? std::max(effect_->numPrograms, 1) : 1;
}
bool VST_Wrapper::HasChunks() const {
  return effect_ != nullptr && (effect_->flags & effFlagsProgramChunks) != 0;
}
bool VST_Wrapper::CanReplace() const {
  return effect_ != nullptr && (effect_->flags & effFlagsCanReplacing) != 0 &&
         effect_->processReplacing != nullptr;
}
bool VST_Wrapper::HasEditor() const {
  return effect_ != nullptr && (effect_->flags & effFlagsHasEditor) != 0;
}

int32_t VST_Wrapper::ParameterCount() const {
  if (effect_ == nullptr) return 0;
  const std::string name = EffectName();
  if (name == "GakStoar Delta") return 1000;
  if (name == "SampleTank") return 0;
  return std::max(effect_->numParams, 0);
}

VST_Wrapper::EditorSize VST_Wrapper::EditorRect() const {
  EditorSize size;
  vst2::ERect* rect = nullptr;
  if (Dispatch(effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr) return size;
  // A rectangle the plug-in got wrong gives no window of 0 pixels or less.
  const int32_t width = rect->right - rect->left;
  const int32_t height = rect->bottom - rect->top;
  if (width > 0 && height > 0) size = {width, height};
  return size;
}

bool VST_Wrapper::OpenEditor(uintptr_t window) {
  if (!HasEditor() || editor_open.load()) return false;
  // Hosts on Linux pass the X window as the pointer; the Display in
  // `value` is left 0, so the plug-in opens its own connection. The answer
  // is not read: plug-ins that opened answer 0 as often as 1.
  editor_open.store(true);
  Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
  return true;
}

void VST_Wrapper::CloseEditor() {
  if (!editor_open.exchange(false)) return;
  Dispatch(effEditClose);
}

bool VST_Wrapper::SendsMidi() const {
  if (effect_ == nullptr) return false;
  if (effect_->uniqueID == FourCC('R', 'N', 'B', 'W')) return true;
  char can_do[] = "sendVstMidiEvent";
  return Dispatch(effCanDo, 0, 0, can_do) == 1;
}

std::string VST_Wrapper::ParameterName(int32_t index) const {
  return CutName(RawParameterName(index).c_str(), 20);
}
std::string VST_Wrapper::RawParameterName(int32_t index) const {
  return ReadText(*this, effGetParamName, index);
}
std::string VST_Wrapper::ParameterDisplay(int32_t index) const {
  return CutName(ReadText(*this, effGetParamDisplay, index).c_str(), 20);
}
std::string VST_Wrapper::ParameterLabel(int32_t index) const {
  return CutName(ReadText(*this, effGetParamLabel, index).c_str(), 20);
}

std::string VST_Wrapper::EffectName() const {
  std::string name;
  if (vst_version_ > 1) name = ReadText(*this, effGetEffectName, 0);
  if (name.empty()) name = std::filesystem::path(path_).stem().string();
  return name;
}

std::string VST_Wrapper::ProgramName() const { return ReadText(*this, effGetProgramName, 0); }

void VST_Wrapper::SetProgramName(const std::string& name) {
  std::array<char, kTextRoom> text{};
  CopyText(text.data(), name, kMaxProgNameLen);
  Dispatch(effSetProgramName, 0, 0, text.data());
  const int32_t program = Program();
  if (program >= 0 && static_cast<std::size_t>(program) < program_names_.size()) {
    program_names_[static_cast<std::size_t>(program)] = text.data();
  }
}

int32_t VST_Wrapper::Program() const { return static_cast<int32_t>(Dispatch(effGetProgram)); }
void VST_Wrapper::SetProgram(int32_t program) const { Dispatch(effSetProgram, 0, program); }

float VST_Wrapper::GetParameter(int32_t index) const {
  if (effect_ == nullptr || effect_->getParameter == nullptr) return 0.0f;
  if (index < 0 || index >= effect_->numParams) return 0.0f;
  return effect_->getParameter(effect_, index);
}
void VST_Wrapper::SetParameter(int32_t index, float value) const {
  if (effect_ == nullptr || effect_->setParameter == nullptr) return;
  if (index < 0 || index >= effect_->numParams) return;
  effect_->setParameter(effect_, index, value);
}

std::vector<uint8_t> VST_Wrapper::Chunk(bool program) const {
  void* data = nullptr;
  const intptr_t size = Dispatch(effGetChunk, program ? 1 : 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

void VST_Wrapper::SetChunk(bool program, const std::vector<uint8_t>& chunk) const {
  if (chunk.empty()) return;
  // Plug-ins may keep the pointer only for the call; a copy they may write.
  std::vector<uint8_t> copy = chunk;
  Dispatch(effSetChunk, program ? 1 : 0, static_cast<intptr_t>(copy.size()), copy.data());
}

void VST_Wrapper::SetRateAndBlock(float sample_rate, int32_t block_size) {
  block_size_.store(block_size, std::memory_order_relaxed);
  time_.sampleRate = sample_rate;
  Dispatch(effSetSampleRate, 0, 0, nullptr, sample_rate);
  Dispatch(effSetBlockSize, 0, block_size);
}

void VST_Wrapper::SetMains(bool on) const { Dispatch(effMainsChanged, 0, on ? 1 : 0); }

intptr_t VST_Wrapper::Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt) {
  switch (opcode) {
    case audioMasterAutomate:
      if (host_ != nullptr) host_->ParameterAutomated(index, opt);
      return 0;
    case audioMasterVersion:
      return kHostVersion;
    case audioMasterIdle:
      if (host_ != nullptr) host_->Idle();
      return 0;
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetTime: {
      const VstTimeInfo* time = host_ != nullptr ? host_->GetTime(static_cast<int32_t>(value))
                                                 : nullptr;
      return reinterpret_cast<intptr_t>(time != nullptr ? time : &time_);
    }
    case audioMasterProcessEvents:
      if (ptr != nullptr) {
        const auto& events = *static_cast<const VstEvents*>(ptr);
        if (sink_ != nullptr) {
          sink_->EventsFromPlugin(events);
        } else if (host_ != nullptr) {
          host_->EventsFromPlugin(events);
        }
      }
      return 0;
    case audioMasterSetTime:
      if (host_ != nullptr && ptr != nullptr) {
        host_->SetTime(*static_cast<const VstTimeInfo*>(ptr));
      }
      return 1;
    case audioMasterTempoAt:
      return 1200000;
    case audioMasterGetParameterQuantization:
      return 1;
    case audioMasterNeedIdle:
      idle_wanted.store(true);
      if (host_ != nullptr) host_->Idle();
      return 0;
    case audioMasterGetSampleRate:
      return host_ != nullptr ? host_->SampleRate() : static_cast<intptr_t>(time_.sampleRate);
    case audioMasterGetBlockSize: {
      // What was sent with effSetBlockSize: the largest call the plug-in gets.
      const int32_t sent = block_size_.load(std::memory_order_relaxed);
      return sent > 0 ? sent : (host_ != nullptr ? host_->BlockSize() : 0);
    }
    case audioMasterGetVendorString:
      CopyText(ptr, kProductText, kMaxVendorStrLen);
      return 0;
    case audioMasterGetProductString:
      CopyText(ptr, kProductText, kMaxProductStrLen);
      return 0;
    case audioMasterGetVendorVersion:
      return 1;
    case audioMasterGetLanguage:
      return 1;
    case audioMasterGetDirectory:
      return reinterpret_cast<intptr_t>(directory_.c_str());
    case audioMasterUpdateDisplay:
      if (host_ != nullptr) host_->DisplayChanged();
      return 0;
    case audioMasterOpenFileSelector:
      return SelectFile(static_cast<VstFileSelect*>(ptr));
    case audioMasterCloseFileSelector:
      return CloseFileSelector(static_cast<VstFileSelect*>(ptr));
    default:
      return 0;
  }
}

intptr_t VST_Wrapper::SelectFile(VstFileSelect* select) {
  if (select == nullptr || host_ == nullptr) return 0;
  // One file to load or save, or a folder; several files at once are not
  // supported.
  if (select->command != kVstFileLoad && select->command != kVstFileSave &&
      select->command != kVstDirectorySelect) {
    return 0;
  }
  std::string type;
  if (select->nbFileTypes > 0 && select->fileTypes != nullptr) {
    const VstFileType& first = select->fileTypes[0];
    type.assign(first.unixType, strnlen(first.unixType, sizeof first.unixType));
    if (type.empty()) type.assign(first.dosType, strnlen(first.dosType, sizeof first.dosType));
  }
  std::string path;
  if (select->initialPath != nullptr) {
    path.assign(select->initialPath, strnlen(select->initialPath, kLongestPath));
  }
  if (!host_->FileDialog(select->command == kVstFileSave, type, path)) return 0;
  if (select->returnPath == nullptr) {
    // Ours to free when the plug-in closes the selector.
    auto room = std::make_unique<char[]>(path.size() + 1);
    select->returnPath = room.get();
    select->sizeReturnPath = static_cast<int32_t>(path.size() + 1);
    chosen_paths_.push_back(std::move(room));
  } else if (select->sizeReturnPath <= 0 ||
             path.size() >= static_cast<std::size_t>(select->sizeReturnPath)) {
    // A path cut to fit would name another file.
    return 0;
  }
  std::memcpy(select->returnPath, path.c_str(), path.size() + 1);
  select->nbReturnPath = 1;
  return 1;
}

intptr_t VST_Wrapper::CloseFileSelector(VstFileSelect* select) {
  if (select == nullptr || select->returnPath == nullptr) return 0;
  const auto ours = std::find_if(chosen_paths_.begin(), chosen_paths_.end(),
                                 [&](const auto& room) { return room.get() == select->returnPath; });
  if (ours == chosen_paths_.end()) return 1;
  chosen_paths_.erase(ours);
  select->returnPath = nullptr;
  select->sizeReturnPath = 0;
  return 1;
}

void VST_Wrapper_List::Add(VST_Wrapper* wrapper) {
  std::lock_guard lock(wrappers_change);
  auto next = std::make_shared<WrapperSnapshot>(*wrappers.load());
  next->push_back(wrapper);
  wrappers.store(std::move(next));
}

void VST_Wrapper_List::Remove(VST_Wrapper* wrapper) {
  std::lock_guard lock(wrappers_change);
  auto next = std::make_shared<WrapperSnapshot>(*wrappers.load());
  std::erase(*next, wrapper);
  wrappers.store(std::move(next));
}

VST_Wrapper* VST_Wrapper_List::Find(const vst2::AEffect* effect) {
  const std::shared_ptr<const WrapperSnapshot> list = wrappers.load();
  for (VST_Wrapper* wrapper : *list) {
    if (wrapper->Effect() == effect) return wrapper;
  }
  return nullptr;
}

std::size_t VST_Wrapper_List::Size() { return wrappers.load()->size(); }

intptr_t VstHostCallback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                         void* ptr, float opt) {
  VST_Wrapper* wrapper = calling_wrapper;
  if (wrapper == nullptr || (wrapper->Effect() != effect && wrapper->Effect() != nullptr)) {
    wrapper = effect != nullptr ? VST_Wrapper_List::Find(effect) : nullptr;
  }
  if (wrapper == nullptr) {
    // Asked before any wrapper knows the plug-in: only the version is safe.
    return opcode == audioMasterVersion ? kHostVersion : 0;
  }
  return wrapper->Answer(opcode, index, value, ptr, opt);
}

}  // namespace ov
