// The file selector requests of the VST 2 host interface: a plug-in asks
// its host for a file name (audioMasterOpenFileSelector) and lets go of the
// answer (audioMasterCloseFileSelector). Record layout as published.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vst2 {

constexpr int32_t audioMasterOpenFileSelector = 45;
constexpr int32_t audioMasterCloseFileSelector = 46;

enum FileSelectCommand : int32_t {
  kVstFileLoad = 0,
  kVstFileSave = 1,
  kVstMultipleFilesLoad = 2,
  kVstDirectorySelect = 3,
};

struct VstFileType {
  char name[128];
  char macType[8];
  char dosType[8];
  char unixType[8];
  char mimeType1[128];
  char mimeType2[128];
};
static_assert(sizeof(VstFileType) == 408);

// A plug-in's request for a file name. When returnPath is null the host
// allocates it, and frees it when the plug-in closes the selector.
struct VstFileSelect {
  int32_t command;
  int32_t type;
  int32_t macCreator;
  int32_t nbFileTypes;
  VstFileType* fileTypes;
  char title[1024];
  char* initialPath;
  char* returnPath;
  int32_t sizeReturnPath;
  char** returnMultiplePaths;
  int32_t nbReturnPath;
  intptr_t reserved;
  char future[116];
};
static_assert(offsetof(VstFileSelect, title) == 24);
static_assert(offsetof(VstFileSelect, returnPath) == 1056);
static_assert(offsetof(VstFileSelect, sizeReturnPath) == 1064);
static_assert(offsetof(VstFileSelect, reserved) == 1088);

}  // namespace vst2
