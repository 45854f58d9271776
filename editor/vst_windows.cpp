#include "editor/vst_windows.h"

#include <algorithm>
#include <string>

#include "document/vst_parameters.h"
#include "document/vst_plugin_module.h"
#include "editor/groups.h"
#include "editor/popup_windows.h"
#include "editor/scroll_decorator.h"
#include "editor/vst_panel.h"
#include "editor/widgets/default_controls.h"
#include "modules/controller_names.h"
#include "platform/message_sink.h"
#include "platform/text.h"
#include "platform/x11_child_window.h"
#include "platform/x11_top_window.h"

namespace ov {
namespace {

// A window larger than this shows the panel's top-left part, scrolled.
constexpr int32_t kLargestWindowWidth = 1200;
constexpr int32_t kLargestWindowHeight = 900;

constexpr int32_t kNrpnController = 99;
constexpr int32_t kRpnController = 101;

// One facet of a parameter's MIDI assignment as a parameter a default
// control edits: the controller (a list) or the NRPN/RPN number (a range).
class VstMidiAssignment final : public generic_parameter {
 public:
  enum Facet { kController, kNumber };
  VstMidiAssignment(Ctl_VST_Plugin& module, parameter_vst& parameter, Facet facet)
      : module_(module), parameter_(parameter), facet_(facet) {}
  ~VstMidiAssignment() override { watchers_.Notify(Notification(kNotifyPlugDestroyed, this)); }

  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return facet_ == kController ? "Controller" : "Number"; }
  int32_t Datatype() const override { return DT_ENUM; }
  std::string ItemList() const override {
    return facet_ == kController ? std::string(kControllerListText) : "range 0,16383";
  }
  std::string ValueText() const override {
    const int32_t value =
        facet_ == kController ? parameter_.midi_controller() : parameter_.midi_number();
    return std::to_string(facet_ == kNumber ? std::max(value, 0) : value);
  }
  void WriteValueText(const std::string& text) override {
    const std::optional<long long> value = ParseInteger(text);
    if (!value) return;
    int32_t controller = parameter_.midi_controller();
    int32_t number = parameter_.midi_number();
    if (facet_ == kController) {
      controller = static_cast<int32_t>(std::clamp<long long>(*value, -1, 127));
    } else {
      number = static_cast<int32_t>(std::clamp<long long>(*value, 0, 0x3FFF));
    }
    // Only NRPN and RPN assignments carry a number.
    if (controller != kNrpnController && controller != kRpnController) number = -1;
    module_.SetMidiAssignment(parameter_.index(), controller, number);
    watchers_.Notify(Notification(kNotifyValueChanged, this));
  }

 private:
  Ctl_VST_Plugin& module_;
  parameter_vst& parameter_;
  const Facet facet_;
  Notifier watchers_;
};

class VstAutomationGrid : public CGroup {
 public:
  generic_parameter& Keep(std::unique_ptr<generic_parameter> facet) {
    facets_.push_back(std::move(facet));
    return *facets_.back();
  }

 private:
  std::vector<std::unique_ptr<generic_parameter>> facets_;
};

Ctl_VST_Plugin* HostedAt(CVisualOb& target) {
  for (CVisualOb* o = &target; o != nullptr; o = o->parent()) {
    if (auto* hosted = dynamic_cast<Ctl_VST_Plugin*>(o->Module())) return hosted;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<CVisualOb> MakeVstAutomationGrid(Ctl_VST_Plugin& module) {
  auto grid = std::make_unique<VstAutomationGrid>();
  StartGrid(*grid, {"Name", "Controller", "Number"});
  int32_t row = 1;
  int32_t tab_order = 0;
  for (const auto& entry : module.parameters()) {
    auto* parameter = dynamic_cast<parameter_vst*>(entry.get());
    if (parameter == nullptr) continue;
    grid->AddInCell(MakeGridLabel(parameter->Name()), row, 0);
    for (const auto facet : {VstMidiAssignment::kController, VstMidiAssignment::kNumber}) {
      generic_parameter& kept =
          grid->Keep(std::make_unique<VstMidiAssignment>(module, *parameter, facet));
      if (std::unique_ptr<CVisualOb> control = MakeDefaultControl(kept)) {
        control->set_tab_order(tab_order++);
        grid->AddInCell(std::move(control), row, facet == VstMidiAssignment::kController ? 1 : 2);
      }
    }
    ++row;
  }
  return grid;
}

struct VstWindows::Window : private Notifiable {
  Window(Ctl_VST_Plugin& module, int32_t kind, const Setup& setup)
      : module(module), kind(kind), root(setup.clock), popups(root, setup.messages) {
    module.AddListener(this);
  }
  ~Window() {
    root.Close();
    root.SetPopups(nullptr);
    if (!gone) module.RemoveListener(this);
  }
  void OnNotify(const Notification& notification) override {
    if (notification.subject != &module) return;
    if (notification.code == kNotifyPlugDestroyed || notification.code == kNotifyRemoved) {
      gone = true;
      module.RemoveListener(this);
      root.Close();
    }
  }

  Ctl_VST_Plugin& module;
  const int32_t kind;
  bool gone = false;
  COrvaneViewVST root;
  PopupWindows popups;
  std::unique_ptr<X11TopWindow> frame;
};

VstWindows::VstWindows(Setup setup) : setup_(std::move(setup)) {}

VstWindows::~VstWindows() { CloseAll(); }

bool VstWindows::Command(CVisualOb& target, int32_t id) {
  if (id != kCommandPanelEdit && id != kCommandAutomation) return false;
  Ctl_VST_Plugin* hosted = HostedAt(target);
  if (hosted == nullptr || !hosted->wrapper().Loaded()) return false;
  // One window of each kind per plug-in.
  for (const auto& window : windows_) {
    if (&window->module == hosted && window->kind == id) return true;
  }
  Open(*hosted, id);
  return true;
}

void VstWindows::Open(Ctl_VST_Plugin& module, int32_t id) {
  auto window = std::make_unique<Window>(module, id, setup_);
  COrvaneViewVST& root = window->root;
  root.BindToModule(&module);
  root.SetSkins(skins_);
  root.SetFileDialog(setup_.files);
  root.SetPopups(&window->popups);
  root.SetCommandHandler(setup_.commands);
  std::unique_ptr<CVisualOb> panel;
  if (id == kCommandPanelEdit) {
    panel = MakeVstPanel(module, kViewControlPanel);
  } else {
    panel = std::make_unique<ScrollDecorator>(
        std::make_unique<VstPanelView>(module, MakeVstAutomationGrid(module)),
        ScrollDecorator::kSizeToContent);
  }
  // Measured in the tree, where the skins' fonts are.
  CVisualOb* shown = root.AdoptChild(std::move(panel), false);
  const Point wanted = shown->PreferredSize();
  const int32_t width = std::clamp(wanted.x, 1, kLargestWindowWidth);
  const int32_t height = std::clamp(wanted.y, 1, kLargestWindowHeight);
  std::string error;
  const std::string title =
      module.title() + (id == kCommandAutomation ? " - Automation" : std::string());
  window->frame = X11TopWindow::Create(width, height, title, &error);
  std::unique_ptr<WindowPort> port;
  if (window->frame != nullptr) {
    port = X11ChildWindow::Create(window->frame->Handle(), width, height, &error);
  }
  if (port == nullptr) {
    if (setup_.messages != nullptr) {
      setup_.messages->Post("The window of " + module.title() + " cannot open: " + error,
                            MessageStyle::kWarning);
    }
    return;
  }
  root.AttachWindow(std::move(port));
  root.SetRect({0, 0, width, height});
  root.Open();
  root.InvalidateAll();
  windows_.push_back(std::move(window));
}

void VstWindows::Idle() {
  std::erase_if(windows_, [](const std::unique_ptr<Window>& window) {
    const bool open = !window->gone && window->frame->Pump() && window->root.Port() != nullptr &&
                      window->root.Port()->Alive() && window->module.wrapper().Loaded();
    if (open) window->root.Idle();
    return !open;
  });
}

void VstWindows::CloseAll() { windows_.clear(); }

}  // namespace ov
