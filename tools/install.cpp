#include "tools/install.h"

#include <cstdlib>
#include <filesystem>

#include "host/project_resource.h"
#include "platform/library_resource.h"
#include "tools/arguments.h"

namespace ov {
namespace {

namespace fs = std::filesystem;

bool IsBakedPlugin(const fs::path& path) {
  return ReadAppendedResource(path.string(), kProjectResourceType, kProjectResourceId).has_value();
}

// A folder NAME.lv2 that `orvane bake --lv2` wrote: its description and
// the baked library NAME.so.
bool IsBakedBundle(const fs::path& folder) {
  std::error_code error;
  return folder.extension() == ".lv2" && fs::is_regular_file(folder / "manifest.ttl", error) &&
         IsBakedPlugin(folder / (folder.stem().string() + ".so"));
}

// Copies the bundle `source` over any earlier copy of it in `folder`.
int InstallBundle(const fs::path& source, const std::string& folder, std::ostream& out,
                  std::ostream& err) {
  if (!IsBakedBundle(source)) {
    err << "orvane install: " << source.string()
        << ": not an LV2 bundle of an Orvane plug-in (make one with 'orvane bake --lv2')\n";
    return 1;
  }
  std::error_code error;
  const fs::path target = fs::path(folder) / source.filename();
  // Files of an earlier bake that this one no longer has go too.
  if (IsBakedBundle(target)) fs::remove_all(target, error);
  if (!error) fs::create_directories(target, error);
  if (!error) {
    fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing,
             error);
  }
  if (error) {
    err << "orvane install: " << target.string() << ": " << error.message() << "\n";
    return 1;
  }
  out << "Installed " << target.string() << "\n";
  return 0;
}

}  // namespace

std::optional<InstallCommandLine> ParseInstallArguments(std::span<const std::string> arguments,
                                                        std::string* error) {
  InstallCommandLine line;
  for (const std::string& argument : arguments) {
    if (argument == "--system") {
      line.system = true;
    } else if (!TakePositional(argument, &line.target, error)) {
      return std::nullopt;
    }
  }
  if (line.target.empty()) {
    *error = "no plug-in given";
    return std::nullopt;
  }
  return line;
}

std::string PluginFolder(bool system) {
  if (system) return "/usr/local/lib/lxvst";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return (fs::path(home) / ".lxvst").string();
}

std::string Lv2Folder(bool system) {
  if (system) return "/usr/local/lib/lv2";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  return (fs::path(home) / ".lv2").string();
}

int RunInstallCommand(const InstallCommandLine& command, std::ostream& out, std::ostream& err) {
  const fs::path source = fs::path(command.target).lexically_normal();
  std::error_code error;
  if (fs::is_directory(source, error)) {
    const fs::path bundle = source.filename().empty() ? source.parent_path() : source;
    const std::string folder = Lv2Folder(command.system);
    if (folder.empty()) {
      err << "orvane install: HOME is not set\n";
      return 1;
    }
    return InstallBundle(bundle, folder, out, err);
  }
  if (!fs::is_regular_file(source, error)) {
    err << "orvane install: " << source.string() << ": no such file\n";
    return 1;
  }
  // The generic library alone gives hosts no plug-in.
  if (!IsBakedPlugin(source)) {
    err << "orvane install: " << source.string()
        << ": not a baked Orvane plug-in (make one with 'orvane bake')\n";
    return 1;
  }
  const std::string folder = PluginFolder(command.system);
  if (folder.empty()) {
    err << "orvane install: HOME is not set\n";
    return 1;
  }
  fs::create_directories(folder, error);
  const fs::path target = fs::path(folder) / source.filename();
  if (!error) fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
  if (error) {
    err << "orvane install: " << target.string() << ": " << error.message() << "\n";
    return 1;
  }
  out << "Installed " << target.string() << "\n";
  return 0;
}

int RunUninstallCommand(const InstallCommandLine& command, std::ostream& out, std::ostream& err) {
  std::string name = command.target;
  const bool bundle = name.ends_with(".lv2");
  if (name.ends_with(".so") || bundle) name.resize(name.size() - (bundle ? 4 : 3));
  // A plain name only: never a path that leads out of the folder.
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    err << "orvane uninstall: '" << command.target << "' is not a plug-in name\n";
    return 1;
  }
  const std::string folder = bundle ? Lv2Folder(command.system) : PluginFolder(command.system);
  if (folder.empty()) {
    err << "orvane uninstall: HOME is not set\n";
    return 1;
  }
  std::error_code error;
  if (bundle) {
    const fs::path target = fs::path(folder) / (name + ".lv2");
    if (!IsBakedBundle(target)) {
      err << "orvane uninstall: " << target.string()
          << ": not installed, or not an Orvane bundle; left alone\n";
      return 1;
    }
    if (fs::remove_all(target, error) == static_cast<std::uintmax_t>(-1) || error) {
      err << "orvane uninstall: " << target.string() << ": " << error.message() << "\n";
      return 1;
    }
    out << "Removed " << target.string() << "\n";
    return 0;
  }
  const fs::path target = fs::path(folder) / (name + ".so");
  if (!fs::is_regular_file(target, error)) {
    err << "orvane uninstall: " << target.string() << ": not installed\n";
    return 1;
  }
  if (!IsBakedPlugin(target)) {
    err << "orvane uninstall: " << target.string() << ": not an Orvane plug-in; left alone\n";
    return 1;
  }
  if (!fs::remove(target, error)) {
    err << "orvane uninstall: " << target.string() << ": " << error.message() << "\n";
    return 1;
  }
  out << "Removed " << target.string() << "\n";
  return 0;
}

}  // namespace ov
