#include "modules/wave_shaper.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <utility>

#include "engine/audio_master.h"
#include "engine/lookup_table.h"
#include "engine/saturating_cast.h"
#include "engine/media_file_thread.h"
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

void ug_wave_shaper::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  const int32_t number = link->Destination()->Number();
  if (number == kShape) {
    if (!ShapeChanged(plug(kShape)->TextValue())) return;  // the table follows
    AfterNewTable(time);
    return;
  }
  if (number == kSignalIn) plug(kSignalOut)->Transmit(time, state);
  if (!AwaitingTable()) SelectProcess();
}

bool ug_wave_shaper::ShapeChanged(std::string_view shape) {
  Shared& shared = *shared_;
  if (!shared.built || shared.built_from != shape) {
    BuildFromPoints(shape, shared.curves[shared.playing]);
    shared.built_from.assign(shape, 0, std::min(shape.size(), shared.built_from.capacity()));
    shared.built = true;
  }
  return true;
}

void ug_wave_shaper::AfterNewTable(uint32_t time) {
  if (plug(kSignalIn)->State() != ST_RUN) plug(kSignalOut)->Transmit(time, ST_STATIC);
  SelectProcess();
}

void ug_wave_shaper::SelectProcess() {
  SetProcessFunction(&ug_wave_shaper::Run);
  if (plug(kSignalIn)->State() != ST_RUN) EnterStatic();
}

// --- Formula tables built on the media file thread

namespace {

// Formula tables are built on the editor thread (at open) and on the media
// file thread (changes while running); the variables they share must not be
// written by both at once.
std::mutex& FormulaLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

// One module's formula builds: the audio thread asks for one at a time and
// takes the finished table over; the media thread builds it. Threads: Attach
// and Detach on the editor thread; Ask, Done, Finish and `wanted` on the
// audio thread; ServeMedia on the media thread.
class ug_wave_shaper2::Builder final : private MediaFileThread::Client {
 public:
  Builder() { wanted.reserve(UPlug::kTextCapacity); }
  ~Builder() override { Detach(); }
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;

  void Attach(std::shared_ptr<Evaluator> evaluator) {
    if (registered_) return;  // the media thread may read evaluator_ now
    evaluator_ = std::move(evaluator);
    MediaFileThread::Instance().Register(*this);
    registered_ = true;
  }
  // Returns once no build runs; one asked for and not taken is dropped.
  void Detach() {
    if (registered_) MediaFileThread::Instance().Unregister(*this);
    registered_ = false;
    state_.store(kIdle, std::memory_order_relaxed);
  }

  bool Idle() const { return state_.load(std::memory_order_acquire) == kIdle; }
  bool Done() const { return state_.load(std::memory_order_acquire) == kDone; }
  // Starts a build of `formula` into `target`, which nothing reads until
  // the build is done. Only when idle.
  void Ask(std::string_view formula, Curve& target) {
    length_ = std::min(formula.size(), text_.size());
    std::copy_n(formula.begin(), length_, text_.begin());
    target_ = &target;
    state_.store(kAsked, std::memory_order_release);
  }
  // The formula of the build asked for last.
  std::string_view Text() const { return {text_.data(), length_}; }
  // The finished table was taken over: the builder is idle again.
  void Finish() { state_.store(kIdle, std::memory_order_release); }

  // The latest shape asked for, reserved to a text plug's capacity.
  std::string wanted;

 private:
  enum State : int32_t { kIdle, kAsked, kDone };

  bool ServeMedia() override {
    if (state_.load(std::memory_order_acquire) != kAsked) return false;
    {
      const std::lock_guard held(FormulaLock());
      BuildFromFormula(Text(), *evaluator_, *target_);
    }
    state_.store(kDone, std::memory_order_release);
    return true;
  }

  std::atomic<int32_t> state_{kIdle};
  std::array<char, kFormulaLength> text_{};
  std::size_t length_ = 0;
  Curve* target_ = nullptr;
  std::shared_ptr<Evaluator> evaluator_;
  bool registered_ = false;  // editor thread
};

ug_wave_shaper2::~ug_wave_shaper2() = default;

std::unique_ptr<ug_base> ug_wave_shaper2::Clone() {
  if (builder_ == nullptr) builder_ = std::make_shared<Builder>();
  std::unique_ptr<ug_base> copy = ug_wave_shaper::Clone();
  auto& shaper = static_cast<ug_wave_shaper2&>(*copy);
  shaper.builder_ = builder_;
  shaper.evaluator_ = evaluator_;
  return copy;
}

void ug_wave_shaper2::Open() {
  if (evaluator_ == nullptr) evaluator_ = EvaluatorFor(Master()->Host());
  if (builder_ == nullptr) builder_ = std::make_shared<Builder>();
  builder_->Attach(evaluator_);
  ug_wave_shaper::Open();
  // The first table is built here, off the audio thread, from the value the
  // shape starts with: its status change then finds it built.
  const std::string_view shape =
      std::string_view(plug(kShape)->TextValue()).substr(0, kFormulaLength);
  Shared& shared = SharedTables();
  if (!shared.built || shared.built_from != shape) {
    const std::lock_guard held(FormulaLock());
    BuildFromFormula(shape, *evaluator_, shared.curves[shared.playing]);
    shared.built_from.assign(shape);
    shared.built = true;
  }
  builder_->wanted.assign(shape);
}

void ug_wave_shaper2::Close() {
  // A build not taken over is dropped: the table played still matches the
  // text it was built from, which the next open compares.
  if (builder_ != nullptr) builder_->Detach();
  ug_wave_shaper::Close();
}

bool ug_wave_shaper2::Building() const {
  const Builder& builder = *builder_;
  return !builder.Idle() || builder.wanted != SharedTables().built_from;
}

bool ug_wave_shaper2::AwaitingTable() const { return RunsFunction(&ug_wave_shaper2::AwaitTable); }

bool ug_wave_shaper2::ShapeChanged(std::string_view shape) {
  shape = shape.substr(0, kFormulaLength);
  Builder& builder = *builder_;
  Shared& shared = SharedTables();
  if (shape != builder.wanted) {
    builder.wanted.assign(shape);
    if (builder.Idle()) builder.Ask(shape, shared.curves[1 - shared.playing]);
  }
  if (!Building()) return true;
  SetProcessFunction(&ug_wave_shaper2::AwaitTable);
  return false;
}

void ug_wave_shaper2::AwaitTable(int32_t position, int32_t count) {
  Builder& builder = *builder_;
  Shared& shared = SharedTables();
  // Rendering offline, nobody listens in real time: the slice waits for the
  // table (up to ten seconds), so a render does not depend on the thread's
  // timing.
  if (!builder.Idle() && Master()->Host().RendersOffline()) {
    for (int waited = 0; waited < 10000 && !builder.Done(); ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  if (builder.Done()) {
    // The first copy to see it takes it over for all.
    shared.playing = 1 - shared.playing;
    shared.built_from.assign(builder.Text());
    builder.Finish();
    if (builder.wanted != shared.built_from) {
      builder.Ask(builder.wanted, shared.curves[1 - shared.playing]);
    }
  }
  Run(position, count);
  if (!Building()) AfterNewTable(Clock());
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
  const Curve& curve = shared_->curves[shared_->playing];
  for (int32_t i = position; i < position + count; ++i) output_[i] = Map(curve, input_[i]);
}

}  // namespace ov
