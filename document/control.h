// CControl and its kin: modules with a panel control that keeps one value
// per patch, and the classes that store exactly the same fields.
//
// Threads: editor only.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/generic_parameter.h"
#include "document/module.h"
#include "document/same_fields.h"
#include "media/soundfont_source.h"

namespace ov {

class DataFiles;
class MessageSink;
class ug_base;
class ug_soundfont_user;

// A module with a panel control: one value per patch, shown and changed as
// a panel parameter, and told to the control's generator (ug_control) and
// each of its voice copies through the editor-to-engine ring.
class CControl : public CUG, public generic_parameter {
 public:
  enum ValueType : int32_t { kInteger = 0, kText = 1, kDouble = 3 };
  static constexpr int32_t kPatchCount = 128;
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  explicit CControl(int32_t value_type = kInteger);
  ~CControl() override;
  void Serialize(FieldWalker& walker) override;

  int32_t value_type() const { return value_type_; }
  // The patch whose value is in use: the container's current patch when the
  // control follows patches, else 0.
  int32_t CurrentPatch() const;
  // Values of patch `patch` (-1 the current one; outside the range patch 0).
  // Text reads as its number.
  virtual double Value(int32_t patch) const;
  // Stores a value (-1 the current patch); an unchanged value does nothing.
  // The engine hears of every change, the watchers (code 31) of one to the
  // current patch. Patches outside the range are ignored.
  void SetValue(int32_t patch, double value);
  // Patch `patch`'s value as stored text (doubles exactly), and storing
  // one as SetValue does.
  std::string ValueText(int32_t patch) const;
  void SetValueText(int32_t patch, const std::string& text);
  // Patches first..last (kept within the range) take patch `from`'s value.
  void CopyValue(int32_t from, int32_t first, int32_t last);
  // What the panel shows: integers in decimal, text as it is, doubles with
  // "%.3f" below 1, "%.2f" below 100, else "%.1f"; "UnSupported Datatype"
  // for any other value type.
  std::string ReadoutText(int32_t patch) const;
  // Writes "Lo Value" and "Hi Value" as "%.3f" texts.
  void SetRange(double lo, double hi);
  // The item list offered instead of the connected plug's.
  void SetItemList(std::string text);
  // The control's own output now feeds `other`: the control takes its name,
  // range, item list and value, and "Ignore Program Change" when it asks
  // for it (flag 0x2).
  void AdaptTo(const CPlug2& other);
  const std::string& hint() const { return hint_; }
  const Rect& panel_rect() const { return panel_rect_; }

  // The generic parameter.
  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return title(); }
  int32_t Datatype() const override;
  std::string ValueText() const override { return ReadoutText(-1); }
  void WriteValueText(const std::string& text) override;
  std::string ItemList() const override;
  ControlEngineHalf* EngineHalf() const override;

  // The module operations. Sliders, list and text entries offer themselves
  // as panel parameters; controls that only show something do not.
  void OnPatchChanged(int32_t patch) override;
  void OnConnectionsChanged(CPlug2& plug, bool made) override;

 protected:
  Rect* ViewRectField(int32_t view_kind) override {
    return view_kind == kViewControlPanel ? &panel_rect_ : CUG::ViewRectField(view_kind);
  }
  void OnGeneratorAttached(ug_base& generator) override;
  // The engine moved the control (MIDI, the host): the document takes the
  // value the generator published, and the watchers hear of it.
  void OnRefresh(ug_base& generator) override;
  // Tells the panel the control must be rebuilt (code 14 to the container).
  void RequestRebuild();
  double StoredValue(int32_t patch) const;
  // Patch `patch`'s value goes to the generator; `patch_change` jumps to it.
  void SendValue(int32_t patch, bool patch_change) const;

 private:
  void WalkValue(FieldWalker& walker, std::size_t patch);
  // All patches hold the value of patch 0.
  bool AllPatchesEqual() const;
  // Stores without telling anyone; true when it changed something.
  bool Store(int32_t patch, const std::string& text);
  bool Store(int32_t patch, double value);

  int32_t value_type_;
  std::string hint_;
  std::vector<double> doubles_;
  std::vector<int32_t> integers_;
  std::vector<std::string> texts_;
  Rect panel_rect_{0, 0, 10, 10};
  int32_t option_word_ = 0;
  // The project stored one value for all patches.
  bool single_value_ = false;
  std::string item_list_;
  Notifier watchers_;
};

// "Slider": a double between "Lo Value" and "Hi Value".
class Ctl_Slider : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_Slider() : CControl(kDouble) {}
  void CollectGenericParameters(std::vector<generic_parameter*>& out) override {
    out.push_back(this);
  }

  // Button appearances read lo or hi, whichever is nearer (hi on a tie).
  double Value(int32_t patch) const override;
  double Lo() const;
  double Hi() const;
  // "Appearance", -1 to 9; 0 without the plug.
  int32_t Appearance() const;

  bool Automatable() const override { return true; }
  // (value - lo) / (hi - lo) within 0..1; 0 when lo equals hi.
  float GetNormalised() const override;
  // Stores lo + (hi - lo) x for the current patch.
  void SetNormalised(float x) override;
  std::string TextForNormalised(float x) const override;
  void OnPlugValueChanged(CPlug2& plug) override;
};

// "List Entry": an item value of its list.
class Ctl_Combo : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_Combo() : CControl(kInteger) {}
  void CollectGenericParameters(std::vector<generic_parameter*>& out) override {
    out.push_back(this);
  }
  int32_t Datatype() const override { return DT_ENUM; }
  bool Automatable() const override { return true; }
  void OnPlugValueChanged(CPlug2& plug) override;
};

// "Text Entry".
class Ctl_Text : public CControl {
 public:
  static const SerialClass kClass;
  const SerialClass& GetClass() const override { return kClass; }
  Ctl_Text() : CControl(kText) {}
  void CollectGenericParameters(std::vector<generic_parameter*>& out) override {
    out.push_back(this);
  }
  void OnPlugValueChanged(CPlug2& plug) override;
};

extern const SerialClass kCtl_PushButton;
extern const SerialClass kCtl_LED;
extern const SerialClass kCtl_PeakMeter;
extern const SerialClass kCtl_VoltMeter;
extern const SerialClass kui_control2;
extern const SerialClass kui_param_float_out;
extern const SerialClass kCtl_SelfDrawing;
extern const SerialClass kCtl_FreqAn;
extern const SerialClass kCtl_FreqResp;
extern const SerialClass kCtl_Keyboard;
extern const SerialClass kCtl_tty;
extern const SerialClass kCtl_Soundfont_base;
extern const SerialClass kCosc_sf;
extern const SerialClass kCtl_SamplePlay2;
using Ctl_PushButton = SameFieldsAs<kCtl_PushButton, CControl>;
// Ctl_LED, Ctl_PeakMeter, Ctl_VoltMeter and Ctl_tty: document/readouts.h.
// ui_control2 and ui_param_float_out: document/level_out.h.
// Controls that draw their own panel area.
using Ctl_SelfDrawing = SameFieldsAs<kCtl_SelfDrawing, CControl>;
// Ctl_Env_Edit: document/envelope_shape.h.
using Ctl_FreqAn = SameFieldsAs<kCtl_FreqAn, Ctl_SelfDrawing>;
using Ctl_FreqResp = SameFieldsAs<kCtl_FreqResp, Ctl_SelfDrawing>;
using Ctl_Keyboard = SameFieldsAs<kCtl_Keyboard, Ctl_SelfDrawing>;

// `Ctl_Soundfont_base`: the editor side of the sound-font modules. Its text
// value (one per patch) is a file name followed by the channel choices; it
// loads the file into a bank it shares with the module's generators, and
// keeps the channels' banks, presets and switches.
//
// Threads: editor, except the SoundfontSource answers (any thread).
class Ctl_Soundfont_base : public CControl, public SoundfontSource {
 public:
  static const SerialClass& Class();
  const SerialClass& GetClass() const override { return Class(); }
  explicit Ctl_Soundfont_base(bool multi_channel = false);
  ~Ctl_Soundfont_base() override;

  // Where files are opened and load failures told; then the value of the
  // current patch is applied (once after the project is read).
  void AttachFiles(const DataFiles* files, MessageSink* messages, int32_t current_patch);
  // Sets a patch's value; the current patch's is applied at once.
  void SetStoredValue(int32_t patch, const std::string& value);
  // Another patch became current: its value is applied.
  void OnPatchChanged(int32_t patch) override;
  // Applies a value: loads its file, then its channel choices.
  void ApplyValue(const std::string& value);

  soundfont_bank* bank() const { return bank_; }
  const std::string& loaded_name() const { return loaded_name_; }
  bool multi_channel() const { return multi_channel_; }
  void SetCurrentChannel(int32_t channel);
  // The value as it would be stored now: name, 16 channel groups, ",".
  std::string ComposeValue() const;
  // The item lists the "Bank" and "Patch" plugs offer.
  std::string BankItems() const;
  std::string PatchItems() const;
  // A panel choice of bank or preset for the current channel.
  void ChooseBankOrPreset(bool bank, int32_t number);
  // The panel's switch of the current channel.
  void ToggleCurrentChannel();
  // A file chosen on the panel: its name alone becomes the value, so every
  // channel starts again from bank 0 and preset 0.
  void ChooseFile(const std::string& name);
  // "Unload Soundfont".
  void Unload();
  // 1 while the last note found only a ROM sample (as the panel last heard).
  uint8_t status_flag() const { return status_flag_; }

  // The "Bank" and "Patch" plugs list what the loaded file holds; a value
  // written to either is a panel choice.
  std::optional<std::string> PlugItemList(const CPlug2& plug) const override;
  void OnPlugValueChanged(CPlug2& plug) override;
  void AddMenuEntries(ContextMenu& menu) override;
  bool OnMenuCommand(int32_t id) override;

  // SoundfontSource.
  soundfont_bank* AcquireBank() override;
  int32_t CurrentChannel() const override;
  SoundfontChoice Choice(int32_t channel) const override;

 protected:
  void OnGeneratorAttached(ug_base& generator) override;
  void OnRefresh(ug_base& generator) override;

 private:
  bool Load(const std::string& name);
  void ApplyChannelText(const std::string& text);
  void SetChoice(int32_t channel, SoundfontChoice choice);
  void ReleaseBank();
  // The running engine's generator for this module, or null.
  ug_soundfont_user* EngineUser() const;
  bool EngineRuns() const;
  // Writes the current channel's choice to the plugs and the value.
  void RewriteValue();
  // Tells the panel, and list entries connected to the "Bank" and "Patch"
  // plugs, that what they show may have changed.
  void ShowChanges();
  // Writes `value` to the current patch, or to every patch while one value
  // serves them all.
  void StoreValue(const std::string& value);

  bool multi_channel_;
  soundfont_bank* bank_ = nullptr;
  // The bank last given to the generators: only they build its zones while
  // the engine runs. Compared, never read through.
  const soundfont_bank* engine_bank_ = nullptr;
  std::string loaded_name_;
  std::string applied_text_;
  std::atomic<int32_t> current_channel_{0};
  // Packed bank | preset << 8 | on << 16: generators read it on kind 1.
  std::array<std::atomic<uint32_t>, 16> table_;
  uint8_t status_flag_ = 0;
  int32_t current_patch_ = 0;
  const DataFiles* files_ = nullptr;
  MessageSink* messages_ = nullptr;
};

class Cosc_sf : public Ctl_Soundfont_base {
 public:
  static const SerialClass& Class();
  const SerialClass& GetClass() const override { return Class(); }
  Cosc_sf() : Ctl_Soundfont_base(false) {}
};

class Ctl_SamplePlay2 : public Ctl_Soundfont_base {
 public:
  static const SerialClass& Class();
  const SerialClass& GetClass() const override { return Class(); }
  Ctl_SamplePlay2() : Ctl_Soundfont_base(true) {}
};

// Reads a stored channel text (one group ",bbb ppp o" per channel, then
// ","): a group that is missing or malformed takes bank 0, preset 0 and the
// switch on; one without its switch digit keeps the previous channel's.
// Texts of 127 characters or fewer give the defaults to every channel.
std::array<SoundfontChoice, 16> ParseChannelText(std::string_view text);

// `Ctl_PatchSel`, the "Patch Select" module: document/patch_select.h.

}  // namespace ov
