#include "modules/level_curves.h"

#include <cmath>
#include <string_view>

namespace ov {
namespace {

template <typename Entry>
std::shared_ptr<const ULookup> Curve(std::string_view name, Entry entry) {
  return GetLookupTable<ULookup>(name, kLevelCurveSize, [&](ULookup& table) {
    table.entries.resize(kLevelCurveSize);
    for (int32_t i = 0; i < kLevelCurveSize; ++i) {
      table.entries[static_cast<size_t>(i)] = static_cast<float>(entry(i));
    }
  });
}

}  // namespace

std::shared_ptr<const ULookup> TruncExpCurve() {
  return Curve("UVCA Trunc Exp Curve", [](int32_t i) {
    return (std::exp(-3.0 * (1.0 - i / 512.0)) - std::exp(-3.0)) / (1.0 - std::exp(-3.0));
  });
}

std::shared_ptr<const ULookup> OldDecibelCurve() {
  return Curve("db Curve - old", [](int32_t i) {
    if (i == 0) return 0.0;
    double a = i * 0.09765625 - 50.0;
    if (a < -40.0) a = (a + 40.0) * 3.0 - 40.0;
    return std::pow(10.0, 0.1 * a);
  });
}

std::shared_ptr<const ULookup> DecibelCurve() {
  return Curve("db Curve", [](int32_t i) {
    if (i == 0) return 0.0;
    double a = (i * 0.001953125 - 1.0) * 3.8888888;
    if (a < -3.5) a = (a + 3.5) * 2.0 - 3.5;
    return std::pow(10.0, a / 2.0);
  });
}

std::shared_ptr<const ULookup> EqualPowerCurve() {
  return Curve("Equal Power Curve", [](int32_t i) { return std::sqrt(i / 512.0); });
}

std::shared_ptr<const ULookup> SinEqualPowerCurve() {
  return Curve("Sin Equal Power Curve", [](int32_t i) { return std::sin(i * 0.0030679617); });
}

}  // namespace ov
