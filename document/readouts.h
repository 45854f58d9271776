// Modules whose panel shows what their generator reports: the meters, which
// read the generator's displayed value when it asks for a refresh, and the
// text terminal, which collects the lines its generator prints. Listeners
// hear kNotifyValueChanged or kNotifyContentsChanged (with the line) and
// redraw.
//
// Threads: editor only.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "document/control.h"

namespace ov {

// `Ctl_LED` and `Ctl_PeakMeter`: one bitmap control driven by 0 .. 1.
class MeterPanel : public CControl {
 public:
  // The bitmap control's value: the displayed value x 0.01 (the LED is 0 or
  // 1); 0 before the first refresh.
  float bitmap_value() const { return bitmap_value_; }

 protected:
  void OnRefresh(ug_base& generator) override;

 private:
  float bitmap_value_ = 0.0f;
};

class Ctl_LED : public MeterPanel {
 public:
  static constexpr const SerialClass& kClass = kCtl_LED;
  const SerialClass& GetClass() const override { return kClass; }
};

class Ctl_PeakMeter : public MeterPanel {
 public:
  static constexpr const SerialClass& kClass = kCtl_PeakMeter;
  const SerialClass& GetClass() const override { return kClass; }
};

// `Ctl_VoltMeter`: one label with the volts.
class Ctl_VoltMeter : public CControl {
 public:
  static constexpr const SerialClass& kClass = kCtl_VoltMeter;
  const SerialClass& GetClass() const override { return kClass; }
  // Empty before the first refresh.
  const std::string& label_text() const { return label_text_; }

 protected:
  void OnRefresh(ug_base& generator) override;

 private:
  std::string label_text_;
};

// `Ctl_tty`: a terminal of the most recent lines its generator printed.
class Ctl_tty : public Ctl_SelfDrawing {
 public:
  static constexpr const SerialClass& kClass = kCtl_tty;
  const SerialClass& GetClass() const override { return kClass; }
  static constexpr std::size_t kKeptLines = 200;

  const std::deque<std::string>& lines() const { return lines_; }

 protected:
  // Appends the text, less one ending newline, as a new line.
  void OnPrint(std::string_view line) override;

 private:
  std::deque<std::string> lines_;
};

}  // namespace ov
