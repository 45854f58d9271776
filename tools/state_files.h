// Saving and restoring a plug-in's state as bank (.fxb) and program (.fxp)
// files, the way a host does: through the plug-in's state chunks.
// Thread: the thread that drives the plug-in.
#pragma once

#include <string>

namespace ov {

class VstPlugin;

// A path ending in ".fxp" saves the current program, any other a bank
// (".fxb" expected). Plug-ins without state chunks cannot be saved.
bool SaveStateFile(VstPlugin& plugin, const std::string& path, std::string* error);

// The file's own header says whether it holds a bank or a program. A file of
// another plug-in, a short file or a chunk size beyond the file is refused and
// the plug-in is left as it was.
bool LoadStateFile(VstPlugin& plugin, const std::string& path, std::string* error);

}  // namespace ov
