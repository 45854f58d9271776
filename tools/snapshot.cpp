#include "tools/snapshot.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "document/container.h"
#include "document/document.h"
#include "host/document_project.h"
#include "host/ov_vst.h"
#include "platform/message_sink.h"
#include "platform/offscreen_window.h"
#include "platform/png_codec.h"
#include "platform/text.h"
#include "tools/arguments.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

constexpr const char* kName = "orvane snapshot";
constexpr int32_t kMaxScale = 8;

intptr_t QuietHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

}  // namespace

bool IsProjectText(const std::string& path) {
  return path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0;
}

std::unique_ptr<OvVst> LoadPluginInProcess(const std::string& path, vst2::HostCallback host,
                                           std::ostream& err, const char* command_name) {
  std::unique_ptr<ProjectSource> source;
  if (IsProjectText(path)) {
    std::vector<uint8_t> stream;
    if (!CompileProjectFile(path, command_name, err, &stream)) return nullptr;
    source = std::make_unique<StreamProject>(std::move(stream), path);
  } else {
    source = std::make_unique<DocumentProject>(path);
  }
  auto plugin = std::make_unique<OvVst>(host, *source);
  if (plugin->LoadFailed()) {
    err << command_name << ": " << path << " could not be loaded\n";
    return nullptr;
  }
  return plugin;
}

PixelImage Enlarge(const PixelImage& image, int32_t scale) {
  PixelImage large(image.Width() * scale, image.Height() * scale);
  for (int32_t y = 0; y < large.Height(); ++y) {
    for (int32_t x = 0; x < large.Width(); ++x) large.Row(y)[x] = image.At(x / scale, y / scale);
  }
  return large;
}

std::optional<SnapshotCommandLine> ParseSnapshotArguments(std::span<const std::string> arguments,
                                                          std::string* error) {
  SnapshotCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || argument[0] != '-') {
      if (!line.input_path.empty()) {
        *error = "one project or library only";
        return std::nullopt;
      }
      line.input_path = argument;
      continue;
    }
    constexpr std::string_view kValueOptions[] = {"-o", "--program", "--param", "--scale"};
    if (std::find(std::begin(kValueOptions), std::end(kValueOptions), argument) ==
        std::end(kValueOptions)) {
      *error = "unexpected argument '" + argument + "'";
      return std::nullopt;
    }
    if (i + 1 == arguments.size()) {
      *error = argument + " needs a value";
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    if (argument == "-o") {
      line.output_path = value;
    } else if (argument == "--program") {
      const std::optional<long long> program = ParseInteger(value);
      if (!program || *program < 0 || *program > 127) {
        *error = "--program takes 0 to 127";
        return std::nullopt;
      }
      line.program = static_cast<int32_t>(*program);
    } else if (argument == "--param") {
      const std::optional<ParameterSetting> parameter = ParseParameter(value);
      if (!parameter) {
        *error = "--param takes INDEX=VALUE with VALUE from 0 to 1";
        return std::nullopt;
      }
      line.parameters.push_back(*parameter);
    } else if (argument == "--scale") {
      const std::optional<long long> scale = ParseInteger(value);
      if (!scale || *scale < 1 || *scale > kMaxScale) {
        *error = "--scale takes 1 to 8";
        return std::nullopt;
      }
      line.scale = static_cast<int32_t>(*scale);
    }
  }
  if (line.input_path.empty() || line.output_path.empty()) {
    *error = "needs a project or library and -o OUT.png";
    return std::nullopt;
  }
  return line;
}

int RunSnapshotCommand(const SnapshotCommandLine& command, std::ostream& out, std::ostream& err) {
  std::unique_ptr<OvVst> plugin = LoadPluginInProcess(command.input_path, &QuietHost, err, kName);
  if (plugin == nullptr) return 1;
  vst2::AEffect* effect = plugin->getAeffect();
  const auto dispatch = [&](int32_t opcode, int32_t index, intptr_t value, void* ptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  };
  ov_vst_editor* editor = plugin->Editor();
  if (editor == nullptr) {
    err << kName << ": " << command.input_path << " has no panel to show\n";
    return 1;
  }
  if (command.program) dispatch(vst2::effSetProgram, 0, *command.program, nullptr);
  for (const ParameterSetting& parameter : command.parameters) {
    effect->setParameter(effect, parameter.index, parameter.value);
  }
  OffscreenWindow* window = nullptr;
  editor->SetWindowMaker([&](void*, int32_t width, int32_t height, std::string*) {
    auto made = std::make_unique<OffscreenWindow>(width, height);
    window = made.get();
    return std::unique_ptr<WindowPort>(std::move(made));
  });
  vst2::ERect* rect = nullptr;
  dispatch(vst2::effEditGetRect, 0, 0, &rect);
  if (dispatch(vst2::effEditOpen, 0, 0, nullptr) == 0 || window == nullptr) {
    err << kName << ": the editor did not open\n";
    return 1;
  }
  dispatch(vst2::effEditIdle, 0, 0, nullptr);
  const PixelImage image =
      command.scale == 1 ? window->Screen() : Enlarge(window->Screen(), command.scale);
  dispatch(vst2::effEditClose, 0, 0, nullptr);
  std::string error;
  if (!WritePngFile(command.output_path, image, &error)) {
    err << kName << ": " << error << "\n";
    return 1;
  }
  out << "Wrote " << command.output_path << ": " << image.Width() << " x " << image.Height()
      << " pixels\n";
  return 0;
}

}  // namespace ov
