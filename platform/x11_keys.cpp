#include "platform/x11_keys.h"

#include <X11/keysym.h>

#include "platform/window_port.h"

namespace ov {
namespace {

struct KeyPair {
  unsigned long keysym;
  int32_t key;
};

constexpr KeyPair kKeys[] = {
    {XK_BackSpace, kKeyBack},  {XK_Tab, kKeyTab},         {XK_ISO_Left_Tab, kKeyTab},
    {XK_Return, kKeyReturn},   {XK_KP_Enter, kKeyReturn}, {XK_Shift_L, kKeyShift},
    {XK_Shift_R, kKeyShift},   {XK_Control_L, kKeyControl}, {XK_Control_R, kKeyControl},
    {XK_Alt_L, kKeyAlt},       {XK_Alt_R, kKeyAlt},       {XK_Escape, kKeyEscape},
    {XK_space, kKeySpace},     {XK_Page_Up, kKeyPageUp},  {XK_Page_Down, kKeyPageDown},
    {XK_End, kKeyEnd},         {XK_Home, kKeyHome},       {XK_Left, kKeyLeft},
    {XK_Up, kKeyUp},           {XK_Right, kKeyRight},     {XK_Down, kKeyDown},
    {XK_Insert, kKeyInsert},   {XK_Delete, kKeyDelete},
};

}  // namespace

int32_t VirtualKeyFromKeysym(unsigned long keysym) {
  for (const KeyPair& pair : kKeys) {
    if (pair.keysym == keysym) return pair.key;
  }
  // Letters and digits are their upper-case characters.
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<int32_t>(keysym - XK_a + 'A');
  if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int32_t>(keysym);
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int32_t>(keysym);
  if (keysym >= XK_F1 && keysym <= XK_F12) return static_cast<int32_t>(keysym - XK_F1 + 0x70);
  return 0;
}

}  // namespace ov
