// Every test program draws text with the project's fonts.conf (Debian's
// Liberation fonts only), so pictures compare equal on any machine; a
// caller's own FONTCONFIG_FILE is kept. Programs the tests start inherit it.
#include <cstdlib>

namespace {

const bool kFontsPinned = setenv("FONTCONFIG_FILE", OV_FONTS_CONF, 0) == 0;

}  // namespace
