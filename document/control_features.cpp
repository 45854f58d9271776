#include "document/control_features.h"

#include "engine/interface_object.h"

namespace ov {
namespace {

constexpr FaceFeature kBitmap[] = {{"Animation Position", DT_FLOAT, "", ""},
                                   {"Filename", DT_TEXT, "bmp", ""},
                                   {"Mouse Down", DT_BOOL, "", ""},
                                   {"Frame Count", DT_INT, "", ""}};
constexpr FaceFeature kJoystick[] = {{"Animation Position", DT_FLOAT, "", ""},
                                     {"Position X", DT_FLOAT, "", ""},
                                     {"Position Y", DT_FLOAT, "", ""},
                                     {"Filename", DT_TEXT, "bmp", ""},
                                     {"Mouse Down", DT_BOOL, "", ""}};
constexpr FaceFeature kTinted[] = {{"Animation Position", DT_FLOAT, "", ""},
                                   {"Filename", DT_TEXT, "bmp", ""},
                                   {"Hue", DT_FLOAT, "", ""},
                                   {"Saturation", DT_FLOAT, "", ""},
                                   {"Brightness", DT_FLOAT, "", ""},
                                   {"Mouse Down", DT_BOOL, "", ""}};
constexpr FaceFeature kButton[] = {{"Position", DT_FLOAT, "", ""}};
// "Style" lists the skin's text styles, known only to the panel.
constexpr FaceFeature kText[] = {{"Text", DT_TEXT, "", ""},
                                 {"Style", DT_ENUM, "", ""},
                                 {"Mode", DT_ENUM, "", "Normal,Read-Only"},
                                 {"Multiline", DT_BOOL, "", ""}};
constexpr FaceFeature kList[] = {{"List", DT_ENUM, "", ""}, {"Style", DT_ENUM, "", ""}};

}  // namespace

std::span<const FaceFeature> FaceFeatures(int32_t kind) {
  switch (kind) {
    case kButtonFace:
      return kButton;
    case kTintedFace:
      return kTinted;
    case kJoystickFace:
      return kJoystick;
    case kTextFace:
      return kText;
    case kListFace:
      return kList;
    case kBitmapFace:
      return kBitmap;
    default:
      return {};
  }
}

}  // namespace ov
