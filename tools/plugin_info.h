// The report of `orvane info`: what a loaded plug-in says about itself.
// Thread: the thread that drives the plug-in.
#pragma once

#include <ostream>

#include "tools/vst_plugin.h"

namespace ov {

void DescribePlugin(const VstPlugin& plugin, std::ostream& out);

}  // namespace ov
