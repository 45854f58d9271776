#include "host/orvane_app.h"

#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/control.h"
#include "document/patch_manager.h"
#include "document/document.h"
#include "document/graph_build.h"
#include "document/module_classes.h"
#include "document/ui_system_command.h"
#include "document/vst_plugin_module.h"
#include "engine/audio_master.h"
#include "engine/voice_list.h"
#include "editor/context_menu.h"
#include "editor/patch_toolbar.h"
#include "editor/view_root.h"
#include "editor/visual_object.h"
#include "extmodules/module_info_plugin.h"
#include "extmodules/plugin_panel_view.h"
#include "host/embedded_files.h"
#include "host/ov_vst.h"
#include "host/patch_files.h"
#include "modules/module_registry.h"

namespace ov {
namespace {

// Sound-font modules load their files once the project and its files are
// there, with the value of their container's current patch.
void AttachMediaFiles(const CContainer& container, const DataFiles* files,
                      MessageSink& messages) {
  for (const auto& child : container.children()) {
    if (auto* soundfont = dynamic_cast<Ctl_Soundfont_base*>(child.get())) {
      const CPatchManager* patches = PatchManagerFor(*soundfont);
      soundfont->AttachFiles(files, &messages, patches ? patches->current_patch() : 0);
    } else if (auto* command = dynamic_cast<ui_system_command*>(child.get())) {
      command->AttachFiles(files, &messages);
    } else if (const auto* inner = dynamic_cast<const CContainer*>(child.get())) {
      AttachMediaFiles(*inner, files, messages);
    }
  }
}

}  // namespace

ProjectHoldings::ProjectHoldings() = default;
ProjectHoldings::ProjectHoldings(ProjectHoldings&&) noexcept = default;
ProjectHoldings& ProjectHoldings::operator=(ProjectHoldings&&) noexcept = default;
ProjectHoldings::~ProjectHoldings() = default;

ProjectHoldings ProjectSource::TakeHoldings() { return {}; }

COrvaneAppBase::COrvaneAppBase() { hub_.SetUserMessages(&messages_); }

COrvaneAppBase::~COrvaneAppBase() { StopEngine(); }

bool COrvaneAppBase::Initialise(ProjectSource& source) {
  // Library modules get their panel parts from the first project on.
  static std::once_flag panels_installed;
  std::call_once(panels_installed, [] { InstallModulePanels(ProcessModules()); });
  facts_ = source.Load(messages_);
  if (!facts_) return false;
  holdings_ = source.TakeHoldings();
  if (Document() != nullptr) hub_.SetIdleList(Document()->IdleClients());
  // "OS Command" modules run their programs in the library folder.
  if (Files() != nullptr) hub_.SetCommandFolder(Files()->LibraryFolder());
  if (Document() != nullptr && Document()->root() != nullptr) {
    AttachMediaFiles(*Document()->root(), MediaFiles(), messages_);
  }
  return true;
}

bool COrvaneAppBase::StartEngine(int32_t host_block_size) {
  StopEngine();
  host_block_size_ = host_block_size;
  std::string failure;
  // Whatever a module throws while the engine is made or opened ends here:
  // the user is told once and no engine is left.
  try {
    failure = BuildAndStartEngine(host_block_size);
  } catch (const std::exception& error) {
    failure = std::string("The engine could not be started: ") + error.what();
  } catch (...) {
    failure = "The engine could not be started.";
  }
  engine_failure_ = failure;
  if (failure.empty()) return true;
  messages_.Post(failure, MessageStyle::kWarning);
  DiscardEngine();
  return false;
}

std::string COrvaneAppBase::BuildAndStartEngine(int32_t host_block_size) {
  master_ = std::make_unique<OvAudioMaster>(*this);
  master_->SetSampleRate(sample_rate_);
  master_->SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(host_block_size));
  hub_.AttachEngine(master_.get());
  // Without a document (sources that read none) the engine runs with no
  // generators and renders silence.
  CContainer* root = Document() != nullptr ? Document()->root() : nullptr;
  if (root != nullptr) {
    // Gone before the master goes, whichever way the build ends.
    GraphBuild build(*master_);
    build.SetMessageHub(&hub_);
    try {
      build.Build(*root);
      graph_ = build.TakeRoot();
    } catch (const OvException& error) {
      return build.FailureMessage(error);
    } catch (const VoiceConflict& error) {
      return error.what();
    } catch (const std::exception& error) {
      return std::string("The engine could not be built: ") + error.what();
    }
  }
  master_->Start(graph_.get());
  return {};
}

namespace {

// This document's modules with panel parts from `type`.
void CollectPanelModules(const CContainer& container, const Module_Info* type,
                         std::vector<CPlugin2*>& found) {
  for (const auto& child : container.children()) {
    if (auto* module = dynamic_cast<CPlugin2*>(child.get());
        module && module->module_type() == type) {
      found.push_back(module);
    } else if (const auto* inner = dynamic_cast<const CContainer*>(child.get())) {
      CollectPanelModules(*inner, type, found);
    }
  }
}

}  // namespace

bool COrvaneAppBase::ReloadModuleLibrary(CPlugin& module) {
  const auto* type = dynamic_cast<const Module_Info_Plugin*>(module.module_type());
  if (type == nullptr) return false;
  const bool was_running = master_ != nullptr;
  StopEngine();
  // Panel parts run the library's code too: this document's are closed for
  // the while and made again from what the library now is.
  std::vector<CPlugin2*> panels;
  if (Document() != nullptr && Document()->root() != nullptr) {
    CollectPanelModules(*Document()->root(), type, panels);
  }
  for (CPlugin2* with_panel : panels) with_panel->DropPanelPart();
  std::string error;
  // Types are registered for reading; reloading is the one change made to a
  // registered type, and only while no engine of this instance runs it.
  const bool reloaded = const_cast<Module_Info_Plugin*>(type)->Reload(&error);
  if (!reloaded) messages_.Post(error, MessageStyle::kWarning);
  for (CPlugin2* with_panel : panels) with_panel->MakePanelPart(false);
  if (was_running) StartEngine(host_block_size_);
  if (reloaded && module.parent() != nullptr) {
    module.parent()->Notify(Notification(kNotifyModuleChanged, &module));
  }
  return reloaded;
}

void COrvaneAppBase::MenuCommand(CVisualOb& target, int32_t id, Point p) {
  if (id == kCommandAbout) {
    if (Document() != nullptr && !Document()->about_text().empty()) {
      messages_.Post(Document()->about_text(), MessageStyle::kInformation);
      // Shown where the menu was asked for, as well as logged.
      if (COrvaneViewBase* root = target.Root()) {
        root->ShowNote(Document()->about_text(), target.ToRoot(p));
      }
    }
    return;
  }
  if (id == kCommandReloadLibrary) {
    // The entry came from the nearest module above the target that is one.
    for (CVisualOb* o = &target; o != nullptr; o = o->parent()) {
      if (auto* module = dynamic_cast<CPlugin*>(o->Module())) {
        ReloadWhileStopped(*module);
        return;
      }
    }
    return;
  }
  // The file menu of a patch toolbar: the patches of its container.
  if (auto* toolbar = dynamic_cast<CPatchSelDecorator*>(&target); toolbar && IsPatchFileCommand(id)) {
    auto* container = dynamic_cast<CContainer*>(&toolbar->owner());
    COrvaneViewBase* root = target.Root();
    FileDialog* dialog = root != nullptr ? root->Files() : nullptr;
    if (container != nullptr && dialog != nullptr) {
      RunPatchFileCommand(id, *container, OvVst::PackUniqueId(Facts().plugin_id), *dialog,
                          messages_);
    }
    // A hosted plug-in's toolbar: the plug-in's own programs.
    if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(&toolbar->owner()); hosted && dialog) {
      hosted->RunFileCommand(id, *dialog, messages_);
    }
    return;
  }
  // The file commands of a hosted plug-in's menu: its own programs.
  if (IsPatchFileCommand(id)) {
    for (CVisualOb* o = &target; o != nullptr; o = o->parent()) {
      if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(o->Module())) {
        COrvaneViewBase* root = target.Root();
        if (FileDialog* dialog = root != nullptr ? root->Files() : nullptr) {
          hosted->RunFileCommand(id, *dialog, messages_);
        }
        return;
      }
    }
  }
  target.Command(id, p);
}

void COrvaneAppBase::DiscardEngine() {
  hub_.AttachEngine(nullptr);
  // Modules that opened before one failed may have registered host ports.
  SetHostInputPort(nullptr);
  SetHostOutputPort(nullptr);
  graph_.reset();
  master_.reset();
}

void COrvaneAppBase::StopEngine() {
  if (!master_) return;
  master_->Stop();
  // What the engine reported last (values moved by MIDI, by host automation
  // or by modules) reaches the editor side now, before detaching empties the
  // ring: a host may suspend and save its state without idling the plug-in
  // in between.
  hub_.Idle();
  hub_.AttachEngine(nullptr);
  graph_.reset();
  master_.reset();
}

uint32_t COrvaneAppBase::NewTargetId() { return next_target_id_.fetch_add(1); }

const DataFiles* COrvaneAppBase::MediaFiles() const { return holdings_.files.get(); }

std::string_view COrvaneAppBase::ModuleVendorText() const {
  if (!facts_ || (facts_->plugin_options & kOptionProjectVendor) == 0) return {};
  return facts_->vendor;
}

void COrvaneAppBase::PostUserMessage(std::string_view text) {
  messages_.Post(text, MessageStyle::kWarning);
}

void COrvaneAppVST::ApplyQueuedHostParameters() { plugin_.ApplyQueuedParameters(); }

bool COrvaneAppVST::RendersOffline() {
  constexpr intptr_t kProcessLevelOffline = 4;
  return plugin_.getCurrentProcessLevel() == kProcessLevelOffline;
}

intptr_t COrvaneAppVST::CallVstHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                    float opt) {
  return plugin_.CallHost(opcode, index, value, ptr, opt);
}

const vst2::VstTimeInfo* COrvaneAppVST::HostTimeInfo(int32_t filter) {
  return plugin_.getTimeInfo(filter);
}

void COrvaneAppVST::SetHostInputPort(HostInputPort* port) { plugin_.SetHostInputPort(port); }

void COrvaneAppVST::SetHostOutputPort(HostOutputPort* port) { plugin_.SetHostOutputPort(port); }

const MidiRing* COrvaneAppVST::PlatformMidiIn() const { return &plugin_.PlatformMidi(); }

bool COrvaneAppVST::HostReplaces() const { return plugin_.IsReplacing(); }

bool COrvaneAppVST::ReloadWhileStopped(CPlugin& module) {
  const bool running = Engine() != nullptr;
  if (running) plugin_.suspend();
  const bool reloaded = ReloadModuleLibrary(module);
  if (running) plugin_.resume();
  return reloaded;
}

}  // namespace ov
