#include "modules/evaluator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <system_error>

namespace ov {
namespace {

struct Function {
  std::string_view name;
  int32_t arguments;
  double (*apply)(const double* a);
};

constexpr Function kFunctions[] = {
    {"sin", 1, [](const double* a) { return std::sin(a[0]); }},
    {"cos", 1, [](const double* a) { return std::cos(a[0]); }},
    {"tan", 1, [](const double* a) { return std::tan(a[0]); }},
    {"asin", 1, [](const double* a) { return std::asin(a[0]); }},
    {"acos", 1, [](const double* a) { return std::acos(a[0]); }},
    {"atan", 1, [](const double* a) { return std::atan(a[0]); }},
    {"sinh", 1, [](const double* a) { return std::sinh(a[0]); }},
    {"cosh", 1, [](const double* a) { return std::cosh(a[0]); }},
    {"tanh", 1, [](const double* a) { return std::tanh(a[0]); }},
    {"exp", 1, [](const double* a) { return std::exp(a[0]); }},
    {"log", 1, [](const double* a) { return std::log(a[0]); }},
    {"log10", 1, [](const double* a) { return std::log10(a[0]); }},
    {"sqrt", 1, [](const double* a) { return std::sqrt(a[0]); }},
    {"floor", 1, [](const double* a) { return std::floor(a[0]); }},
    {"ceil", 1, [](const double* a) { return std::ceil(a[0]); }},
    {"abs", 1, [](const double* a) { return std::fabs(a[0]); }},
    {"hypot", 2, [](const double* a) { return std::hypot(a[0], a[1]); }},
    {"deg", 1, [](const double* a) { return a[0] * 57.29577951308232; }},
    {"rad", 1, [](const double* a) { return a[0] * 0.017453292519943295; }},
    {"sgn", 1, [](const double* a) { return a[0] >= 0.0 ? 1.0 : -1.0; }},
    {"min", 2, [](const double* a) { return std::min(a[0], a[1]); }},
    {"max", 2, [](const double* a) { return std::max(a[0], a[1]); }},
};
constexpr int32_t kMaxArguments = 3;

constexpr std::pair<std::string_view, double> kConstants[] = {
    {"pi", 3.141592653589793},
    {"e", 2.718281828459045},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A run of digits and points, read as far as it is a number (a second point
// ends it); a number too large for a double is infinite, one too small 0.
double ReadDecimal(std::string_view run) {
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(run.data(), run.data() + run.size(), value, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    const std::string_view whole = run.substr(0, run.find('.'));
    const bool large = whole.find_first_not_of('0') != std::string_view::npos;
    return large ? HUGE_VAL : 0.0;
  }
  return error == std::errc() ? value : 0.0;
}

}  // namespace

class Evaluator::Parser {
 public:
  Parser(Evaluator& owner, std::string_view text) : owner_(owner), text_(text) {}

  // Calls `take` with each name of the text, up to the first character no
  // token begins with (evaluation never reads past it).
  template <typename Take>
  void EachName(Take take) {
    for (Next(); kind_ != kEnd && kind_ != kBad; Next()) {
      if (kind_ == kName) take(Name());
    }
  }

  int32_t Run(double& result, bool& assigned) {
    Next();
    if (kind_ == kEnd) return kEmpty;
    return Assignment(result, assigned);
  }

 private:
  enum Kind { kEnd, kNumber, kName, kDelimiter, kBad };

  void Next() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t')) {
      ++position_;
    }
    name_length_ = 0;
    token_start_ = position_;
    if (position_ >= text_.size()) {
      kind_ = kEnd;
      return;
    }
    const char c = text_[position_];
    if (IsDigit(c) || c == '.') {
      const std::size_t start = position_;
      while (position_ < text_.size() && (IsDigit(text_[position_]) || text_[position_] == '.')) {
        ++position_;
      }
      number_ = ReadDecimal(text_.substr(start, position_ - start));
      kind_ = kNumber;
    } else if (IsLetter(c) || c == '_') {
      while (position_ < text_.size()) {
        const char n = text_[position_];
        if (!IsLetter(n) && !IsDigit(n) && n != '_') break;
        if (name_length_ < kNameLength) name_[name_length_++] = Lower(n);
        ++position_;
      }
      kind_ = kName;
    } else if (std::string_view("+-*/%^(),=").find(c) != std::string_view::npos) {
      delimiter_ = c;
      ++position_;
      kind_ = kDelimiter;
    } else {
      kind_ = kBad;
    }
  }

  bool Is(char delimiter) const { return kind_ == kDelimiter && delimiter_ == delimiter; }
  std::string_view Name() const { return {name_.data(), name_length_}; }

  int32_t Assignment(double& r, bool& assigned) {
    if (kind_ == kName) {
      // A name immediately followed by "=": look one token ahead.
      const std::size_t name_start = token_start_;
      const std::array<char, kNameLength> name = name_;
      const std::size_t length = name_length_;
      Next();
      if (Is('=')) {
        const std::string_view target(name.data(), length);
        assigned = true;
        Next();
        if (kind_ == kEnd) {
          owner_.ClearVariable(target);
          return kOk;
        }
        if (const int32_t error = Sum(r)) return error;
        return owner_.SetVariable(target, r) ? kOk : kNoFreeSlot;
      }
      position_ = name_start;  // not an assignment: read the name again
      Next();
    }
    return Sum(r);
  }

  int32_t Sum(double& r) {
    if (const int32_t error = Product(r)) return error;
    while (Is('+') || Is('-')) {
      const char op = delimiter_;
      Next();
      double t = 0.0;
      if (const int32_t error = Product(t)) return error;
      r = op == '+' ? r + t : r - t;
    }
    return kOk;
  }

  int32_t Product(double& r) {
    if (const int32_t error = Power(r)) return error;
    while (Is('*') || Is('/') || Is('%')) {
      const char op = delimiter_;
      Next();
      double t = 0.0;
      if (const int32_t error = Power(t)) return error;
      if (op == '*') {
        r *= t;
      } else if (t == 0.0) {
        return kDivisionByZero;
      } else {
        r = op == '/' ? r / t : std::fmod(r, t);
      }
    }
    return kOk;
  }

  // The sign binds tighter than the power, and only one "^" is taken.
  int32_t SignedPrimary(double& r) {
    const bool negative = Is('-');
    if (negative || Is('+')) Next();
    if (const int32_t error = Primary(r)) return error;
    if (negative) r = -r;
    return kOk;
  }

  int32_t Power(double& r) {
    if (const int32_t error = SignedPrimary(r)) return error;
    if (!Is('^')) return kOk;
    Next();
    double t = 0.0;
    if (const int32_t error = SignedPrimary(t)) return error;
    r = std::pow(r, t);
    return kOk;
  }

  int32_t Primary(double& r) {
    if (Is('(')) {
      if (++depth_ > kMaxNesting) return kSyntax;
      Next();
      if (Is(')')) return kMissingArgument;
      bool assigned = false;
      if (const int32_t error = Assignment(r, assigned)) return error;
      if (!Is(')')) return kUnbalanced;
      --depth_;
      Next();
      return kOk;
    }
    if (kind_ == kNumber) {
      r = number_;
      Next();
      return kOk;
    }
    if (kind_ != kName) return kSyntax;
    const std::array<char, kNameLength> name = name_;
    const std::string_view called(name.data(), name_length_);
    Next();
    if (Is('(')) return Call(called, r);
    return Value(called, r);
  }

  int32_t Call(std::string_view called, double& r) {
    if (++depth_ > kMaxNesting) return kSyntax;
    double arguments[kMaxArguments] = {};
    int32_t count = 0;
    do {
      Next();  // past "(" or ","
      if (Is(')') || Is(',')) return kMissingArgument;
      bool assigned = false;
      if (const int32_t error = Assignment(arguments[count], assigned)) return error;
      ++count;
    } while (count < kMaxArguments && Is(','));
    Next();  // the closing parenthesis, whatever it is
    --depth_;
    const auto* function = std::find_if(std::begin(kFunctions), std::end(kFunctions),
                                        [&](const Function& f) { return f.name == called; });
    if (function == std::end(kFunctions)) return kUnknownFunction;
    if (function->arguments != count) return kArgumentCount;
    r = function->apply(arguments);
    return kOk;
  }

  int32_t Value(std::string_view name, double& r) {
    if (name.front() == '_') {
      const Variable* value = owner_.FindEnvironment(name.substr(1));
      if (value == nullptr) return kUnknownVariable;
      r = value->value;
      return kOk;
    }
    if (const Variable* variable = owner_.Find(name)) {
      r = variable->value;
      return kOk;
    }
    for (const auto& [constant, value] : kConstants) {
      if (constant == name) {
        r = value;
        return kOk;
      }
    }
    return kUnknownVariable;
  }

  Evaluator& owner_;
  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t token_start_ = 0;
  Kind kind_ = kEnd;
  double number_ = 0.0;
  char delimiter_ = 0;
  std::array<char, kNameLength> name_{};
  std::size_t name_length_ = 0;
  int32_t depth_ = 0;
};

namespace {

// The value as a formula reads it: leading blanks and a sign allowed, then
// as far as it is a number.
double EnvironmentNumber(std::string_view text) {
  text = text.substr(std::min(text.find_first_not_of(" \t"), text.size()));
  const bool negative = !text.empty() && text.front() == '-';
  if (negative || (!text.empty() && text.front() == '+')) text.remove_prefix(1);
  const std::size_t run = std::min(text.find_first_not_of("0123456789."), text.size());
  return ReadDecimal(text.substr(0, run)) * (negative ? -1.0 : 1.0);
}

}  // namespace

void Evaluator::ReadEnvironment(std::string_view text) {
  for (Variable& slot : environment_) slot.length = 0;
  Parser(*this, text).EachName([this](std::string_view name) {
    if (name.size() < 2 || name.front() != '_') return;
    name.remove_prefix(1);
    if (FindEnvironment(name) != nullptr) return;
    const auto free = std::find_if(environment_.begin(), environment_.end(),
                                   [](const Variable& slot) { return slot.length == 0; });
    if (free == environment_.end()) return;
    std::array<char, kNameLength + 1> key{};
    std::copy(name.begin(), name.end(), key.begin());
    const char* value = std::getenv(key.data());
    if (value == nullptr) return;
    std::copy(name.begin(), name.end(), free->name.begin());
    free->length = static_cast<uint8_t>(name.size());
    free->value = EnvironmentNumber(value);
  });
}

const Evaluator::Variable* Evaluator::FindIn(std::span<const Variable> table,
                                             std::string_view name) {
  for (const Variable& variable : table) {
    if (variable.length != 0 && std::string_view(variable.name.data(), variable.length) == name) {
      return &variable;
    }
  }
  return nullptr;
}

const Evaluator::Variable* Evaluator::FindEnvironment(std::string_view name) const {
  return FindIn(environment_, name);
}

const Evaluator::Variable* Evaluator::Find(std::string_view name) const {
  return FindIn(variables_, name);
}

bool Evaluator::SetVariable(std::string_view name, double value) {
  name = name.substr(0, kNameLength);
  if (name.empty()) return false;
  ClearVariable(name);
  for (Variable& variable : variables_) {
    if (variable.length != 0) continue;
    std::copy(name.begin(), name.end(), variable.name.begin());
    variable.length = static_cast<uint8_t>(name.size());
    variable.value = value;
    return true;
  }
  return false;
}

void Evaluator::ClearVariable(std::string_view name) {
  name = name.substr(0, kNameLength);
  for (Variable& variable : variables_) {
    if (variable.length != 0 && std::string_view(variable.name.data(), variable.length) == name) {
      variable.length = 0;
    }
  }
}

int32_t Evaluator::Evaluate(std::string_view text, double& result, bool& assigned) {
  result = 0.0;
  assigned = false;
  Parser parser(*this, text);
  return parser.Run(result, assigned);
}

std::shared_ptr<Evaluator> EvaluatorFor(const EngineHost& host) {
  static std::mutex lock;
  static std::map<const EngineHost*, std::weak_ptr<Evaluator>> evaluators;
  const std::lock_guard<std::mutex> held(lock);
  std::erase_if(evaluators, [](const auto& entry) { return entry.second.expired(); });
  std::weak_ptr<Evaluator>& slot = evaluators[&host];
  std::shared_ptr<Evaluator> evaluator = slot.lock();
  if (evaluator == nullptr) {
    evaluator = std::make_shared<Evaluator>();
    slot = evaluator;
  }
  return evaluator;
}

}  // namespace ov
