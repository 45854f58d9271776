// The registry of every class that a project stream may hold.
#include "document/connection.h"
#include "document/container.h"
#include "document/control.h"
#include "document/embedded_file.h"
#include "document/envelope_shape.h"
#include "document/legacy_objects.h"
#include "document/level_out.h"
#include "document/module_classes.h"
#include "document/panel_objects.h"
#include "document/patch_manager.h"
#include "document/patch_select.h"
#include "document/plug_kinds.h"
#include "document/sequencer.h"
#include "document/ui_converters.h"
#include "document/ui_patch_memory.h"
#include "document/ui_system_command.h"
#include "document/skins.h"
#include "document/vst_plugin_module.h"

namespace ov {

const SerialClassRegistry& StreamClasses() {
  static const SerialClassRegistry registry = [] {
    SerialClassRegistry classes;
    for (const SerialClass* serial_class :
         {// Core document classes.
          &CDocOb::kClass, &CUG::kClass, &CUG_with_patches::kClass, &CContainer::kClass,
          &CPlug2::kClass, &CPlugNameable::kClass, &CPlugIO2::kClass, &CPlugControled::kClass,
          &CPlugGui::kClass, &CPlugFeature::kClass, &CPlugFeature2::kClass, &CPlugFeature3::kClass,
          &CPlugFeature4::kClass, &CLine2::kClass, &imbedded_file::kClass, &CPatchManager::kClass,
          // Further module classes.
          &CUG2::kClass, &kCUG_ui, &kCSwitch, &kCControlPlugs, &kCFeedbackDelay, &kCMidiAutomator,
          &CPlugin::kClass, &CPlugin2::kClass, &CControl::kClass, &kCosc_sf, &Ctl_Combo::kClass,
          &Ctl_Env_Edit::kClass, &kCtl_FreqAn, &kCtl_FreqResp, &kCtl_Keyboard, &kCtl_Keyboard2, &kCtl_LED,
          &Ctl_PatchSel::kClass, &kCtl_PeakMeter, &kCtl_PushButton, &kCtl_SamplePlay2,
          &kCtl_SelfDrawing, &kCtl_SelfDrawing2, &Ctl_Slider::kClass, &kCtl_Soundfont_base,
          &Ctl_Text::kClass, &kCtl_tty, &kCtl_VoltMeter, &Ctl_VST_Plugin::kClass,
          &Ctl_WaveShape::kClass, &kCtl_WaveShape2, &CDrumSeq::kClass, &CPattSeq::kClass,
          &CStepSeq::kClass, &CStepSeq2::kClass, &kui_animation_scaler_db, &kui_bitmap_frame,
          &kui_bool_splitter, &ui_bools_to_enum::kClass, &kui_control2, &kui_enum_to_bools,
          &kui_float_scaler, &kui_float_to_bool, &kui_incrementor, &kui_incrementor2,
          &kui_int_to_list, &kui_param_enum_in2, &kui_param_enum_in_B, &kui_param_float_in2,
          &kui_param_float_out, &kui_param_float_out2, &kui_param_float_out_b, &kui_param_text_in,
          &kui_spring, &kui_system_command, &kui_text_to_float,
          // Panel objects.
          &CPanelBox2::kClass, &CPortal::kClass, &CTabBox::kClass, &control_ob_base::kClass,
          &control_ob::kClass, &control_group_ob::kClass, &kcontrol_ob_bitmap,
          &kcontrol_ob_bitmap_joystick, &kcontrol_ob_bitmap_tinted, &kcontrol_ob_list,
          &kcontrol_ob_text,
          // Skin records.
          &SkinInfo::kClass, &SkinFontInfo::kClass, &CSkinBitmap::kClass, &CAnimBitmap::kClass,
          // Classes of very old streams, converted on reading.
          &CGraphicObject::kClass, &CLine::kClass, &CPanelBox::kClass}) {
      classes.Register(*serial_class);
    }
    return classes;
  }();
  return registry;
}

}  // namespace ov
