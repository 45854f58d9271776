// Where a stored plug-in library is looked for: among the library files the
// project carries, then where Linux hosts look for VST 2 plug-ins.
//
// Threads: editor (reads the environment and the disk).
#pragma once

#include <string>
#include <vector>

namespace ov {

// The folders, in order: LXVST_PATH and VST_PATH (colon-separated), then
// ~/.lxvst, ~/.vst, /usr/local/lib/lxvst, /usr/local/lib/vst, /usr/lib/lxvst,
// /usr/lib/vst.
std::vector<std::string> VstSearchFolders();

// The full path of the library named `file_name`: first a path among
// `carried` whose last component equals it ignoring case, then the first
// folder that holds a file of that name. Empty when none does.
std::string FindVstLibrary(const std::string& file_name, const std::vector<std::string>& carried);

}  // namespace ov
