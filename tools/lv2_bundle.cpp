#include "tools/lv2_bundle.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "document/container.h"
#include "document/patch_manager.h"
#include "host/host_parameters.h"
#include "host/ov_vst.h"
#include "lv2/bundle_text.h"
#include "platform/files.h"
#include "tools/project_commands.h"

namespace ov {
namespace {

constexpr const char* kName = "orvane bake";

intptr_t QuietHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// The bundle's description, read off the plug-in as a host would get it:
// ports from its facts and parameters, one preset per program.
Lv2BundleDescription Describe(OvVst& plugin, const std::string& stem) {
  const ProjectFacts& facts = plugin.App().Facts();
  CPatchManager* patches = nullptr;
  if (COrvaneDocBase* document = plugin.App().Document()) {
    if (CContainer* main = document->FindMainContainer()) patches = main->GetPatchManager();
  }
  Lv2BundleDescription bundle;
  bundle.uri = PluginUri(facts);
  bundle.name = facts.title.empty() ? stem : facts.title;
  bundle.binary = stem + ".so";
  bundle.description = stem + ".ttl";
  bundle.instrument = (facts.plugin_options & kOptionSynth) != 0;
  bundle.layout = LayoutPorts(facts, patches);
  const std::vector<PatchParameter*> parameters = HostParameterOrder(patches);
  const int32_t programs = plugin.getAeffect()->numPrograms;
  for (int32_t program = 0; program < programs; ++program) {
    plugin.setProgram(program);
    char name[vst2::kMaxProgNameLen + 1] = {};
    plugin.getProgramName(name);
    Lv2Preset preset{name, {}};
    for (const Lv2ControlPort& port : bundle.layout.controls) {
      preset.control_values.push_back(
          PortValue(port, *parameters[static_cast<std::size_t>(port.parameter_index)]));
    }
    bundle.presets.push_back(std::move(preset));
  }
  plugin.setProgram(0);
  return bundle;
}

bool WriteText(const std::filesystem::path& path, const std::string& text, std::ostream& err) {
  std::string error;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  if (WriteFileBytes(path.string(), {bytes, text.size()}, &error)) return true;
  err << kName << ": " << error << "\n";
  return false;
}

}  // namespace

int RunBakeLv2Command(const BakeCommandLine& command, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  const fs::path folder(command.output_path);
  if (folder.extension() != ".lv2" || folder.stem().empty()) {
    err << kName << ": " << command.output_path << ": an LV2 bundle is a folder named NAME.lv2\n";
    return 1;
  }
  std::vector<uint8_t> stream;
  COrvaneDocBase document;
  bool refused = false;
  if (!LoadProjectDocument(command.input_path, kName, err, &document, &stream,
                           command.warn_only ? CompileChecks::kWarn : CompileChecks::kRefuse,
                           &refused)) {
    return refused ? 2 : 1;
  }
  // The plug-in itself says what it offers, as it will inside the bundle.
  StreamProject source(stream);
  auto plugin = std::make_unique<OvVst>(&QuietHost, source);
  if (plugin->LoadFailed()) {
    err << kName << ": " << command.input_path << " could not be loaded\n";
    return 1;
  }
  const std::string stem = folder.stem().string();
  const Lv2BundleDescription bundle = Describe(*plugin, stem);
  plugin.reset();

  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    err << kName << ": " << command.output_path << ": " << error.message() << "\n";
    return 1;
  }
  const std::size_t project_bytes = stream.size();
  if (!WriteBakedLibrary(std::move(stream), command.from_path, (folder / bundle.binary).string(),
                         err) ||
      !WriteText(folder / "manifest.ttl", ManifestTurtle(bundle), err) ||
      !WriteText(folder / bundle.description, PluginTurtle(bundle), err) ||
      !WriteText(folder / "presets.ttl", PresetsTurtle(bundle), err)) {
    return 1;
  }
  out << "Baked " << command.output_path << ": " << bundle.uri << ", " << bundle.layout.PortCount()
      << " ports, " << bundle.presets.size() << " presets, " << project_bytes
      << " project bytes into " << command.from_path << "\n";
  return 0;
}

}  // namespace ov
