// Value objects: how panel-side plugs, modules and widgets share one value.
// A variable holds a value of type T with metadata M and a list of the
// references attached to it; a reference reads and writes the variable it
// is attached to, and hears when it changes. A reference attached to
// nothing points to the process-wide dummy of its type, which reads as the
// type's default and drops every write, so nothing passes between widgets
// or plug-in instances through it.
//
// How a widget uses them: hold one control_addin per feature (the
// FeatureTypes aliases below), with the widget as its value_owner; answer
// that reference as the feature's output binding (document/features.h);
// whoever builds the panel attaches it to the plug's variable. Read with
// Get(), write with Set(); the widget hears every change, its own writes
// included, through OnControlChanged.
//
// Threads: editor only, like the document. The dummies are never written.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/interface_object.h"

namespace ov {

struct MetaData_none {
  bool operator==(const MetaData_none&) const = default;
};
struct MetaData_float {
  float minimum = 0.0f;
  float maximum = 10.0f;
  bool operator==(const MetaData_float&) const = default;
};
struct MetaData_enum {
  std::string items;  // list syntax
  bool operator==(const MetaData_enum&) const = default;
};
struct MetaData_filename {
  std::string file_type;  // e.g. "bmp"; empty for plain text
  bool operator==(const MetaData_filename&) const = default;
};

// One tag per (T, M): attaching checks that both sides agree on it.
template <typename T, typename M>
const void* ValueTypeTag() {
  static const char tag = 0;
  return &tag;
}

// The plug texts of typed values: float as a decimal number ("%.3f" when
// written), enumerated, integer and bool as base-10 integers (a bool is
// true when nonzero), text as it is.
std::string ValueToText(bool value);
std::string ValueToText(float value);
std::string ValueToText(int16_t value);
std::string ValueToText(int32_t value);
std::string ValueToText(const std::string& value);
void ValueFromText(const std::string& text, bool* value);
void ValueFromText(const std::string& text, float* value);
void ValueFromText(const std::string& text, int16_t* value);
void ValueFromText(const std::string& text, int32_t* value);
void ValueFromText(const std::string& text, std::string* value);

class generic_control;

// Any variable, whatever its type.
class generic_feature {
 public:
  virtual ~generic_feature() = default;
  virtual const void* TypeTag() const = 0;
  virtual std::string ToText() const = 0;
  virtual void SetFromText(const std::string& text) = 0;
};

// Any reference, whatever its type.
class generic_control {
 public:
  virtual ~generic_control() = default;
  // False, leaving the reference on its dummy, when `target` holds
  // another type; on success the reference hears the metadata-changed and
  // the target-changed notifications at once.
  virtual bool Attach(generic_feature& target) = 0;
  // Back to the dummy.
  virtual void Detach() = 0;
  virtual bool Attached() const = 0;
  virtual void TargetChanged() {}
  virtual void MetadataChanged() {}
};

// The module or widget that owns addin variables and references.
class value_owner {
 public:
  virtual void OnVariableChanged(generic_feature& /*variable*/) {}
  virtual void OnControlChanged(generic_control& /*control*/) {}
  virtual void OnControlMetadataChanged(generic_control& /*control*/) {}

 protected:
  ~value_owner() = default;
};

template <typename T, typename M>
class control_std;

// The face every variable shows its references.
template <typename T, typename M>
class variable_base : public generic_feature {
 public:
  ~variable_base() override {
    // References outlived by their variable go back to the dummy.
    const std::vector<control_std<T, M>*> attached = references_;
    for (control_std<T, M>* reference : attached) reference->Detach();
  }
  const void* TypeTag() const final { return ValueTypeTag<T, M>(); }
  std::string ToText() const override { return ValueToText(Get()); }
  void SetFromText(const std::string& text) override {
    T value{};
    ValueFromText(text, &value);
    Set(value);
  }

  virtual const T& Get() const = 0;
  // Setting the value it holds does nothing.
  virtual void Set(const T& value) = 0;
  virtual const M& Metadata() const = 0;
  virtual void SetMetadata(const M& metadata) = 0;

  void AddReference(control_std<T, M>* reference) {
    if (std::find(references_.begin(), references_.end(), reference) == references_.end()) {
      references_.push_back(reference);
    }
  }
  void RemoveReference(control_std<T, M>* reference) { std::erase(references_, reference); }
  std::size_t ReferenceCount() const { return references_.size(); }

  // References may detach themselves while being told.
  void NotifyTargetChanged() {
    const std::vector<control_std<T, M>*> attached = references_;
    for (control_std<T, M>* reference : attached) {
      if (std::find(references_.begin(), references_.end(), reference) != references_.end()) {
        reference->TargetChanged();
      }
    }
  }
  void NotifyMetadataChanged() {
    const std::vector<control_std<T, M>*> attached = references_;
    for (control_std<T, M>* reference : attached) {
      if (std::find(references_.begin(), references_.end(), reference) != references_.end()) {
        reference->MetadataChanged();
      }
    }
  }

 private:
  std::vector<control_std<T, M>*> references_;
};

template <typename T, typename M>
class variable : public variable_base<T, M> {
 public:
  variable() = default;
  explicit variable(T value, M metadata = {})
      : value_(std::move(value)), metadata_(std::move(metadata)) {}
  const T& Get() const override { return value_; }
  void Set(const T& value) override {
    if (value == value_) return;
    value_ = value;
    Changed();
  }
  const M& Metadata() const override { return metadata_; }
  void SetMetadata(const M& metadata) override {
    if (metadata == metadata_) return;
    metadata_ = metadata;
    this->NotifyMetadataChanged();
  }

 protected:
  virtual void Changed() { this->NotifyTargetChanged(); }

 private:
  T value_{};
  M metadata_{};
};

// A variable owned by a module, which hears each change after the
// references.
template <typename T, typename M>
class variable_addin : public variable<T, M> {
 public:
  explicit variable_addin(value_owner* owner, T value = {}, M metadata = {})
      : variable<T, M>(std::move(value), std::move(metadata)), owner_(owner) {}

 protected:
  void Changed() override {
    variable<T, M>::Changed();
    if (owner_ != nullptr) owner_->OnVariableChanged(*this);
  }

 private:
  value_owner* owner_;
};

// What a reference attached to nothing reads: the type's default. Writes
// are dropped, so the one dummy per type carries nothing between widgets.
template <typename T, typename M>
class variable_dummy final : public variable_base<T, M> {
 public:
  static variable_dummy& Instance() {
    static variable_dummy dummy;
    return dummy;
  }
  const T& Get() const override { return value_; }
  void Set(const T&) override {}
  const M& Metadata() const override { return metadata_; }
  void SetMetadata(const M&) override {}

 private:
  variable_dummy() = default;
  const T value_{};
  const M metadata_{};
};

// A reference to one variable of the same T and M.
template <typename T, typename M>
class control_std : public generic_control {
 public:
  control_std() = default;
  control_std(const control_std&) = delete;
  control_std& operator=(const control_std&) = delete;
  ~control_std() override { Detach(); }

  bool Attach(generic_feature& target) override {
    if (target.TypeTag() != ValueTypeTag<T, M>()) {
      Detach();
      return false;
    }
    auto* variable = static_cast<variable_base<T, M>*>(&target);
    if (variable != target_) {
      Detach();
      target_ = variable;
      target_->AddReference(this);
    }
    MetadataChanged();
    TargetChanged();
    return true;
  }
  void Detach() override {
    if (target_ == &variable_dummy<T, M>::Instance()) return;
    target_->RemoveReference(this);
    target_ = &variable_dummy<T, M>::Instance();
  }
  bool Attached() const override { return target_ != &variable_dummy<T, M>::Instance(); }

  const T& Get() const { return target_->Get(); }
  void Set(const T& value) { target_->Set(value); }
  const M& Metadata() const { return target_->Metadata(); }
  void SetMetadata(const M& metadata) { target_->SetMetadata(metadata); }
  variable_base<T, M>& Target() const { return *target_; }

 private:
  variable_base<T, M>* target_ = &variable_dummy<T, M>::Instance();
};

// A reference owned by a module or widget, which hears every change of its
// target, its own writes included.
template <typename T, typename M>
class control_addin : public control_std<T, M> {
 public:
  explicit control_addin(value_owner* owner) : owner_(owner) {}
  void TargetChanged() override {
    if (owner_ != nullptr) owner_->OnControlChanged(*this);
  }
  void MetadataChanged() override {
    if (owner_ != nullptr) owner_->OnControlMetadataChanged(*this);
  }

 private:
  value_owner* owner_;
};

// A variable face and a reference face in one: the variable face stores
// nothing and reads and writes the reference face's target; a change of
// that target reaches the references attached to the variable face (and
// the owner, when there is one).
template <typename T, typename M>
class control_relay {
 public:
  explicit control_relay(value_owner* owner = nullptr)
      : variable_face_(*this), reference_face_(*this), owner_(owner) {}
  control_relay(const control_relay&) = delete;
  control_relay& operator=(const control_relay&) = delete;

  variable_base<T, M>& VariableFace() { return variable_face_; }
  control_std<T, M>& ReferenceFace() { return reference_face_; }

 private:
  class VariableSide final : public variable_base<T, M> {
   public:
    explicit VariableSide(control_relay& relay) : relay_(relay) {}
    const T& Get() const override { return relay_.reference_face_.Get(); }
    void Set(const T& value) override { relay_.reference_face_.Set(value); }
    const M& Metadata() const override { return relay_.reference_face_.Metadata(); }
    void SetMetadata(const M& metadata) override { relay_.reference_face_.SetMetadata(metadata); }

   private:
    control_relay& relay_;
  };
  class ReferenceSide final : public control_std<T, M> {
   public:
    explicit ReferenceSide(control_relay& relay) : relay_(relay) {}
    void TargetChanged() override {
      relay_.variable_face_.NotifyTargetChanged();
      if (relay_.owner_ != nullptr) relay_.owner_->OnControlChanged(*this);
    }
    void MetadataChanged() override {
      relay_.variable_face_.NotifyMetadataChanged();
      if (relay_.owner_ != nullptr) relay_.owner_->OnControlMetadataChanged(*this);
    }

   private:
    control_relay& relay_;
  };

  // Goes last, so that the references attached to it are let go after the
  // reference face has left its target.
  VariableSide variable_face_;
  ReferenceSide reference_face_;
  value_owner* owner_;
};

// The value types a feature of each plug datatype uses.
namespace FeatureTypes {
using List = control_addin<int16_t, MetaData_enum>;
using Text = control_addin<std::string, MetaData_filename>;
using Bool = control_addin<bool, MetaData_none>;
using Float = control_addin<float, MetaData_float>;
using Integer = control_addin<int32_t, MetaData_none>;
}  // namespace FeatureTypes

// A variable_addin of the type a feature of `datatype` uses (list, text,
// bool, float or integer), holding the value `text` gives; null for any
// other datatype.
std::unique_ptr<generic_feature> MakeFeatureVariable(int32_t datatype, value_owner* owner,
                                                     const std::string& text);

}  // namespace ov
