#include "editor/soundfont_panel.h"

#include <cstdio>

#include "document/control.h"
#include "editor/skins/skin_list.h"
#include "editor/skins/text_painter.h"
#include "editor/view_root.h"
#include "editor/widgets/widget_text.h"
#include "media/soundfont_bank.h"
#include "platform/file_dialog.h"
#include "platform/window_port.h"

namespace ov {
namespace {

constexpr std::string_view kPanelFont = "tty";
constexpr Colour kOffColour = 0x3250DC;
constexpr Colour kRomColour = 0x0000F0;
// The panel's fill where the skin's "tty" category has no background.
constexpr Colour kPanelFill = 0x000000;
constexpr int32_t kTriangleLeft = 92;
constexpr int32_t kTriangleWidth = 9;

constexpr Rect kLoadArea{0, 44, 34, 56};
constexpr Rect kSwitchArea{40, 0, 63, 13};

bool Inside(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

std::string Format(const char* format, int32_t number) {
  char text[32];
  std::snprintf(text, sizeof text, format, number);
  return text;
}

}  // namespace

SoundfontPanelView::SoundfontPanelView(Ctl_Soundfont_base& module)
    : SelfDrawingView(module), module_(module) {}

SoundfontPanelView::~SoundfontPanelView() {
  if (asking_ != nullptr) asking_->Withdraw();
}

void SoundfontPanelView::Close() {
  // The answer would come to a panel no longer shown.
  if (asking_ != nullptr) asking_->Withdraw();
  asking_ = nullptr;
  SelfDrawingView::Close();
}

int32_t SoundfontPanelView::RowTop(Row row) const {
  switch (row) {
    case Row::kChannel:
      return module_.multi_channel() ? 3 : -1;
    case Row::kBank:
      return 15;
    case Row::kPreset:
      return 27;
    case Row::kNone:
      break;
  }
  return -1;
}

SoundfontPanelView::Row SoundfontPanelView::RowAt(Point p) const {
  if (module_.bank() == nullptr || p.x < kTriangleLeft - 1 ||
      p.x > kTriangleLeft + kTriangleWidth) {
    return Row::kNone;
  }
  for (const Row row : {Row::kChannel, Row::kBank, Row::kPreset}) {
    const int32_t top = RowTop(row);
    if (top >= 0 && p.y >= top - 1 && p.y <= top + 6) return row;
  }
  return Row::kNone;
}

void SoundfontPanelView::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  Colour fill = kPanelFill;
  if (Skin* skin = GetSkin()) {
    const int32_t background = SkinList::Category(*skin, kPanelFont).background;
    if (background >= 0) fill = static_cast<Colour>(background) & 0xFFFFFF;
  }
  canvas.FillRect(client, fill);
  canvas.PushClip(client);
  WidgetTextScope scope(canvas, *this, {kPanelFont}, TextState::Align::kLeft);
  canvas.Text().opaque = false;
  const Colour text_colour = canvas.Text().colour;
  const soundfont_bank* bank = module_.bank();
  if (bank == nullptr) {
    DrawTextLine(canvas, {0, 0}, "NOT LOADED");
  } else {
    const SoundfontChoice choice = module_.Choice(module_.CurrentChannel());
    if (module_.multi_channel()) {
      DrawTextLine(canvas, {0, 0}, Format("CH %2d", module_.CurrentChannel() + 1));
      if (!choice.on) canvas.Text().colour = kOffColour;
      DrawTextLine(canvas, {40, 0}, choice.on ? "[ON ]" : "[OFF]");
      canvas.Text().colour = text_colour;
    }
    DrawTextLine(canvas, {0, 12}, Format("BNK %3d", choice.bank));
    const int32_t preset = static_cast<int8_t>(choice.preset);
    std::string line = Format("%d - ", preset + 1);
    switch (bank->PresetState(choice.bank, preset)) {
      case 0:
        line += bank->PresetName(choice.bank, preset);
        break;
      case 2:
        line += "ROM SAMPLE NA";
        break;
      default:
        line += "EMPTY";
        break;
    }
    DrawTextLine(canvas, {0, 24}, line);
    if (module_.status_flag() != 0) {
      canvas.Text().colour = kRomColour;
      DrawTextLine(canvas, {50, 12}, "ROM SAMPLE");
      canvas.Text().colour = text_colour;
    }
    // The triangles stand over whatever text runs under them.
    for (const Row row : {Row::kChannel, Row::kBank, Row::kPreset}) {
      const int32_t top = RowTop(row);
      if (top < 0) continue;
      canvas.FillRect({kTriangleLeft - 1, top - 1, kTriangleLeft + kTriangleWidth + 1, top + 7},
                      fill);
      for (int32_t step = 0; step < 5; ++step) {
        canvas.FillRect({kTriangleLeft + step, top + step, kTriangleLeft + kTriangleWidth - step,
                         top + step + 1},
                        text_colour);
      }
    }
  }
  DrawTextLine(canvas, {1, 44}, "[LOAD]");
  canvas.PopClip();
}

bool SoundfontPanelView::Press(uint32_t, Point p) {
  if (Inside(kLoadArea, p)) {
    AskForFile();
  } else if (module_.multi_channel() && module_.bank() != nullptr && Inside(kSwitchArea, p)) {
    module_.ToggleCurrentChannel();
  } else if (const Row row = RowAt(p); row != Row::kNone) {
    OpenMenu(row);
  }
  return false;
}

void SoundfontPanelView::AskForFile() {
  COrvaneViewBase* root = Root();
  if (root == nullptr || root->Files() == nullptr || asking_ != nullptr) return;
  FileDialogRequest request;
  request.start = module_.loaded_name();
  request.types = {"sf2"};
  FileDialog* dialog = root->Files();
  // The dialog answers from a later idle call; a cancel changes nothing.
  if (!dialog->Ask(request, [this](const FileDialogAnswer& answer) {
        asking_ = nullptr;
        if (answer.chosen) module_.ChooseFile(answer.path);
      })) {
    return;
  }
  asking_ = dialog;
}

bool SoundfontPanelView::OpenMenu(Row row) {
  COrvaneViewBase* root = Root();
  const soundfont_bank* bank = module_.bank();
  const int32_t top = RowTop(row);
  if (root == nullptr || bank == nullptr || top < 0) return false;
  const SoundfontChoice choice = module_.Choice(module_.CurrentChannel());
  std::vector<std::string> texts;
  std::vector<int32_t> values;
  int32_t current = -1;
  const auto add = [&](std::string text, int32_t value, bool is_current) {
    if (is_current) current = static_cast<int32_t>(values.size());
    texts.push_back(std::move(text));
    values.push_back(value);
  };
  if (row == Row::kChannel) {
    for (int32_t c = 0; c < 16; ++c) {
      add(Format("Chan %2d", c + 1), c, c == module_.CurrentChannel());
    }
  } else if (row == Row::kBank) {
    for (int32_t b = 0; b <= 128; ++b) {
      if (bank->BankState(b)) add(Format("Bank %3d", b), b, b == choice.bank);
    }
  } else {
    for (int32_t p = 0; p < 128; ++p) {
      if (bank->PresetState(choice.bank, p) != 0) continue;
      add(Format("%3d - ", p + 1) + bank->PresetName(choice.bank, p), p, p == choice.preset);
    }
  }
  menu_values_ = values;
  const Point at = ToRoot({kTriangleLeft, top + 7});
  return root->ShowList(*this, texts, current, at,
                        [this, row](int32_t item) { MenuChosen(row, item); });
}

void SoundfontPanelView::MenuChosen(Row row, int32_t item) {
  if (item < 0 || item >= static_cast<int32_t>(menu_values_.size())) return;
  const int32_t value = menu_values_[static_cast<std::size_t>(item)];
  if (row == Row::kChannel) {
    module_.SetCurrentChannel(value);
  } else {
    module_.ChooseBankOrPreset(row == Row::kBank, value);
  }
}

void AddSoundfontPanelViews(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* module = dynamic_cast<Ctl_Soundfont_base*>(&object);
    if (module == nullptr || view_kind != kViewControlPanel) return nullptr;
    return PlacedAtModule(std::make_unique<SoundfontPanelView>(*module));
  });
}

}  // namespace ov
