#include "document/module_classes.h"

#include "modules/module_registry.h"
#include "platform/message_sink.h"

namespace ov {

constinit const SerialClass CUG2::kClass{"CUG2", 1, false, &MakeObject<CUG2>, &CUG::kClass};
constinit const SerialClass kCtl_Keyboard2{"Ctl_Keyboard2", 1, false, &MakeObject<Ctl_Keyboard2>,
                                           &CUG::kClass};
constinit const SerialClass kCtl_SelfDrawing2{"Ctl_SelfDrawing2", 1, false,
                                              &MakeObject<Ctl_SelfDrawing2>, &CUG::kClass};
constinit const SerialClass Ctl_WaveShape::kClass{"Ctl_WaveShape", 1, false,
                                                  &MakeObject<Ctl_WaveShape>, &kCtl_SelfDrawing2};
constinit const SerialClass kCtl_WaveShape2{"Ctl_WaveShape2", 1, false, &MakeObject<Ctl_WaveShape2>,
                                            &Ctl_WaveShape::kClass};
constinit const SerialClass CPlugin::kClass{"CPlugin", 1, false, &MakeObject<CPlugin>,
                                            &CUG::kClass};
constinit const SerialClass CPlugin2::kClass{"CPlugin2", 1, false, &MakeObject<CPlugin2>,
                                             &CPlugin::kClass};
constinit const SerialClass ui_bools_to_enum::kClass{"ui_bools_to_enum", 1, false,
                                                     &MakeObject<ui_bools_to_enum>, &CUG::kClass};

#define OV_PLAIN_MODULE_CLASS(name) \
  constinit const SerialClass k##name { #name, 1, false, &MakeObject < name>, &CUG::kClass }
OV_PLAIN_MODULE_CLASS(CUG_ui);
OV_PLAIN_MODULE_CLASS(CSwitch);
OV_PLAIN_MODULE_CLASS(CControlPlugs);
OV_PLAIN_MODULE_CLASS(CFeedbackDelay);
OV_PLAIN_MODULE_CLASS(CMidiAutomator);
OV_PLAIN_MODULE_CLASS(ui_animation_scaler_db);
OV_PLAIN_MODULE_CLASS(ui_bitmap_frame);
OV_PLAIN_MODULE_CLASS(ui_bool_splitter);
OV_PLAIN_MODULE_CLASS(ui_enum_to_bools);
OV_PLAIN_MODULE_CLASS(ui_float_scaler);
OV_PLAIN_MODULE_CLASS(ui_float_to_bool);
OV_PLAIN_MODULE_CLASS(ui_incrementor);
OV_PLAIN_MODULE_CLASS(ui_incrementor2);
OV_PLAIN_MODULE_CLASS(ui_int_to_list);
OV_PLAIN_MODULE_CLASS(ui_param_enum_in2);
OV_PLAIN_MODULE_CLASS(ui_param_enum_in_B);
OV_PLAIN_MODULE_CLASS(ui_param_float_in2);
OV_PLAIN_MODULE_CLASS(ui_param_float_out2);
OV_PLAIN_MODULE_CLASS(ui_param_float_out_b);
OV_PLAIN_MODULE_CLASS(ui_param_text_in);
OV_PLAIN_MODULE_CLASS(ui_spring);
OV_PLAIN_MODULE_CLASS(ui_system_command);
OV_PLAIN_MODULE_CLASS(ui_text_to_float);
#undef OV_PLAIN_MODULE_CLASS

void CUG2::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  walker.RectField("panel_rect", panel_rect_);
}

void Ctl_WaveShape::Serialize(FieldWalker& walker) {
  if (walker.LoadVersion() < 95271) {
    CUG::Serialize(walker);
  } else {
    CUG2::Serialize(walker);
  }
}

void CPlugin::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  walker.String("plugin_key", plugin_key_);
  if (!walker.Loading()) return;
  if (const Module_Info* type = walker.modules().FindModule(plugin_key_)) {
    ResolveModuleType(type);
    return;
  }
  ResolveModuleType(walker.modules().FindModule("Plugin"));
  if (MessageSink* messages = walker.messages()) {
    messages->Post("Can't load Module. '" + plugin_key_ + "'", MessageStyle::kWarning);
  }
}

void CPlugin::SetUpAsNew(const Module_Info& type) {
  CUG::SetUpAsNew(type);
  plugin_key_ = type.GetId();
}

void CPlugin2::Serialize(FieldWalker& walker) {
  CPlugin::Serialize(walker);
  walker.RectField("panel_rect", panel_rect_);
}

void ui_bools_to_enum::Serialize(FieldWalker& walker) {
  CUG::Serialize(walker);
  if (walker.Loading()) was_loaded_ = true;
}

}  // namespace ov
