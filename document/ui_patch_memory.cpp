#include "document/ui_patch_memory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "document/container.h"
#include "document/document.h"
#include "document/file_plugs.h"
#include "document/panel_feeds.h"
#include "document/patch_manager.h"
#include "engine/data_files.h"
#include "modules/list_text.h"
#include "platform/file_dialog.h"
#include "platform/message_sink.h"

namespace ov {

constinit const SerialClass kui_param_float_in2{"ui_param_float_in2", 1, false,
                                                &MakeObject<ui_param_float_in2>, &CUG::kClass};
constinit const SerialClass kui_param_enum_in2{"ui_param_enum_in2", 1, false,
                                               &MakeObject<ui_param_enum_in2>, &CUG::kClass};
constinit const SerialClass kui_param_enum_in_B{"ui_param_enum_in_B", 1, false,
                                                &MakeObject<ui_param_enum_in_B>, &CUG::kClass};
constinit const SerialClass kui_param_float_out2{"ui_param_float_out2", 1, false,
                                                 &MakeObject<ui_param_float_out2>, &CUG::kClass};
constinit const SerialClass kui_param_float_out_b{
    "ui_param_float_out_b", 1, false, &MakeObject<ui_param_float_out_b>, &CUG::kClass};
constinit const SerialClass kui_param_text_in{"ui_param_text_in", 1, false,
                                              &MakeObject<ui_param_text_in>, &CUG::kClass};

// --- The common start

float ui_patch_memory::PositionOf(float value, float minimum, float maximum) {
  if (maximum == minimum) return 0.0f;  // no range: no division
  const float position = (value - minimum) / (maximum - minimum);
  if (maximum > minimum && position <= minimum) return minimum;
  if (maximum <= minimum && position >= minimum) return minimum;
  return position;
}

PatchParameter* ui_patch_memory::Parameter() const {
  const CPlug2* plug = FindPlug(StoredPlugName());
  return plug != nullptr ? ParameterOf(*plug) : nullptr;
}

void ui_patch_memory::SetRange(FloatVariable& value, float minimum, float maximum) {
  value.SetMetadata({minimum, maximum});
  if (PatchParameter* parameter = Parameter()) parameter->set_range({minimum, maximum});
}

void ui_patch_memory::Initialise(bool) {
  PatchParameter* parameter = Parameter();
  if (parameter == nullptr) return;
  // A name the project gives wins; else the plug shows the parameter's.
  if (!name_.Get().empty()) {
    parameter->set_name(name_.Get());
  } else {
    name_.Set(parameter->name());
  }
}

void ui_patch_memory::VariableChanged(generic_feature& variable) {
  if (&variable != &name_ || name_.Get().empty()) return;
  if (PatchParameter* parameter = Parameter()) parameter->set_name(name_.Get());
}

namespace {

// Min Value and Max Value start at 0 and 10.
void StartRange(CUG& module) {
  if (CPlug2* minimum = module.FindPlug("Min Value")) minimum->SetValueText("0");
  if (CPlug2* maximum = module.FindPlug("Max Value")) maximum->SetValueText("10");
}

}  // namespace

// --- PatchMemFloatIn

void ui_param_float_in2::SetUpAsNew(const Module_Info& type) {
  ui_patch_memory::SetUpAsNew(type);
  StartRange(*this);
}

ui_param_float_in2::ui_param_float_in2() {
  Bind(0, name_);
  Bind(1, value_);
  Bind(2, position_);
  Bind(3, minimum_);
  Bind(4, maximum_);
}

void ui_param_float_in2::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  SetRange(value_, minimum_.Get(), maximum_.Get());
  guard_ = true;
  position_.Set(PositionOf(value_.Get(), minimum_.Get(), maximum_.Get()));
  guard_ = false;
}

void ui_param_float_in2::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable == &name_) return;
  guard_ = true;
  if (&variable == &value_) {
    position_.Set(PositionOf(value_.Get(), minimum_.Get(), maximum_.Get()));
  } else {
    if (&variable != &position_) SetRange(value_, minimum_.Get(), maximum_.Get());
    value_.Set(minimum_.Get() + position_.Get() * (maximum_.Get() - minimum_.Get()));
  }
  guard_ = false;
}

// --- PatchMemListIn2

ui_param_enum_in2::ui_param_enum_in2() {
  Bind(0, name_);
  Bind(1, value_);
}

std::optional<std::string> ui_param_enum_in2::PlugItemList(const CPlug2& plug) const {
  if (plug.index() != 1) return std::nullopt;
  const CPlug2* list_out = FindPlug("List Out");
  const CPlug2* fed = list_out != nullptr ? list_out->FirstConnectedPlug() : nullptr;
  return fed != nullptr ? std::optional<std::string>(fed->ItemList()) : std::nullopt;
}

void ui_param_enum_in2::FollowItems() {
  if (const CPlug2* value = FindPlug("Value")) value_.SetMetadata({value->ItemList()});
}

ui_param_enum_in2::~ui_param_enum_in2() {
  if (fed_ != nullptr) fed_->RemoveListener(this);
}

void ui_param_enum_in2::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  FollowItems();
  FollowFedInput();
}

void ui_param_enum_in2::OnConnectionsChanged(CPlug2& plug, bool made) {
  ui_patch_memory::OnConnectionsChanged(plug, made);
  if (plug.index() != 2) return;
  FollowItems();
  FollowFedInput();
  // A new connection keeps the choice the input already shows.
  if (made && started()) TakeFedChoice();
}

void ui_param_enum_in2::FollowFedInput() {
  const CPlug2* list_out = FindPlug("List Out");
  CPlug2* fed = list_out != nullptr ? list_out->FirstConnectedPlug() : nullptr;
  if (fed == fed_) return;
  if (fed_ != nullptr) fed_->RemoveListener(this);
  fed_ = fed;
  if (fed_ != nullptr) fed_->AddListener(this);
}

void ui_param_enum_in2::OnNotify(const Notification& notification) {
  if (notification.subject != fed_ || fed_ == nullptr) return;
  if (notification.code == kNotifyPlugDestroyed) {
    fed_ = nullptr;
    return;
  }
  if (notification.code == kNotifyValueChanged) TakeFedChoice();
}

void ui_param_enum_in2::TakeFedChoice() {
  if (fed_ == nullptr) return;
  const int32_t item = ParseLeadingInteger(fed_->ValueText());
  value_.Set(static_cast<int16_t>(std::clamp<int32_t>(item, INT16_MIN, INT16_MAX)));
}

// --- PatchMemListIn_B

ui_param_enum_in_B::ui_param_enum_in_B() {
  Bind(0, name_);
  Bind(1, relay_.VariableFace());
  Bind(2, relay_.ReferenceFace());
}

// --- PatchMemFloatOut

void ui_param_float_out2::SetUpAsNew(const Module_Info& type) {
  ui_patch_memory::SetUpAsNew(type);
  StartRange(*this);
}

ui_param_float_out2::ui_param_float_out2() {
  Bind(0, name_);
  Bind(1, value_);
  Bind(4, position_);
  Bind(5, minimum_);
  Bind(6, maximum_);
}

void ui_param_float_out2::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  SetRange(value_, minimum_.Get(), maximum_.Get());
  VariableChanged(value_);
}

void ui_param_float_out2::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable != &value_ && &variable != &minimum_ && &variable != &maximum_) return;
  position_.Set(PositionOf(value_.Get(), minimum_.Get(), maximum_.Get()));
}

// --- PatchMemFloatOutB

ui_param_float_out_b::ui_param_float_out_b() {
  Bind(0, name_);
  Bind(1, out_);
  Bind(4, v_);
}

void ui_param_float_out_b::Initialise(bool loaded) {
  ui_patch_memory::Initialise(loaded);
  SetRange(v_, 0.0f, 10.0f);
}

void ui_param_float_out_b::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable == &v_) out_.Set(v_.Get());
}

// --- Patch Mem - Text in

ui_param_text_in::ui_param_text_in() {
  Bind(0, value_);
  Bind(2, file_dialog_);
  Bind(3, name_);
}

std::string ui_param_text_in::NameInFolder(const std::string& path, const std::string& folder) {
  namespace fs = std::filesystem;
  if (folder.empty()) return path;
  const fs::path chosen = fs::path(path).lexically_normal();
  const fs::path base = fs::path(folder).lexically_normal();
  if (!chosen.is_absolute() || !base.is_absolute()) return path;
  // Compared by components, so "/data/lib" does not hold "/data/library".
  const fs::path inside = chosen.lexically_relative(base);
  if (inside.empty() || inside == "." || *inside.begin() == "..") return path;
  return inside.generic_string();
}

void ui_param_text_in::VariableChanged(generic_feature& variable) {
  ui_patch_memory::VariableChanged(variable);
  if (&variable != &file_dialog_) return;
  // The end of a press asks.
  if (last_file_dialog_ && !file_dialog_.Get()) Ask();
  last_file_dialog_ = file_dialog_.Get();
}

void ui_param_text_in::Tell(const FileAsking& asking, const std::string& why) const {
  const std::string text = title() + ": " + why;
  if (asking.messages != nullptr) {
    asking.messages->Post(text, MessageStyle::kInformation);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

void ui_param_text_in::Ask() {
  const COrvaneDocBase* document = GetDocument();
  const FileAsking asking = document != nullptr ? document->file_asking() : FileAsking{};
  if (asking.dialog == nullptr) {
    Tell(asking, "no file dialog can be shown without the plug-in's editor");
    return;
  }
  FileDialogRequest request;
  // The type of the input Text Out feeds, when it takes files.
  if (const CPlug2* text_out = FindPlug("Text Out")) {
    bool found = false;
    ForEachPlugReached(*text_out, [&](CPlug2& fed) {
      if (found) return;
      found = true;
      if (const std::string type = FileTypeOf(fed); !type.empty()) request.types = {type};
    });
  }
  request.start = asking.files != nullptr && !value_.Get().empty()
                      ? asking.files->ResolveFilePath(value_.Get(), "")
                      : value_.Get();
  // Answered from a later idle. The dialog and the data folder are looked
  // up again then: either may have changed while the user chose.
  const std::weak_ptr<bool> alive = alive_;
  const bool asked = asking.dialog->Ask(request, [this, alive](const FileDialogAnswer& answer) {
    if (alive.expired() || !answer.chosen) return;  // gone, or cancelled: the value stays
    const COrvaneDocBase* now = GetDocument();
    const DataFiles* files = now != nullptr ? now->file_asking().files : nullptr;
    value_.Set(files != nullptr ? NameInFolder(answer.path, files->LibraryFolder())
                                : answer.path);
  });
  if (!asked) Tell(asking, "another file dialog is open; answer it first");
}

}  // namespace ov
