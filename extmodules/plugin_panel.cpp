#include "extmodules/plugin_panel.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "document/module_classes.h"
#include "editor/skins/skin_list.h"
#include "editor/skins/text_painter.h"
#include "editor/visual_object.h"
#include "extmodules/module_info_plugin.h"
#include "platform/text.h"

namespace ov {
namespace {

// The live panel structures, so that a library's first argument is looked
// up, never trusted. Editor threads of several plug-in instances may meet
// here.
std::mutex panels_mutex;
std::map<const void*, PluginPanel*>& LivePanels() {
  static std::map<const void*, PluginPanel*> panels;
  return panels;
}

// The paint calls running now: a canvas record's host field must name one.
struct PaintCall {
  OvCanvas record{};
  Canvas* canvas = nullptr;
  PluginPanel* panel = nullptr;
};
std::vector<const PaintCall*>& PaintCalls() {
  static std::vector<const PaintCall*> calls;
  return calls;
}

constexpr std::size_t kMaxTextBytes = 4096;

const PaintCall* CallOf(const OvCanvas* canvas) {
  if (canvas == nullptr) return nullptr;
  std::lock_guard lock(panels_mutex);
  // Only the record itself: a copy (with a clip of its own) is refused.
  for (const PaintCall* call : PaintCalls()) {
    if (&call->record == canvas) return call;
  }
  return nullptr;
}

std::string_view BoundedText(const char* text) {
  if (text == nullptr) return {};
  return {text, strnlen(text, kMaxTextBytes)};
}

int32_t TextWidthForLibrary(const OvCanvas* canvas, intptr_t font, const char* text) {
  const PaintCall* call = CallOf(canvas);
  if (call == nullptr || text == nullptr) return 0;
  const PluginPanel::FontHandle* handle = call->panel->FontOf(font);
  if (handle == nullptr) return 0;
  return TextExtent(*handle->font, BoundedText(text)).x;
}

int32_t DrawTextForLibrary(const OvCanvas* canvas, intptr_t font, int32_t x, int32_t y,
                           const char* text) {
  const PaintCall* call = CallOf(canvas);
  if (call == nullptr || text == nullptr) return 0;
  const PluginPanel::FontHandle* handle = call->panel->FontOf(font);
  if (handle == nullptr) return 0;
  TextState& state = call->canvas->Text();
  const TextState saved = state;
  state.font = handle->font;
  state.align = TextState::Align::kLeft;
  state.colour = handle->colour;
  state.opaque = false;
  const std::string_view utf8 = BoundedText(text);
  // Far outside any canvas nothing shows; kept there, the painter's sums
  // of position and glyph offsets stay within range.
  constexpr int32_t kFarAway = 1 << 24;
  DrawTextLine(*call->canvas,
               {std::clamp(x, -kFarAway, kFarAway), std::clamp(y, -kFarAway, kFarAway)}, utf8);
  state = saved;
  return TextExtent(*handle->font, utf8).x;
}

}  // namespace

std::unique_ptr<PluginPanel> PluginPanel::Make(const Module_Info_Plugin& type, CPlugin2& owner) {
  if (!type.EnsureLoaded()) return nullptr;
  const ModuleLibrary& library = type.Library();
  if (library.make_module == nullptr) {
    type.Report("Can't load OV Plugin. (doesn't export 'makeModule()' function). (" +
                type.LibraryPath() + ").");
    return nullptr;
  }
  std::unique_ptr<PluginPanel> panel(new PluginPanel(owner, type, library));
  // The handle the library keeps is the panel's own address: the callback
  // never follows it, it finds panels by their structures.
  void* made =
      library.make_module(type.ModuleIndex(), OV_MAKE_PANEL, &PanelHostCallback, panel.get());
  auto* structure = static_cast<OvPanel*>(made);
  if (structure == nullptr || structure->magic != OV_PANEL_MAGIC ||
      structure->dispatcher == nullptr) {
    return nullptr;
  }
  panel->structure_ = structure;
  panel->dispatcher_ = structure->dispatcher;
  std::lock_guard lock(panels_mutex);
  LivePanels()[structure] = panel.get();
  return panel;
}

PluginPanel::PluginPanel(CPlugin2& owner, const Module_Info_Plugin& type, ModuleLibrary library)
    : owner_(owner), type_(type), library_(std::move(library)) {}

PluginPanel::~PluginPanel() {
  if (const std::shared_ptr<IdleList> list = idle_list_.lock()) list->Remove(*this);
  std::lock_guard lock(panels_mutex);
  if (structure_ != nullptr) LivePanels().erase(structure_);
}

PluginPanel* PluginPanel::Find(const void* structure) {
  std::lock_guard lock(panels_mutex);
  const auto found = LivePanels().find(structure);
  return found != LivePanels().end() ? found->second : nullptr;
}

intptr_t PluginPanel::Send(int32_t opcode, intptr_t index, intptr_t value, void* ptr, float opt) {
  if (dispatcher_ == nullptr) return 0;
  const intptr_t answer = dispatcher_(structure_, opcode, index, value, ptr, opt);
  if (opcode == OV_PANEL_CLOSE) {
    // The library freed its structure: nothing may reach it any more.
    std::lock_guard lock(panels_mutex);
    LivePanels().erase(structure_);
    structure_ = nullptr;
    dispatcher_ = nullptr;
  }
  return answer;
}

bool PluginPanel::AddView(CVisualOb& view) {
  if (std::find(views_.begin(), views_.end(), &view) != views_.end()) return true;
  if (views_.size() >= kMaxViews) return false;
  views_.push_back(&view);
  return true;
}

void PluginPanel::RemoveView(CVisualOb& view) { std::erase(views_, &view); }

CVisualOb* PluginPanel::FindView(const void* address) const {
  for (CVisualOb* view : views_) {
    if (view == address) return view;
  }
  return nullptr;
}

void PluginPanel::Paint(CVisualOb& view, Canvas& canvas, Point size) {
  PixelImage& target = canvas.Target();
  canvas.PushClip({0, 0, size.x, size.y});
  const Rect clip = canvas.ClipBox();
  if (clip.right > clip.left && clip.bottom > clip.top && target.Width() > 0) {
    PaintCall call;
    call.canvas = &canvas;
    call.panel = this;
    OvCanvas& record = call.record;
    const Point origin = canvas.Origin();
    // The module's (0, 0) may lie outside the image; the address is made
    // without pointer arithmetic past the buffer, and only clipped pixels
    // are ever reached through it.
    const auto base = reinterpret_cast<uintptr_t>(target.Pixels().data());
    const intptr_t offset = static_cast<intptr_t>(origin.y) * target.Width() + origin.x;
    record.pixels =
        reinterpret_cast<uint32_t*>(base + static_cast<uintptr_t>(offset) * sizeof(uint32_t));
    record.stride = target.Width();
    record.width = size.x;
    record.height = size.y;
    record.clipLeft = clip.left;
    record.clipTop = clip.top;
    record.clipRight = clip.right;
    record.clipBottom = clip.bottom;
    record.drawText = &DrawTextForLibrary;
    record.textWidth = &TextWidthForLibrary;
    record.host = &call;
    OvDrawing drawing{size.x, size.y, &view};
    {
      std::lock_guard lock(panels_mutex);
      PaintCalls().push_back(&call);
    }
    Send(OV_PANEL_PAINT, reinterpret_cast<intptr_t>(&record), 0, &drawing);
    std::lock_guard lock(panels_mutex);
    std::erase(PaintCalls(), &call);
  }
  canvas.PopClip();
}

intptr_t PluginPanel::FontFor(CVisualOb* view, const char* category, void* info) {
  // The five values are what a library asks for: without room for them it
  // gets no font either.
  if (view == nullptr || category == nullptr || info == nullptr) return 0;
  Skin* skin = view->GetSkin();
  if (skin == nullptr) return 0;
  std::string name(BoundedText(category).substr(0, 100));
  for (char& c : name) c = ToLowerAscii(c);
  const FontCategory& found = SkinList::Category(*skin, name);
  std::shared_ptr<SkinFont> font = font_cache_.Get(found.face, found.size, found.style);
  if (font == nullptr || font->raster == nullptr) return 0;
  const Colour colour = static_cast<Colour>(found.colour) & 0xFFFFFF;
  OvFontInfo described{};
  described.size = found.size;
  described.colour = static_cast<int32_t>(PixelOf(colour));
  described.background =
      found.background < 0
          ? -1
          : static_cast<int32_t>(PixelOf(static_cast<Colour>(found.background) & 0xFFFFFF));
  described.style = static_cast<int32_t>(found.style);
  described.cellHeight = font->cell.y;
  std::memcpy(info, &described, sizeof described);
  for (std::size_t i = 0; i < fonts_.size(); ++i) {
    if (fonts_[i].font == font && fonts_[i].colour == colour) return static_cast<intptr_t>(i + 1);
  }
  if (fonts_.size() >= kMaxFonts) return 0;
  fonts_.push_back({std::move(font), colour});
  return static_cast<intptr_t>(fonts_.size());
}

const PluginPanel::FontHandle* PluginPanel::FontOf(intptr_t handle) const {
  if (handle < 1 || static_cast<std::size_t>(handle) > fonts_.size()) return nullptr;
  return &fonts_[static_cast<std::size_t>(handle) - 1];
}

}  // namespace ov
