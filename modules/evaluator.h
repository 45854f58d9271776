// A small formula evaluator for the wave shapers: numbers, variables,
// constants "pi" and "e", environment values ("_name"), + - * / % ^,
// parentheses and a fixed set of functions, all in 64-bit floats.
//
// Evaluating allocates nothing, takes no lock, reads no environment and
// never recurses without bound, so it may run on the audio thread; numbers
// convert in the C locale whatever the host set. The environment values a
// formula names are read once, by ReadEnvironment, before it is evaluated.
//
// Threads: one evaluator belongs to one plug-in instance; it is used only by
// the thread running that instance's engine (audio thread, or the editor
// thread while audio is stopped). EvaluatorFor: editor thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace ov {

class EngineHost;

class Evaluator {
 public:
  enum Error : int32_t {
    kOk = 0,
    kSyntax = 1,
    kUnbalanced = 2,
    kDivisionByZero = 3,
    kUnknownVariable = 4,
    kNoFreeSlot = 5,
    kUnknownFunction = 6,
    kArgumentCount = 7,
    kMissingArgument = 8,
    kEmpty = 9,
  };
  static constexpr std::size_t kSlots = 50;
  static constexpr std::size_t kNameLength = 15;
  // Parentheses and calls nested deeper than this are a syntax error, so a
  // hostile text cannot exhaust the stack.
  static constexpr int32_t kMaxNesting = 100;
  // Environment values kept at once: more than a 200-character formula can
  // name ("_a+_b+..." names 67).
  static constexpr std::size_t kEnvironmentSlots = 72;

  // Removes any variable of that name, then stores the name (cut to 15
  // characters) and value in the first free slot; false when none is free.
  bool SetVariable(std::string_view name, double value);
  void ClearVariable(std::string_view name);

  // 0 or an Error. `result` is 0 first; after an error it holds what had
  // been stored into it when the error was found. `assigned` tells whether
  // the text assigned or cleared a variable.
  int32_t Evaluate(std::string_view text, double& result, bool& assigned);

  // Reads the environment variables that the "_name" words of `text` name
  // (the rest of the name, in lower case) and keeps their values for
  // Evaluate, in place of those read before. A name not read here, or not
  // set, is an unknown variable. Not on the audio thread.
  void ReadEnvironment(std::string_view text);

 private:
  struct Variable {
    std::array<char, kNameLength> name{};
    uint8_t length = 0;  // 0: free slot
    double value = 0.0;
  };
  class Parser;

  static const Variable* FindIn(std::span<const Variable> table, std::string_view name);
  const Variable* Find(std::string_view name) const;
  const Variable* FindEnvironment(std::string_view name) const;

  std::array<Variable, kSlots> variables_{};
  std::array<Variable, kEnvironmentSlots> environment_{};  // names without "_"
};

// The evaluator of the plug-in instance that `host` is the application of:
// its variables are shared by every module of that instance and live as long
// as one of them holds the evaluator. Editor thread.
std::shared_ptr<Evaluator> EvaluatorFor(const EngineHost& host);

}  // namespace ov
