// `orvane snapshot`: a panel drawn without an X server, as a PNG; and the
// in-process plug-in that it and `orvane show` load from a project.
// Thread: the program's main thread.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/pixel_image.h"
#include "platform/vst2.h"
#include "tools/render.h"

namespace ov {

class OvVst;

struct SnapshotCommandLine {
  std::string input_path;  // LIB.so or PROJECT.json
  std::string output_path;
  std::optional<int32_t> program;
  std::vector<ParameterSetting> parameters;
  int32_t scale = 1;
};

std::optional<SnapshotCommandLine> ParseSnapshotArguments(std::span<const std::string> arguments,
                                                          std::string* error);
int RunSnapshotCommand(const SnapshotCommandLine& command, std::ostream& out, std::ostream& err);

// True for a JSON project, which is compiled rather than loaded.
bool IsProjectText(const std::string& path);

// The plug-in object inside this process, loading its project as the
// library does: a JSON project compiled in memory, or the project baked
// into (or beside) the library at `path`. Null after telling `err` why.
std::unique_ptr<OvVst> LoadPluginInProcess(const std::string& path, vst2::HostCallback host,
                                           std::ostream& err, const char* command_name);

// Scales `image` up by a whole factor, each pixel becoming a square.
PixelImage Enlarge(const PixelImage& image, int32_t scale);

}  // namespace ov
