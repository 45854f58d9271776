#include "modules/wave_shaper.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/lookup_table.h"
#include "engine/saturating_cast.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/evaluator.h"
#include "modules/plug_table.h"

namespace ov {
namespace {

constexpr int32_t kSteps = ug_wave_shaper::kSteps;
constexpr int32_t kMaxPoints = 11;

// Overflowed or undefined values would poison every sample read near them.
float Entry(double value) {
  const auto entry = static_cast<float>(value);
  return std::isfinite(entry) ? FlushTableValue(entry) : 0.0f;
}

// A point coordinate: leading blanks and a plus sign allowed, read as far as
// it is a number; anything unreadable or non-finite counts as 0.
double ReadCoordinate(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && std::isfinite(value) ? value : 0.0;
}

void FinishCurve(ug_wave_shaper::Curve& curve) {
  curve[kSteps] = Entry(2.0 * curve[kSteps - 1] - curve[kSteps - 2]);
  curve[kSteps + 1] = curve[kSteps];  // read only with a zero fraction
}

}  // namespace

std::unique_ptr<ug_base> ug_wave_shaper::CreateInstance() const {
  return std::make_unique<ug_wave_shaper>();
}

std::unique_ptr<ug_base> ug_wave_shaper2::CreateInstance() const {
  return std::make_unique<ug_wave_shaper2>();
}

void ug_wave_shaper::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kWaveShaperPlugs, {input_, output_, ignore_program_change_}, descriptors);
}

void ug_wave_shaper::EnsureShared() {
  if (shared_ != nullptr) return;
  shared_ = std::make_shared<Shared>();
  shared_->built_from.reserve(UPlug::kTextCapacity);
}

std::unique_ptr<ug_base> ug_wave_shaper::Clone() {
  EnsureShared();
  std::unique_ptr<ug_base> copy = ug_base::Clone();
  static_cast<ug_wave_shaper&>(*copy).shared_ = shared_;
  return copy;
}

void ug_wave_shaper::Open() {
  EnsureShared();
  SetProcessFunction(&ug_wave_shaper::Run);
  ug_base::Open();
}

void ug_wave_shaper2::Open() {
  if (evaluator_ == nullptr) evaluator_ = EvaluatorFor(Master()->Host());
  ug_wave_shaper::Open();
}

void ug_wave_shaper::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const bool input_runs = plug(kSignalIn)->State() == ST_RUN;
  if (link->Destination()->Number() == kShape) {
    const std::string& shape = plug(kShape)->TextValue();
    Shared& shared = *shared_;
    if (!shared.built || shared.built_from != shape) {
      Build(shape, shared.curve);
      shared.built_from.assign(shape, 0, std::min(shape.size(), shared.built_from.capacity()));
      shared.built = true;
    }
    // The new curve reaches a static output once.
    if (!input_runs) plug(kSignalOut)->Transmit(time, ST_STATIC);
  } else if (link->Destination()->Number() == kSignalIn) {
    plug(kSignalOut)->Transmit(time, state);
  }
  SetProcessFunction(&ug_wave_shaper::Run);
  if (!input_runs) EnterStatic();
}

void ug_wave_shaper::Build(std::string_view shape, Curve& curve) { BuildFromPoints(shape, curve); }

void ug_wave_shaper2::Build(std::string_view shape, Curve& curve) {
  BuildFromFormula(shape, *evaluator_, curve);
}

void ug_wave_shaper::BuildFromPoints(std::string_view points, Curve& curve) {
  // Panel coordinates: 0 ... 100 across, y growing downwards; points not
  // given are (0, 0).
  double px[kMaxPoints] = {};
  double py[kMaxPoints] = {};
  std::size_t at = 0;
  for (int32_t k = 0; k < kMaxPoints; ++k) {
    const std::size_t open = points.find('(', at);
    const std::size_t comma = open == std::string_view::npos ? open : points.find(',', open);
    const std::size_t close = comma == std::string_view::npos ? comma : points.find(')', comma);
    if (close == std::string_view::npos) break;
    px[k] = (ReadCoordinate(points.substr(open + 1, comma - open - 1)) + 5.0) * 10.0;
    py[k] = (5.0 - ReadCoordinate(points.substr(comma + 1, close - comma - 1))) * 10.0;
    at = close + 1;
  }
  int32_t i = 0;
  double segment_start = 0.0;
  for (int32_t k = 0; k + 1 < kMaxPoints; ++k) {
    const double end = px[k + 1] * 5.12;
    // Compared as doubles, so no end however large overflows an index.
    const int32_t stop = end >= kSteps ? kSteps : static_cast<int32_t>(std::max(end, 0.0));
    if (i < stop) {  // then i < end: the slope's divisor is not 0
      const double slope = (py[k + 1] - py[k]) / (i - end) * 0.01;
      const double offset = 0.5 - py[k] * 0.01 - segment_start * slope;
      for (; i < stop; ++i) curve[i] = Entry(i * slope + offset);
    }
    segment_start = end;
  }
  FinishCurve(curve);
}

void ug_wave_shaper2::BuildFromFormula(std::string_view formula, Evaluator& evaluator,
                                       Curve& curve) {
  formula = formula.substr(0, kFormulaLength);
  evaluator.ReadEnvironment(formula);
  for (int32_t i = 0; i <= kSteps; ++i) {
    evaluator.SetVariable("x", (static_cast<double>(i) / kSteps - 0.5) * 10.0);
    double result = 0.0;
    bool assigned = false;
    evaluator.Evaluate(formula, result, assigned);  // errors leave the partial result
    curve[i] = Entry(result * 0.1);
  }
  curve[kSteps + 1] = curve[kSteps];
}

float ug_wave_shaper::Map(const Curve& curve, float v) {
  const float t = (v + 0.5f) * static_cast<float>(kSteps);
  int32_t n = SaturatingCast<int32_t>(t);
  float f = t - static_cast<float>(n);
  if (n < 0 || std::isnan(f)) {
    n = 0;
    f = 0.0f;
  } else if (n >= kSteps) {
    n = kSteps;
    f = 0.0f;
  }
  return curve[n] + f * (curve[n + 1] - curve[n]);
}

void ug_wave_shaper::Run(int32_t position, int32_t count) {
  const Curve& curve = shared_->curve;
  for (int32_t i = position; i < position + count; ++i) output_[i] = Map(curve, input_[i]);
}

}  // namespace ov
