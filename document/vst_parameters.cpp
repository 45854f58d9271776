#include "document/vst_parameters.h"

#include <algorithm>
#include <cmath>

#include "document/vst_plugin_module.h"
#include "engine/interface_object.h"
#include "platform/text.h"

namespace ov {
namespace {

std::string ListSafe(std::string name) {
  std::replace(name.begin(), name.end(), ',', ' ');
  std::replace(name.begin(), name.end(), '=', ' ');
  return name;
}

}  // namespace

parameter_vst::~parameter_vst() { watchers_.Notify(Notification(kNotifyPlugDestroyed, this)); }

std::string parameter_vst::Name() const { return owner_.wrapper().ParameterName(index_); }
int32_t parameter_vst::Datatype() const { return kVstParameterDatatype; }

bool parameter_vst::Automatable() const {
  return owner_.wrapper().Dispatch(vst2::effCanBeAutomated, index_) == 1;
}

std::string parameter_vst::Label() const { return owner_.wrapper().ParameterLabel(index_); }
std::string parameter_vst::ValueText() const { return owner_.wrapper().ParameterDisplay(index_); }

void parameter_vst::WriteValueText(const std::string& text) {
  const std::optional<double> value = ParseDouble(text);
  if (!value) return;
  SetNormalised(static_cast<float>(*value));
}

float parameter_vst::GetNormalised() const { return owner_.wrapper().GetParameter(index_); }

void parameter_vst::SetNormalised(float x) {
  // Plug-ins take values within 0..1 only.
  const float value = std::isfinite(x) ? std::clamp(x, 0.0f, 1.0f) : 0.0f;
  owner_.wrapper().SetParameter(index_, value);
  Changed();
}

std::string parameter_vst::TextForNormalised(float /*x*/) const { return ValueText(); }

std::string parameter_vst::NumericText() const { return FormatFixed(GetNormalised(), 6); }

parameter_vst_xtra::~parameter_vst_xtra() {
  watchers_.Notify(Notification(kNotifyPlugDestroyed, this));
}

std::string parameter_vst_xtra::Name() const {
  return kind_ == kProgram ? "Program" : "Program Name";
}

int32_t parameter_vst_xtra::Datatype() const { return DT_TEXT; }

std::string parameter_vst_xtra::ValueText() const {
  const VST_Wrapper& plugin = owner_.wrapper();
  if (!plugin.Loaded()) return kind_ == kProgram ? "0" : "";
  if (kind_ == kProgram) return std::to_string(plugin.Program());
  return plugin.ProgramName();
}

void parameter_vst_xtra::WriteValueText(const std::string& text) {
  VST_Wrapper& plugin = owner_.wrapper();
  if (!plugin.Loaded()) return;
  if (kind_ == kProgram) {
    const std::optional<long long> program = ParseInteger(text);
    if (!program || *program < 0 || *program >= plugin.ProgramCount()) return;
    owner_.SelectProgram(static_cast<int32_t>(*program));
    return;
  }
  plugin.SetProgramName(text);
  owner_.ProgramsChanged();
}

std::string parameter_vst_xtra::ItemList() const {
  if (kind_ == kProgram) return {};
  std::string list;
  const std::vector<std::string>& names = owner_.wrapper().ProgramNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += ',';
    list += ListSafe(names[i]);
    if (i == 0) list += "=0";
  }
  return list;
}

}  // namespace ov
