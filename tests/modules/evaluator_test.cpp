// The formula evaluator: results and error codes with their partial results,
// variables and their slots, and hostile texts that must neither crash nor
// allocate.
#include "modules/evaluator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "tests/engine/counted_allocations.h"

// Evaluating runs on the audio thread and must allocate nothing.
namespace ov::test {
namespace {

struct Outcome {
  int32_t error;
  double result;
  bool assigned;
};

Outcome Evaluate(Evaluator& evaluator, const std::string& text) {
  Outcome outcome{};
  outcome.result = 12345.0;  // must be reset to 0 first
  outcome.error = evaluator.Evaluate(text, outcome.result, outcome.assigned);
  return outcome;
}

TEST(Evaluator, ResultsAndErrorsWithTheirPartialResults) {
  Evaluator evaluator;
  ASSERT_TRUE(evaluator.SetVariable("x", 3.0));
  const double kPi = 3.141592653589793;
  struct Case {
    const char* text;
    int32_t error;
    double result;
  };
  const Case cases[] = {
      {"2^3^2", 0, 8.0},  // one power only, the rest ignored
      {"-2^2", 0, 4.0},   // the sign binds to the primary
      {"2^-1", 0, 0.5},
      {"1+2*3-4/8", 0, 6.5},
      {"7 % 4 * 2", 0, 6.0},
      {"7%0", 3, 7.0},
      {"1/0", 3, 1.0},
      {"sin(x", 0, std::sin(3.0)},  // the call's ")" is not checked
      {"(x", 2, 3.0},
      {"(x))", 0, 3.0},
      {"()", 8, 0.0},
      {"hypot(3)", 7, 0.0},
      {"hypot(3,4)", 0, 5.0},
      {"max(1,)", 8, 0.0},
      {"min(2, max(1, 7))", 0, 2.0},
      {"foo(1)", 6, 0.0},
      {"nothere + 1", 4, 0.0},
      {"2 * nothere", 4, 2.0},
      {"", 9, 0.0},
      {" \t ", 9, 0.0},
      {"PI", 0, kPi},
      {"pi * E", 0, kPi * 2.718281828459045},
      {"SIN(X)", 0, std::sin(3.0)},
      {"1.5.5", 0, 1.5},  // a second point ends the number
      {"2 $ 3", 0, 2.0},  // text after a complete expression is ignored
      {"$", 1, 0.0},
      {"1 +", 1, 1.0},
      {")", 1, 0.0},
      {"deg(pi)", 0, 180.0},
      {"rad(180)", 0, kPi},
      {"sgn(0) + sgn(-2)", 0, 0.0},
      {"abs(-2) + floor(2.5) + ceil(2.5) + sqrt(16)", 0, 11.0},
      {"log(e) + log10(1000)", 0, 4.0},
      {"averyveryverylongname_is_cut", 4, 0.0},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Evaluate(evaluator, c.text);
    EXPECT_EQ(outcome.error, c.error) << c.text;
    EXPECT_NEAR(outcome.result, c.result, 1e-12) << c.text;
    EXPECT_FALSE(outcome.assigned) << c.text;
  }
}

TEST(Evaluator, VariablesAreAssignedClearedAndLimitedToFiftySlots) {
  Evaluator evaluator;
  evaluator.SetVariable("x", 1.5);
  Outcome outcome = Evaluate(evaluator, "y=2*x");
  EXPECT_EQ(outcome.error, 0);
  EXPECT_EQ(outcome.result, 3.0);
  EXPECT_TRUE(outcome.assigned);
  EXPECT_EQ(Evaluate(evaluator, "y").result, 3.0);
  EXPECT_EQ(Evaluate(evaluator, "Y + 1").result, 4.0);
  outcome = Evaluate(evaluator, "y=");
  EXPECT_EQ(outcome.error, 0);
  EXPECT_TRUE(outcome.assigned);
  EXPECT_EQ(Evaluate(evaluator, "y").error, Evaluator::kUnknownVariable);
  // A variable shadows a constant; names are cut to 15 characters.
  Evaluate(evaluator, "pi = 3");
  EXPECT_EQ(Evaluate(evaluator, "pi").result, 3.0);
  Evaluate(evaluator, "abcdefghijklmnopqrst = 7");
  EXPECT_EQ(Evaluate(evaluator, "abcdefghijklmnoXYZ").result, 7.0);
  // x, pi and the long name hold three slots; 47 more fill the table.
  for (int i = 0; i < 47; ++i) {
    ASSERT_EQ(Evaluate(evaluator, "v" + std::to_string(i) + "=" + std::to_string(i)).error, 0);
  }
  outcome = Evaluate(evaluator, "w = 5");
  EXPECT_EQ(outcome.error, Evaluator::kNoFreeSlot);
  EXPECT_EQ(outcome.result, 5.0);
  EXPECT_EQ(Evaluate(evaluator, "v3 = 9").error, 0);  // reassigning frees its own slot first
  Evaluate(evaluator, "v4 =");
  EXPECT_EQ(Evaluate(evaluator, "w = 5").error, 0);
}

TEST(Evaluator, EnvironmentValuesAreReadOnceBeforeEvaluating) {
  Evaluator evaluator;
  ::setenv("ovevaltest", "  -2.5", 1);
  ::setenv("ovevalother", "4", 1);
  evaluator.ReadEnvironment("_OvEvalTest * 2");
  // Evaluating reads no environment: a later change, or a name the text
  // read did not name, is not seen until the next reading.
  ::setenv("ovevaltest", "7", 1);
  counting_allocations = true;
  const Outcome read = Evaluate(evaluator, "_OvEvalTest * 2");
  const Outcome other = Evaluate(evaluator, "_ovevalother");
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), 0);
  EXPECT_EQ(read.error, 0);
  EXPECT_EQ(read.result, -5.0);
  EXPECT_EQ(other.error, Evaluator::kUnknownVariable);
  evaluator.ReadEnvironment("_ovevalother + _ovevaltest");
  EXPECT_EQ(Evaluate(evaluator, "_ovevalother + _ovevaltest").result, 11.0);
  ::unsetenv("ovevaltest");
  ::unsetenv("ovevalother");
  evaluator.ReadEnvironment("_ovevaltest");
  EXPECT_EQ(Evaluate(evaluator, "_ovevaltest").error, Evaluator::kUnknownVariable);
}

TEST(Evaluator, HostileTextsNeitherCrashNorAllocate) {
  std::vector<std::string> texts = {
      std::string(100000, '('),
      std::string(100000, '-'),
      std::string(400, '9'),
      "0." + std::string(400, '0') + "1",
      std::string(50, '(') + "1" + std::string(50, ')'),
      "exp(1000)",
      "sqrt(-1)",
      "log(0)",
      "1/0",
      "sin(sin(sin(sin(sin(sin(",
  };
  std::string nested = "x";
  while (nested.size() < 2000) nested = "sin(" + nested + ")";
  texts.push_back(nested);
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  texts.push_back(bytes);
  std::string rotated = bytes;
  for (int r = 0; r < 255; r += 17) {
    std::rotate(rotated.begin(), rotated.begin() + 17, rotated.end());
    texts.push_back(rotated);
  }

  Evaluator evaluator;
  evaluator.SetVariable("x", 0.25);
  std::vector<Outcome> outcomes(texts.size());
  counting_allocations = true;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    outcomes[i].error = evaluator.Evaluate(texts[i], outcomes[i].result, outcomes[i].assigned);
  }
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), 0);

  EXPECT_EQ(outcomes[0].error, Evaluator::kSyntax);  // nested beyond 100 levels
  EXPECT_EQ(outcomes[1].error, Evaluator::kSyntax);
  EXPECT_EQ(outcomes[2].error, 0);
  EXPECT_TRUE(std::isinf(outcomes[2].result));
  EXPECT_EQ(outcomes[3].error, 0);
  EXPECT_EQ(outcomes[3].result, 0.0);
  EXPECT_EQ(outcomes[4].result, 1.0);  // 50 levels are fine
  EXPECT_TRUE(std::isinf(outcomes[5].result));
  EXPECT_TRUE(std::isnan(outcomes[6].result));
  EXPECT_EQ(outcomes[8].error, Evaluator::kDivisionByZero);
}

}  // namespace
}  // namespace ov::test
