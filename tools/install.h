// `orvane install` and `orvane uninstall`: baked plug-ins in the folder where
// Linux hosts look for VST 2 plug-ins, ~/.lxvst (or /usr/local/lib/lxvst),
// and LV2 bundles NAME.lv2 in ~/.lv2 (or /usr/local/lib/lv2).
// Each returns the exit code: 0 on success, 1 when the work failed.
// Thread: the program's main thread.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace ov {

struct InstallCommandLine {
  std::string target;   // install: a baked library or bundle; uninstall: its name
  bool system = false;  // the folder for every user instead of the user's own
};

std::optional<InstallCommandLine> ParseInstallArguments(std::span<const std::string> arguments,
                                                        std::string* error);

// The user's folder under $HOME, or the system-wide one; empty when HOME is
// not set.
std::string PluginFolder(bool system);
// The same for LV2 bundles.
std::string Lv2Folder(bool system);

int RunInstallCommand(const InstallCommandLine& command, std::ostream& out, std::ostream& err);
int RunUninstallCommand(const InstallCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
