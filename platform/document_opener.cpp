#include "platform/document_opener.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace ov {
namespace {

bool EndsWithDesktop(std::string_view path) {
  constexpr std::string_view kSuffix = ".desktop";
  if (path.size() < kSuffix.size()) return false;
  return std::equal(kSuffix.begin(), kSuffix.end(), path.end() - kSuffix.size(),
                    [](char a, char b) {
                      return a == std::tolower(static_cast<unsigned char>(b));
                    });
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

DocumentOpener::Outcome DocumentOpener::Open(std::string_view verb, const std::string& path,
                                             std::string* why) {
  const auto tell = [&](Outcome outcome, std::string text) {
    if (why != nullptr) *why = std::move(text);
    return outcome;
  };
  const bool opens = verb.empty() || verb == "open" || verb == "edit";
  if (!opens && verb != "explore") {
    return tell(Outcome::kNotOpened,
                "\"" + std::string(verb) + "\" is not supported: " + path + " was not opened");
  }
  struct stat status{};
  if (path.empty() || stat(path.c_str(), &status) != 0) {
    return tell(Outcome::kRefused, "cannot open " + path + ": there is no such file or folder");
  }
  const bool folder = S_ISDIR(status.st_mode);
  std::string target = path;
  if (verb == "explore") {
    if (!folder) target = FolderOf(path);
  } else if (!folder && (access(path.c_str(), X_OK) == 0 || EndsWithDesktop(path)) &&
             !ProjectsMayStartPrograms()) {
    // xdg-open would run it: that is starting a program the project names.
    return tell(Outcome::kRefused, "did not open " + path +
                                       ": it is a program, and starting programs a project "
                                       "names needs ORVANE_ALLOW_COMMANDS=1 in the environment");
  }
  std::string error;
  starter_.Reap();
  if (!starter_.Start({"xdg-open", target}, "", &error)) {
    return tell(Outcome::kFailed, "cannot open " + target + ": " + error);
  }
  return Outcome::kStarted;
}

}  // namespace ov
