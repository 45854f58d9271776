// The common ground of the modules that compute on the panel side: each
// binds its plugs to value objects of its own - an input to a variable, an
// output to a reference that is attached to the variable at the other end of
// the plug's first connection, so that both modules share one value - and
// runs its rules when they change.
//
// A bound variable and its plug's value are kept in step: a change of the
// variable is written to the plug (through its patch parameter when it keeps
// per-patch values, so the engine and the host hear of it), and a value
// written to the plug (a patch change, the host, a project) reaches the
// variable.
//
// Modules described by features make their plugs themselves: one feature
// plug per feature when created new, and "Spare" plugs (auto-duplicating,
// taking the far end's name) where they offer them.
//
// Threads: editor only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "document/module.h"
#include "document/plug_kinds.h"
#include "document/same_fields.h"
#include "document/value_objects.h"

namespace ov {

// One panel-side feature: the plug a feature-described module makes for it.
struct HelperFeature {
  const char* name;
  int32_t direction;  // DR_IN: bound to a variable; DR_OUT: to a reference
  int32_t datatype;   // 0 list, 1 text, 4 bool, 6 float, 8 integer
  const char* default_text = "0";
  const char* item_list = "";
  int32_t flags = 0;  // beyond the panel-side flag every feature plug has
};

class ui_module : public CUG, protected value_owner {
 public:
  generic_feature* PlugVariable(const CPlug2& plug) override;
  void SetUpAsNew(const Module_Info& type) override;
  void InitialiseAfterLoad(bool loaded) override;
  void OnPlugValueChanged(CPlug2& plug) override;
  void OnConnectionsChanged(CPlug2& plug, bool made) override;
  // What was made for a grown plug goes with it.
  void OnPlugRemoved(const CPlug2* gone) override;
  // A feature-described module adds a feature plug (a fresh spare).
  CPlug2* AddPlug(int16_t index) override;

 protected:
  struct Binding {
    generic_feature* variable = nullptr;
    generic_control* reference = nullptr;
  };
  // Each module fills its table of bindings once, in its constructor: the
  // value object of the plug whose key (BindingKey) is `key`.
  void Bind(int32_t key, generic_feature& variable);
  void Bind(int32_t key, generic_control& reference);
  // Plugs keyed `first` and above, however many the module grows (spares,
  // one input per item), each get a `Value` of their own when first seen.
  template <class Value>
  void BindEachFrom(int32_t first);
  // The value object `plug` is bound to (none for engine plugs).
  Binding BindingOf(const CPlug2& plug);
  // What a plug is looked up by: its plug index, for modules with a plug
  // table.
  virtual int32_t BindingKey(const CPlug2& plug) const { return plug.index(); }
  // Feature-described modules: the fixed features, then the spare, if any.
  virtual std::span<const HelperFeature> Features() const { return {}; }
  virtual const HelperFeature* SpareFeature() const { return nullptr; }
  // The feature of index `index`: a fixed one, else the spare; null past
  // the features of a module without spares.
  virtual const HelperFeature* FeatureAt(int32_t index) const;
  // The module's own start: after the plugs are described and the
  // variables hold the plug values. `loaded` false for a module created new.
  virtual void Initialise(bool /*loaded*/) {}
  // The two notifications, after the plug has been brought in step.
  virtual void VariableChanged(generic_feature& /*variable*/) {}
  virtual void ControlChanged(generic_control& /*reference*/) {}

  // Describes the feature plugs and fills the variables from the plugs;
  // once.
  void Prepare();
  // Lists on plugs with automatic items (flag 0x800) take the items of
  // what the plug is connected to.
  void RefreshAutomaticLists();
  // Attaches each output's reference to what its plug feeds.
  void AttachReferences();
  void AttachReference(CPlug2& plug);
  CPlug2* PlugOf(const generic_control& reference) const;
  CPlug2* PlugOf(const generic_feature& variable) const;
  // Adds a feature plug for `feature` at feature index `index`.
  CPlugFeature* AddFeaturePlug(const HelperFeature& feature, int32_t index);
  // The feature index of a feature plug, -1 for other plugs.
  static int32_t FeatureIndex(const CPlug2& plug);
  // Feature plugs whose index is `first` or above, in plug order.
  std::vector<CPlugFeature*> FeaturePlugsFrom(int32_t first) const;
  // Tells the container the module's plugs changed (code 14).
  void PlugsChanged();

  // What value objects made on the fly are told through.
  value_owner* Owner() { return this; }

  // Initialised: the module's rules run from here on.
  bool started() const { return started_; }

  // Set while the module writes a value that would notify it back.
  bool guard_ = false;

 private:
  void OnVariableChanged(generic_feature& variable) final;
  void OnControlChanged(generic_control& reference) final;
  void OnControlMetadataChanged(generic_control& reference) final;
  void Describe(CPlugFeature& plug);
  void StoreInPlug(CPlug2& plug, generic_feature& variable);
  void LoadFromPlug(CPlug2& plug, generic_feature& variable);

  // The value objects made for grown plugs.
  struct Grown {
    std::unique_ptr<generic_feature> variable;
    std::unique_ptr<generic_control> reference;
  };
  using GrowValue = Grown (*)(value_owner* owner);
  Binding& BindingSlot(int32_t key);

  std::vector<Binding> bindings_;
  int32_t grown_from_ = INT32_MAX;
  GrowValue grow_ = nullptr;
  std::map<const CPlug2*, Grown> grown_;
  bool prepared_ = false;
  bool started_ = false;  // initialised: the rules run from here on
  const generic_feature* loading_ = nullptr;  // being set from its plug
  const CPlug2* storing_ = nullptr;           // being set from its variable
};

template <class Value>
void ui_module::BindEachFrom(int32_t first) {
  grown_from_ = first;
  grow_ = [](value_owner* owner) {
    Grown made;
    if constexpr (std::is_base_of_v<generic_feature, Value>) {
      made.variable = std::make_unique<Value>(owner);
    } else {
      made.reference = std::make_unique<Value>(owner);
    }
    return made;
  };
}

// `CUG_ui`: the base of the feature-described helper modules; it stores
// nothing of its own.
extern const SerialClass kCUG_ui;
class CUG_ui : public ui_module {
 public:
  static constexpr const SerialClass& kClass = kCUG_ui;
  const SerialClass& GetClass() const override { return kCUG_ui; }

 protected:
  // Bound by feature index; other plugs are bound to nothing.
  int32_t BindingKey(const CPlug2& plug) const override { return FeatureIndex(plug); }
};

// The value types of the helpers' variables and references.
using BoolVariable = variable_addin<bool, MetaData_none>;
using FloatVariable = variable_addin<float, MetaData_float>;
using IntVariable = variable_addin<int32_t, MetaData_none>;
using ListVariable = variable_addin<int16_t, MetaData_enum>;
using TextVariable = variable_addin<std::string, MetaData_filename>;
using BoolReference = control_addin<bool, MetaData_none>;
using FloatReference = control_addin<float, MetaData_float>;
using IntReference = control_addin<int32_t, MetaData_none>;
using ListReference = control_addin<int16_t, MetaData_enum>;
using TextReference = control_addin<std::string, MetaData_filename>;

}  // namespace ov
