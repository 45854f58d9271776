#include "tools/vst_plugin.h"

#include <utility>
#include <vector>

#include "host/vendor_queries.h"

namespace ov {
namespace {

constexpr std::size_t kTextBufferSize = 512;

// The loader searches its own path for a name without a slash; someone who
// names a library on the command line means the file in the current folder.
std::string LoadablePath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

}  // namespace

std::string EngineProblem(vst2::AEffect& effect) {
  std::vector<char> text(kQueryTextBytes, '\0');
  if (effect.dispatcher(&effect, vst2::effVendorSpecific, kOrvaneQuery, kQueryEngineProblem,
                        text.data(), 0.0f) != 1) {
    return {};
  }
  text.back() = '\0';
  return text.data();
}

std::unique_ptr<VstPlugin> VstPlugin::Load(const std::string& path, std::ostream& log,
                                           std::string* error) {
  std::string reason;
  const std::string loadable = LoadablePath(path);
  DynamicLibrary library = DynamicLibrary::Open(loadable, &reason);
  if (!library.IsOpen()) {
    // The loader's reason usually starts with the path already.
    if (reason.starts_with(loadable + ": ")) reason.erase(0, loadable.size() + 2);
    *error = "cannot load " + path + ": " + reason;
    return nullptr;
  }
  void* symbol = library.Symbol("VSTPluginMain");
  if (symbol == nullptr) symbol = library.Symbol("main");
  if (symbol == nullptr) {
    *error = path + ": not a VST 2 plug-in (no VSTPluginMain or main entry point)";
    return nullptr;
  }
  auto session = std::make_unique<HostSession>(log);
  vst2::AEffect* effect =
      HostSession::CallEntry(reinterpret_cast<vst2::EntryProc>(symbol), session.get());
  if (effect == nullptr) {
    *error = path + ": the entry point returned no plug-in";
    return nullptr;
  }
  if (effect->magic != vst2::kEffectMagic) {
    *error = path + ": the entry point returned a record without the VST 2 magic number";
    return nullptr;
  }
  if (effect->dispatcher == nullptr) {
    *error = path + ": the plug-in has no dispatcher";
    return nullptr;
  }
  session->Attach(effect);
  std::unique_ptr<VstPlugin> plugin(new VstPlugin(std::move(library), std::move(session), effect));
  plugin->Dispatch(vst2::effOpen);
  return plugin;
}

VstPlugin::VstPlugin(DynamicLibrary library, std::unique_ptr<HostSession> session,
                     vst2::AEffect* effect)
    : library_(std::move(library)), session_(std::move(session)), effect_(effect) {}

VstPlugin::~VstPlugin() { Dispatch(vst2::effClose); }

intptr_t VstPlugin::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt) const {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string VstPlugin::DispatchText(int32_t opcode, int32_t index, intptr_t* result) const {
  char buffer[kTextBufferSize] = {};
  const intptr_t answer = Dispatch(opcode, index, 0, buffer);
  if (result != nullptr) *result = answer;
  buffer[kTextBufferSize - 1] = '\0';
  return buffer;
}

}  // namespace ov
