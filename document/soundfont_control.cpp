// The editor side of the sound-font modules: the stored value, loading its
// file, the channel choices, and what the panel lists.
#include <cstdio>
#include <optional>
#include <utility>

#include "document/control.h"
#include "document/menu_entries.h"
#include "document/plug.h"
#include "document/plug_kinds.h"
#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "engine/ug_base.h"
#include "media/soundfont_user.h"
#include "patches/message_hub.h"
#include "platform/files.h"
#include "platform/message_sink.h"

namespace ov {
namespace {

// Banks above this size are refused rather than read.
constexpr std::size_t kMaxBankBytes = std::size_t{1} << 30;
// A channel text this long or shorter holds no channel groups.
constexpr std::size_t kShortChannelText = 127;

uint32_t Pack(SoundfontChoice choice) {
  return choice.bank | (uint32_t{choice.preset} << 8) | (choice.on ? 1u << 16 : 0u);
}

SoundfontChoice Unpack(uint32_t packed) {
  return {static_cast<uint8_t>(packed & 0xFF), static_cast<uint8_t>((packed >> 8) & 0xFF),
          ((packed >> 16) & 1u) != 0};
}

// The number a fixed-width field holds (blanks, an optional minus, digits);
// nothing when it holds no digit.
std::optional<int32_t> FieldNumber(std::string_view field) {
  std::size_t at = 0;
  while (at < field.size() && field[at] == ' ') ++at;
  const bool negative = at < field.size() && field[at] == '-';
  if (negative) ++at;
  if (at >= field.size() || field[at] < '0' || field[at] > '9') return std::nullopt;
  int32_t value = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '9'; ++at) {
    value = value * 10 + (field[at] - '0');
  }
  return negative ? -value : value;
}

}  // namespace

std::array<SoundfontChoice, 16> ParseChannelText(std::string_view text) {
  std::array<SoundfontChoice, 16> choices{};
  if (text.size() <= kShortChannelText) return choices;
  bool previous_on = true;
  // Channel 0's group follows the leading comma; each later one the comma
  // that closes the group before.
  std::size_t start = text.find(',');
  for (SoundfontChoice& choice : choices) {
    choice = {};
    if (start != std::string_view::npos) {
      ++start;
      const std::size_t close = text.find(',', start);
      const std::size_t end = close == std::string_view::npos ? text.size() : close;
      const std::string_view group = text.substr(start, end - start);
      const std::optional<int32_t> bank = FieldNumber(group.substr(0, 3));
      const std::optional<int32_t> preset =
          group.size() > 4 ? FieldNumber(group.substr(4, 3)) : std::nullopt;
      if (bank && preset) {
        choice.bank = static_cast<uint8_t>(*bank);
        choice.preset = static_cast<uint8_t>(*preset);
        choice.on = group.size() > 8 && (group[8] == '0' || group[8] == '1') ? group[8] == '1'
                                                                             : previous_on;
      }
      start = close;
    }
    previous_on = choice.on;
  }
  return choices;
}

Ctl_Soundfont_base::Ctl_Soundfont_base(bool multi_channel)
    : CControl(kText), multi_channel_(multi_channel) {
  for (auto& entry : table_) entry.store(Pack({}), std::memory_order_relaxed);
}

Ctl_Soundfont_base::~Ctl_Soundfont_base() { ReleaseBank(); }

void Ctl_Soundfont_base::ReleaseBank() {
  soundfont_bank* bank = std::exchange(bank_, nullptr);
  // The editor thread may free memory; generators still holding the bank
  // keep it alive.
  if (bank != nullptr && bank->Release()) delete bank;
}

soundfont_bank* Ctl_Soundfont_base::AcquireBank() {
  if (bank_ != nullptr) bank_->AddRef();
  engine_bank_ = bank_;
  return bank_;
}

int32_t Ctl_Soundfont_base::CurrentChannel() const {
  return current_channel_.load(std::memory_order_relaxed);
}

SoundfontChoice Ctl_Soundfont_base::Choice(int32_t channel) const {
  return Unpack(table_[static_cast<std::size_t>(channel & 15)].load(std::memory_order_relaxed));
}

void Ctl_Soundfont_base::SetChoice(int32_t channel, SoundfontChoice choice) {
  table_[static_cast<std::size_t>(channel & 15)].store(Pack(choice), std::memory_order_relaxed);
}

void Ctl_Soundfont_base::SetCurrentChannel(int32_t channel) {
  current_channel_.store(multi_channel_ ? (channel & 15) : 0, std::memory_order_relaxed);
  RewriteValue();
}

void Ctl_Soundfont_base::OnGeneratorAttached(ug_base& generator) {
  if (auto* user = dynamic_cast<ug_soundfont_user*>(&generator)) user->SetSource(this);
}

ug_soundfont_user* Ctl_Soundfont_base::EngineUser() const {
  return Generator() != nullptr ? dynamic_cast<ug_soundfont_user*>(Generator()) : nullptr;
}

bool Ctl_Soundfont_base::EngineRuns() const {
  return EngineUser() != nullptr && Hub() != nullptr && Hub()->Engine() != nullptr &&
         Hub()->Engine()->IsRunning();
}

void Ctl_Soundfont_base::AttachFiles(const DataFiles* files, MessageSink* messages,
                                     int32_t current_patch) {
  files_ = files;
  messages_ = messages;
  current_patch_ = current_patch;
  ApplyValue(ValueText(current_patch));
}

void Ctl_Soundfont_base::SetStoredValue(int32_t patch, const std::string& value) {
  SetValueText(patch, value);
  if (patch == current_patch_) ApplyValue(value);
}

void Ctl_Soundfont_base::OnPatchChanged(int32_t patch) {
  current_patch_ = patch;
  ApplyValue(ValueText(patch));
}

void Ctl_Soundfont_base::ApplyValue(const std::string& value) {
  const std::size_t comma = value.find(',');
  const bool split = comma != std::string::npos && comma > 0;
  const std::string name = split ? value.substr(0, comma) : value;
  const std::string channels = split ? value.substr(comma) : std::string();
  if (name.empty()) return;
  const bool loaded = Load(name);
  if (bank_ == nullptr) {
    ShowChanges();
    return;
  }
  ApplyChannelText(channels);
  // The generators get the new bank only once its channels are set up,
  // so this thread never builds zones of a bank the engine plays.
  if (loaded) {
    if (ug_soundfont_user* user = EngineUser(); user != nullptr && user->HandOver(bank_)) {
      engine_bank_ = bank_;
      Hub()->Engine()->Notify(*Generator(), ug_soundfont_user::kNotifyNewBank, 0);
    }
  }
}

bool Ctl_Soundfont_base::Load(const std::string& name) {
  if (name == loaded_name_ && bank_ != nullptr) return false;
  loaded_name_.clear();
  applied_text_ = "x";  // the channel text is applied again
  ReleaseBank();
  auto bank = std::make_unique<soundfont_bank>();
  std::string error;
  bool ok = false;
  if (files_ == nullptr) {
    error = "no project files";
  } else if (const std::optional<DataFile> file = files_->OpenDataFile(name, "sf2")) {
    if (file->InMemory()) {
      ok = bank->Load(file->memory, &error);
    } else {
      std::vector<uint8_t> bytes;
      ok = ReadFileBytes(file->path, kMaxBankBytes, &bytes, &error) && bank->Load(bytes, &error);
    }
  } else {
    error = "no such file";
  }
  if (!ok) {
    if (messages_ != nullptr) {
      messages_->Post(title() + ": Can't load file: " + name + " (" + error + ")",
                      MessageStyle::kInformation);
    }
    return false;
  }
  bank_ = bank.release();
  bank_->AddRef();
  loaded_name_ = name;
  return true;
}

void Ctl_Soundfont_base::ApplyChannelText(const std::string& text) {
  if (text == applied_text_ || bank_ == nullptr) return;
  applied_text_ = text;
  const std::array<SoundfontChoice, 16> choices = ParseChannelText(text);
  const bool short_text = text.size() <= kShortChannelText;
  const int32_t channels = multi_channel_ ? 16 : 1;
  for (int32_t c = 0; c < 16; ++c) SetChoice(c, choices[static_cast<std::size_t>(c)]);
  if (short_text) {
    SoundfontChoice drums = Choice(soundfont_bank::kDrumChannel);
    drums.bank = soundfont_bank::kDrumBank;
    SetChoice(soundfont_bank::kDrumChannel, drums);
  }
  const bool engine_holds = EngineRuns() && engine_bank_ == bank_;
  for (int32_t c = 0; c < channels; ++c) bank_->SetChannelOn(c, Choice(c).on);
  if (engine_holds) {
    // Only the audio thread builds the zones of a bank it plays.
    Hub()->Engine()->Notify(*Generator(), ug_soundfont_user::kNotifyChoices, 0);
  } else {
    for (int32_t c = 0; c < channels; ++c) {
      bank_->SetBank(c, Choice(c).bank);
      bank_->SetPreset(c, static_cast<int8_t>(Choice(c).preset));
    }
    if (short_text) bank_->SetBank(soundfont_bank::kDrumChannel, soundfont_bank::kDrumBank);
  }
  RewriteValue();
}

std::string Ctl_Soundfont_base::ComposeValue() const {
  std::string value = loaded_name_;
  for (int32_t c = 0; c < 16; ++c) {
    const SoundfontChoice choice = Choice(c);
    char group[24];
    std::snprintf(group, sizeof group, ",%3d %3d %1d", choice.bank,
                  static_cast<int8_t>(choice.preset), choice.on ? 1 : 0);
    value += group;
  }
  return value + ",";
}

void Ctl_Soundfont_base::RewriteValue() {
  const SoundfontChoice current = Choice(CurrentChannel());
  if (CPlug2* plug = FindPlug("Bank")) plug->SetValueText(std::to_string(current.bank));
  if (CPlug2* plug = FindPlug("Patch")) {
    plug->SetValueText(std::to_string(static_cast<int8_t>(current.preset)));
  }
  if (!loaded_name_.empty()) StoreValue(ComposeValue());
  ShowChanges();
}

void Ctl_Soundfont_base::StoreValue(const std::string& value) {
  // With "Ignore Program Change" on, one value serves every patch.
  const CPlug2* ignore = FindPlug("Ignore Program Change");
  if (ignore != nullptr && ignore->value_text() != "0") {
    for (int32_t patch = 0; patch < kPatchCount; ++patch) SetValueText(patch, value);
  } else {
    SetValueText(current_patch_, value);
  }
}

void Ctl_Soundfont_base::ShowChanges() {
  for (const char* name : {"Bank", "Patch"}) {
    const CPlug2* plug = FindPlug(name);
    CPlug2* other = plug != nullptr ? plug->FirstConnectedPlug() : nullptr;
    if (auto* list = dynamic_cast<CPlugFeature*>(other)) list->RefreshItems();
  }
  Notify(Notification(kNotifyContentsChanged, static_cast<const CDocOb*>(this)));
}

void Ctl_Soundfont_base::ChooseBankOrPreset(bool bank, int32_t number) {
  const int32_t channel = CurrentChannel();
  SoundfontChoice choice = Choice(channel);
  const auto byte = static_cast<uint8_t>(number);
  if ((bank ? choice.bank : choice.preset) == byte) return;
  (bank ? choice.bank : choice.preset) = byte;
  SetChoice(channel, choice);
  if (EngineRuns() && engine_bank_ == bank_) {
    Hub()->Engine()->Notify(*Generator(), ug_soundfont_user::kNotifyChoices, 0);
  } else if (bank_ != nullptr) {
    bank_->SetBank(channel, choice.bank);
    bank_->SetPreset(channel, static_cast<int8_t>(choice.preset));
  }
  RewriteValue();
}

void Ctl_Soundfont_base::ToggleCurrentChannel() {
  if (bank_ == nullptr || !multi_channel_) return;
  const int32_t channel = CurrentChannel();
  SoundfontChoice choice = Choice(channel);
  choice.on = !choice.on;
  SetChoice(channel, choice);
  // The switch is one byte the audio thread only reads.
  bank_->SetChannelOn(channel, choice.on);
  RewriteValue();
}

void Ctl_Soundfont_base::ChooseFile(const std::string& name) {
  if (name.empty()) return;
  StoreValue(name);
  ApplyValue(name);
}

void Ctl_Soundfont_base::Unload() {
  if (bank_ == nullptr) return;
  for (int32_t patch = 0; patch < kPatchCount; ++patch) SetValueText(patch, "");
  ReleaseBank();
  loaded_name_.clear();
  applied_text_.clear();
  RewriteValue();
}

void Ctl_Soundfont_base::OnRefresh(ug_base& generator) {
  auto* user = dynamic_cast<ug_soundfont_user*>(&generator);
  if (user == nullptr) return;
  const uint8_t status = user->StatusFlag();
  const bool status_changed = status != status_flag_;
  status_flag_ = status;
  if (bank_ == nullptr || engine_bank_ != bank_) {
    if (status_changed) ShowChanges();
    return;
  }
  const SoundfontChoice before = Choice(CurrentChannel());
  for (int32_t c = 0; c < 16; ++c) {
    SetChoice(c, {bank_->ChannelBank(c), bank_->ChannelPreset(c), bank_->ChannelOn(c)});
  }
  const SoundfontChoice after = Choice(CurrentChannel());
  if (before.bank != after.bank || before.preset != after.preset) {
    RewriteValue();
  } else {
    // Another channel's choice or the status shows on the panel too.
    ShowChanges();
  }
}

std::optional<std::string> Ctl_Soundfont_base::PlugItemList(const CPlug2& plug) const {
  const std::string name = plug.Name();
  if (name == "Bank") return BankItems();
  if (name == "Patch") return PatchItems();
  return std::nullopt;
}

void Ctl_Soundfont_base::OnPlugValueChanged(CPlug2& plug) {
  const std::string name = plug.Name();
  if (name != "Bank" && name != "Patch") return;
  const std::optional<int32_t> number = FieldNumber(plug.value_text());
  if (number && *number >= 0 && *number <= 255) ChooseBankOrPreset(name == "Bank", *number);
}

void Ctl_Soundfont_base::AddMenuEntries(ContextMenu& menu) {
  if (bank_ != nullptr) menu.Add(kCommandUnloadSoundfont, "Unload Soundfont");
}

bool Ctl_Soundfont_base::OnMenuCommand(int32_t id) {
  if (id != kCommandUnloadSoundfont) return false;
  Unload();
  return true;
}

std::string Ctl_Soundfont_base::BankItems() const {
  if (bank_ == nullptr) return "<none>";
  std::string items;
  for (int32_t b = 0; b <= 128; ++b) {
    if (!bank_->BankState(b)) continue;
    char item[32];
    std::snprintf(item, sizeof item, "Bank %3d=%d", b, b);
    items += (items.empty() ? "" : ",") + std::string(item);
  }
  return items.empty() ? "Bank 0" : items;
}

std::string Ctl_Soundfont_base::PatchItems() const {
  if (bank_ == nullptr) return "<none>";
  const int32_t bank = Choice(CurrentChannel()).bank;
  std::string items;
  for (int32_t p = 0; p < 128; ++p) {
    if (bank_->PresetState(bank, p) != 0) continue;
    char number[16];
    std::snprintf(number, sizeof number, "%3d - ", p + 1);
    items += (items.empty() ? "" : ",") + std::string(number) + bank_->PresetName(bank, p) + "=" +
             std::to_string(p);
  }
  return items.empty() ? "<none>" : items;
}

}  // namespace ov
