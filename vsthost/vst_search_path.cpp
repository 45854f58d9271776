#include "vsthost/vst_search_path.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace ov {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

void AddColonList(const char* list, std::vector<std::string>& folders) {
  if (list == nullptr) return;
  std::string_view rest = list;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view folder = rest.substr(0, colon);
    if (!folder.empty()) folders.emplace_back(folder);
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
}

}  // namespace

std::vector<std::string> VstSearchFolders() {
  std::vector<std::string> folders;
  AddColonList(std::getenv("LXVST_PATH"), folders);
  AddColonList(std::getenv("VST_PATH"), folders);
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    folders.push_back(std::string(home) + "/.lxvst");
    folders.push_back(std::string(home) + "/.vst");
  }
  for (const char* folder :
       {"/usr/local/lib/lxvst", "/usr/local/lib/vst", "/usr/lib/lxvst", "/usr/lib/vst"}) {
    folders.emplace_back(folder);
  }
  return folders;
}

std::string FindVstLibrary(const std::string& file_name,
                           const std::vector<std::string>& carried) {
  if (file_name.empty() || file_name.find('/') != std::string::npos) return {};
  for (const std::string& path : carried) {
    if (SameIgnoringCase(std::filesystem::path(path).filename().string(), file_name)) return path;
  }
  for (const std::string& folder : VstSearchFolders()) {
    std::error_code error;
    const std::filesystem::path candidate = std::filesystem::path(folder) / file_name;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
  }
  return {};
}

}  // namespace ov
