// `orvane info LIB.so --skin NAME`: the skin a plug-in's panel gets for a
// name, with its images (size, frames, how controls use them) and font
// categories. The skins are the project's (baked into the library or in the
// .dat beside it) with the default skin the library carries behind them.
// Thread: the program's main thread.
#pragma once

#include <ostream>
#include <string>

namespace ov {

// 0 when the skin was listed, 1 when the library's project cannot be read.
int RunSkinInfoCommand(const std::string& library_path, const std::string& skin_name,
                       std::ostream& out, std::ostream& err);

}  // namespace ov
