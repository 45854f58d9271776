// The features of the panel faces that control_ob modules show, by face
// kind, in feature index order. The module makes one feature plug per
// feature from these lists; the faces describe their features with the
// same names and types.
//
// Threads: any (constant tables).
#pragma once

#include <cstdint>
#include <span>

namespace ov {

// The kind codes of the faces: 1 "CMyButton", 2 tinted image, 3 joystick
// image, 4 styled text, 5 list entry. The plain image has no code of its
// own; it is kBitmapFace here and only here.
enum ControlFaceKind : int32_t {
  kNoFace = 0,
  kButtonFace = 1,
  kTintedFace = 2,
  kJoystickFace = 3,
  kTextFace = 4,
  kListFace = 5,
  kBitmapFace = 100,
};

struct FaceFeature {
  const char* name;
  int32_t datatype;       // plug datatype codes
  const char* file_type;  // text features naming files; "" otherwise
  const char* item_list;  // list features with a fixed list; "" otherwise
};

// Empty for kNoFace and unknown kinds.
std::span<const FaceFeature> FaceFeatures(int32_t kind);

}  // namespace ov
