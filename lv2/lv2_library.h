// What the wrapper library's two entry points share.
// Thread: any.
#pragma once

#include <string>

namespace ov {

// The URI of the plug-in baked into this library, from the project's
// identity as the bundle's description gives it; empty when the library
// carries no usable project. Read once.
const std::string& BakedPluginUri();

}  // namespace ov
