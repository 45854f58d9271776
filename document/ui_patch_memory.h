// The document halves of the patch-memory modules: values kept once per
// patch by a patch parameter (which the host sees and automates), shared
// with panel controls through panel-side plugs. Each binds its "Name" plug
// to the parameter's name, and keeps the value's range with Min and Max.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "document/notifier.h"
#include "document/ui_module.h"

namespace ov {

class PatchParameter;
struct FileAsking;

extern const SerialClass kui_param_float_in2;
extern const SerialClass kui_param_enum_in2;
extern const SerialClass kui_param_enum_in_B;
extern const SerialClass kui_param_float_out2;
extern const SerialClass kui_param_float_out_b;
extern const SerialClass kui_param_text_in;

// The common start: the parameter of the patch-stored plug, and the Name
// plug following its name.
class ui_patch_memory : public ui_module {
 public:
  // (value - min) / (max - min), bounded against min itself as the
  // meters' positions are; 0 when min equals max.
  static float PositionOf(float value, float minimum, float maximum);

 protected:
  // The plug whose values the parameter keeps.
  virtual const char* StoredPlugName() const { return "Value"; }
  PatchParameter* Parameter() const;
  // `value`'s range, and with it the host's normalised view of the value.
  void SetRange(FloatVariable& value, float minimum, float maximum);
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;

  TextVariable name_{this};
};

// "PatchMemFloatIn": a number between Min Value and Max Value, shown as an
// animation position.
class ui_param_float_in2 : public ui_patch_memory {
 public:
  static constexpr const SerialClass& kClass = kui_param_float_in2;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_float_in2();
  void SetUpAsNew(const Module_Info& type) override;

 protected:
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;

 private:
  FloatVariable value_{this};
  FloatVariable position_{this};
  FloatVariable minimum_{this};
  FloatVariable maximum_{this, 10.0f};
};

// "PatchMemListIn2": a list choice; its items are those of the input
// "List Out" feeds.
// The choice that input shows when it is connected, and any value text
// written to it later (its properties, a patch of its own), becomes the
// stored choice.
class ui_param_enum_in2 : public ui_patch_memory, private Notifiable {
 public:
  static constexpr const SerialClass& kClass = kui_param_enum_in2;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_enum_in2();
  ~ui_param_enum_in2() override;
  std::optional<std::string> PlugItemList(const CPlug2& plug) const override;
  void OnConnectionsChanged(CPlug2& plug, bool made) override;

 protected:
  void Initialise(bool loaded) override;

 private:
  void FollowItems();
  // Listens to the input List Out feeds now, and to no other.
  void FollowFedInput();
  // Value := the choice in the fed input's value text.
  void TakeFedChoice();
  void OnNotify(const Notification& notification) override;

  ListVariable value_{this};
  CPlug2* fed_ = nullptr;  // listened to; forgotten when it goes
};

// "PatchMemListIn_B": Value and List Out are one list: the parameter reads
// and writes what List Out feeds.
class ui_param_enum_in_B : public ui_patch_memory {
 public:
  static constexpr const SerialClass& kClass = kui_param_enum_in_B;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_enum_in_B();

 private:
  control_relay<int16_t, MetaData_enum> relay_{this};
};

// "PatchMemFloatOut": a value from the engine shown as an animation
// position.
class ui_param_float_out2 : public ui_patch_memory {
 public:
  static constexpr const SerialClass& kClass = kui_param_float_out2;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_float_out2();
  void SetUpAsNew(const Module_Info& type) override;

 protected:
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;

 private:
  FloatVariable value_{this};
  FloatVariable position_{this};
  FloatVariable minimum_{this};
  FloatVariable maximum_{this, 10.0f};
};

// "PatchMemFloatOutB": a value from the engine handed on to Value Out.
class ui_param_float_out_b : public ui_patch_memory {
 public:
  static constexpr const SerialClass& kClass = kui_param_float_out_b;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_float_out_b();

 protected:
  const char* StoredPlugName() const override { return "V"; }
  void Initialise(bool loaded) override;
  void VariableChanged(generic_feature& variable) override;

 private:
  FloatReference out_{this};
  FloatVariable v_{this};
};

// "Patch Mem - Text in": a text kept per patch (a file name, usually).
// Releasing "File Dialog" asks, through the document's file dialog, for a
// file of the type the input that Text Out feeds takes; a name inside the
// data folder is kept relative to it, so the project still finds it when
// the folder moves. Without a dialog the user is told why nothing opened.
class ui_param_text_in : public ui_patch_memory {
 public:
  static constexpr const SerialClass& kClass = kui_param_text_in;
  const SerialClass& GetClass() const override { return kClass; }
  ui_param_text_in();
  // `path` relative to `folder` when it lies inside it, else as it is.
  static std::string NameInFolder(const std::string& path, const std::string& folder);

 protected:
  void VariableChanged(generic_feature& variable) override;

 private:
  void Ask();
  void Tell(const FileAsking& asking, const std::string& why) const;

  TextVariable value_{this};
  BoolVariable file_dialog_{this};
  bool last_file_dialog_ = false;
  // An answer that comes after the module has gone finds this expired.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ov
