#include "tools/plugin_info.h"

#include <string>

#include "host/fx_files.h"
#include "platform/text.h"

namespace ov {
namespace {

struct FlagName {
  int32_t flag;
  const char* name;
};

constexpr FlagName kFlagNames[] = {
    {vst2::effFlagsHasEditor, "HasEditor"},
    {vst2::effFlagsHasClip, "HasClip"},
    {vst2::effFlagsHasVu, "HasVu"},
    {vst2::effFlagsCanMono, "CanMono"},
    {vst2::effFlagsCanReplacing, "CanReplacing"},
    {vst2::effFlagsProgramChunks, "ProgramChunks"},
    {vst2::effFlagsIsSynth, "IsSynth"},
    {vst2::effFlagsNoSoundInStop, "NoSoundInStop"},
    {vst2::effFlagsExtIsAsync, "ExtIsAsync"},
    {vst2::effFlagsExtHasBuffer, "ExtHasBuffer"},
    {vst2::effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
};

constexpr const char* kAskedCapabilities[] = {"receiveVstMidiEvent", "sendVstMidiEvent",
                                              "sendVstTimeInfo"};

std::string DecodeFlags(int32_t flags) {
  std::string names;
  int32_t known = 0;
  for (const FlagName& flag : kFlagNames) {
    known |= flag.flag;
    if (flags & flag.flag) names += std::string(names.empty() ? "" : " ") + flag.name;
  }
  if (flags & ~known) names += (names.empty() ? "" : " ") + std::string("(unknown bits)");
  return names.empty() ? "none" : names;
}

void DescribePins(const VstPlugin& plugin, const char* kind, int32_t count, int32_t opcode,
                  std::ostream& out) {
  out << kind << ": " << count << "\n";
  for (int32_t i = 0; i < count; ++i) {
    // Room beyond the record for plug-ins that write past it.
    struct {
      vst2::VstPinProperties pin;
      char spare[256];
    } properties{};
    out << "  " << i << ": ";
    if (plugin.Dispatch(opcode, i, 0, &properties.pin) == 0) {
      out << "(no properties)\n";
      continue;
    }
    properties.pin.label[sizeof properties.pin.label - 1] = '\0';
    properties.pin.shortLabel[sizeof properties.pin.shortLabel - 1] = '\0';
    out << '"' << properties.pin.label << "\" (short \"" << properties.pin.shortLabel << "\")";
    if (properties.pin.flags & vst2::kVstPinIsActive) out << " active";
    if (properties.pin.flags & vst2::kVstPinIsStereo) out << " stereo";
    out << "\n";
  }
}

void DescribeParameters(const VstPlugin& plugin, std::ostream& out) {
  const vst2::AEffect& effect = plugin.Effect();
  out << "Parameters: " << effect.numParams << "\n";
  for (int32_t i = 0; i < effect.numParams; ++i) {
    const float value =
        effect.getParameter != nullptr ? effect.getParameter(&plugin.Effect(), i) : 0;
    out << "  " << i << ": " << plugin.DispatchText(vst2::effGetParamName, i) << " = "
        << plugin.DispatchText(vst2::effGetParamDisplay, i) << " "
        << plugin.DispatchText(vst2::effGetParamLabel, i) << " (value " << FormatFixed(value, 4)
        << ")\n";
  }
}

void DescribePrograms(const VstPlugin& plugin, std::ostream& out) {
  const int32_t count = plugin.Effect().numPrograms;
  out << "Programs: " << count << "\n";
  const intptr_t current = plugin.Dispatch(vst2::effGetProgram);
  bool switched = false;
  for (int32_t i = 0; i < count; ++i) {
    intptr_t answered = 0;
    std::string name = plugin.DispatchText(vst2::effGetProgramNameIndexed, i, &answered);
    if (answered == 0) {
      // Older plug-ins name only the current program.
      plugin.Dispatch(vst2::effSetProgram, 0, i);
      name = plugin.DispatchText(vst2::effGetProgramName);
      switched = true;
    }
    out << "  " << i << ": " << name << "\n";
  }
  if (switched) plugin.Dispatch(vst2::effSetProgram, 0, current);
}

}  // namespace

void DescribePlugin(const VstPlugin& plugin, std::ostream& out) {
  const vst2::AEffect& effect = plugin.Effect();
  out << "Library: " << plugin.Path() << "\n"
      << "Name: " << plugin.DispatchText(vst2::effGetEffectName) << "\n"
      << "Vendor: " << plugin.DispatchText(vst2::effGetVendorString) << "\n"
      << "Product: " << plugin.DispatchText(vst2::effGetProductString) << "\n"
      << "Unique id: '" << FourCharacterId(effect.uniqueID) << "' (" << effect.uniqueID << ")\n"
      << "Version: " << effect.version << " (vendor version "
      << plugin.Dispatch(vst2::effGetVendorVersion) << ", VST "
      << plugin.Dispatch(vst2::effGetVstVersion) << ")\n"
      << "Flags: " << DecodeFlags(effect.flags) << "\n";
  DescribePins(plugin, "Inputs", effect.numInputs, vst2::effGetInputProperties, out);
  DescribePins(plugin, "Outputs", effect.numOutputs, vst2::effGetOutputProperties, out);
  DescribeParameters(plugin, out);
  DescribePrograms(plugin, out);
  out << "Can do:\n";
  for (const char* capability : kAskedCapabilities) {
    const intptr_t answer = plugin.Dispatch(vst2::effCanDo, 0, 0, const_cast<char*>(capability));
    out << "  " << capability << ": "
        << (answer > 0   ? "yes"
            : answer < 0 ? "no"
                         : "don't know")
        << "\n";
  }
}

}  // namespace ov
