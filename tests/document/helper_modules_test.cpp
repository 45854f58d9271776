// The panel-side helper modules, wired as a panel wires them: each module's
// plugs are connected to probe plugs that hold the far end's value (and
// item list), values are written where a control or the user would write
// them, and what reaches the other side is read back as plug text (floats
// with three decimals, as plugs store them).
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/level_out.h"
#include "document/patch_manager.h"
#include "document/ui_converters.h"
#include "document/ui_patch_memory.h"
#include "document/ui_system_command.h"
#include "engine/data_files.h"
#include "modules/level_meter.h"
#include "platform/file_dialog.h"
#include "platform/message_sink.h"
#include "platform/text.h"
#include "tests/document/document_test_support.h"

namespace ov::testing {
namespace {

class Panel {
 public:
  Panel() : holder_(Add(*project_.main, "VCA")) {}

  CUG* Module(const char* key) { return Add(*project_.main, key); }
  // A panel-side input elsewhere holding `value`, with its own item list.
  CPlugFeature* Probe(int32_t datatype, const char* value, const char* items = "") {
    auto plug = std::make_unique<CPlugFeature>();
    plug->set_index(static_cast<int16_t>(100 + holder_->plugs().size()));
    plug->SetFeatureShape(DR_IN, datatype, kPlugPanelSide, items);
    plug->SetValueText(value);
    return static_cast<CPlugFeature*>(holder_->InsertPlug(std::move(plug)));
  }
  void Wire(CUG* module, const char* name, CPlug2* probe) {
    project_.main->Connect(Plug(*module, name), probe);
  }
  void Start() { project_.document.RunPasses(true); }
  void SetFileAsking(const FileAsking& asking) { project_.document.SetFileAsking(asking); }
  static void Press(CUG* module, const char* name) {
    Plug(*module, name)->WriteValueText("1");
    Plug(*module, name)->WriteValueText("0");
  }

 private:
  TestProject project_;
  CUG* holder_;
};

// Answers each question as the test says, from outside Ask as the desktop's
// dialog does.
class AnsweredDialog final : public FileDialog {
 public:
  bool Ask(const FileDialogRequest& request, Done done) override {
    if (done_ != nullptr) return false;
    asked = request;
    done_ = std::move(done);
    return true;
  }
  void Idle() override {}
  bool Asking() const override { return done_ != nullptr; }
  void Withdraw() override { done_ = nullptr; }
  void Answer(bool chosen, const std::string& path) {
    Done done = std::move(done_);
    done_ = nullptr;
    if (done != nullptr) done({chosen, path});
  }
  FileDialogRequest asked;

 private:
  Done done_;
};

// The data folder "/data/lib/"; names resolve inside it.
class LibraryFiles final : public DataFiles {
 public:
  const std::string& LibraryFolder() const override { return folder_; }
  std::string ResolveFilePath(std::string_view name, std::string_view) const override {
    return name.starts_with("/") ? std::string(name) : folder_ + std::string(name);
  }
  std::optional<DataFile> OpenDataFile(std::string_view, std::string_view) const override {
    return std::nullopt;
  }

 private:
  std::string folder_ = "/data/lib/";
};

// Increment2 over a list: the value after pressing `button` from `from`.
std::string Stepped(const char* items, const char* from, const char* button, bool wrap) {
  Panel panel;
  CUG* stepper = panel.Module("Increment2");
  CPlugFeature* value = panel.Probe(DT_ENUM, from, items);
  panel.Wire(stepper, "Value", value);
  panel.Start();
  Plug(*stepper, "Wrap")->WriteValueText(wrap ? "1" : "0");
  Panel::Press(stepper, button);
  return value->ValueText();
}

TEST(HelperModules, ConvertersFollowTheirRules) {
  struct Row {
    const char* what;
    std::function<std::string()> run;
    const char* expected;
  };
  const Row rows[] = {
      {"Increment at the end keeps it", [] { return Stepped("a,b,c", "2", "Increment", false); },
       "2"},
      {"Increment at the end wraps", [] { return Stepped("a,b,c", "2", "Increment", true); }, "0"},
      {"Decrement at the start keeps it", [] { return Stepped("a,b,c", "0", "Decrement", false); },
       "0"},
      {"Decrement at the start wraps", [] { return Stepped("a,b,c", "0", "Decrement", true); },
       "2"},
      {"Increment from outside the list", [] { return Stepped("a,b,c", "7", "Increment", false); },
       "0"},
      {"Decrement from outside the list", [] { return Stepped("a,b,c", "7", "Decrement", false); },
       "2"},
      {"Increment over explicit values", [] { return Stepped("x=5,y=9", "5", "Increment", true); },
       "9"},
      {"Int to List finds the position, and the value back",
       [] {
         Panel panel;
         CUG* module = panel.Module("Int to List");
         CPlugFeature* out = panel.Probe(DT_ENUM, "0", "a=5,b=7");
         panel.Wire(module, "Out", out);
         panel.Start();
         Plug(*module, "In")->WriteValueText("7");
         std::string seen = out->ValueText();
         out->WriteValueText("0");
         return seen + " " + Plug(*module, "In")->ValueText();
       },
       "1 5"},
      {"Float To Bool: strictly above 0, and true writes 10 back",
       [] {
         Panel panel;
         CUG* module = panel.Module("Float To Bool");
         CPlugFeature* out = panel.Probe(DT_BOOL, "0");
         panel.Wire(module, "Out", out);
         panel.Start();
         std::string seen = out->ValueText();
         Plug(*module, "In")->WriteValueText("0.001");
         seen += " " + out->ValueText() + " " + Plug(*module, "In")->ValueText();
         out->WriteValueText("0");
         out->WriteValueText("1");
         return seen + " " + Plug(*module, "In")->ValueText();
       },
       "0 1 0.001 10.000"},
      {"UiAnimationScaleDb's curve",
       [] {
         std::string seen;
         for (float db : {0.0f, -3.0f, -8.75f, -20.0f, 6.0f, -40.0f}) {
           seen += FormatFixed(ui_animation_scaler_db::Position(db), 4) + " ";
         }
         Panel panel;
         CUG* module = panel.Module("UiAnimationScaleDb");
         CPlugFeature* db = panel.Probe(DT_FLOAT, "0");
         panel.Wire(module, "Db", db);
         panel.Start();
         db->WriteValueText("-3");
         return seen + Plug(*module, "Animation Position")->ValueText();
       },
       "0.7000 0.4000 0.1125 0.0000 1.0000 0.0000 0.400"},
      {"Image to Frame: rounding, the way back, and no frames at all",
       [] {
         Panel panel;
         CUG* module = panel.Module("Image to Frame");
         CPlugFeature* frame = panel.Probe(DT_INT, "0");
         panel.Wire(module, "Frame Number", frame);
         panel.Start();
         Plug(*module, "Frame Count")->WriteValueText("10");
         Plug(*module, "Animation Position")->WriteValueText("0.5");
         std::string seen = frame->ValueText();
         frame->WriteValueText("9");
         seen += " " + Plug(*module, "Animation Position")->ValueText();
         Plug(*module, "Frame Count")->WriteValueText("0");
         Plug(*module, "Animation Position")->WriteValueText("0.7");
         seen += " " + frame->ValueText();
         frame->WriteValueText("3");
         return seen + " " + Plug(*module, "Animation Position")->ValueText();
       },
       "5 1.000 0 3.000"},
      {"Text To Float prints with automatic decimals, and reads a leading number",
       [] {
         Panel panel;
         CUG* module = panel.Module("Text To Float");
         CPlugFeature* value = panel.Probe(DT_FLOAT, "0");
         panel.Wire(module, "Value", value);
         panel.Start();
         std::string seen;
         for (const char* typed : {"0.05", "3.14159", "42.42", "1234.6"}) {
           value->WriteValueText(typed);
           seen += Plug(*module, "Text")->ValueText() + " ";
         }
         Plug(*module, "Decimal Places")->WriteValueText("1");
         seen += Plug(*module, "Text")->ValueText() + " ";
         Plug(*module, "Text")->WriteValueText("12.5 volts");
         seen += value->ValueText() + " ";
         Plug(*module, "Text")->WriteValueText("volts");
         return seen + value->ValueText();
       },
       "0.0500 3.14 42.4 1235 1234.6 12.500 0.000"},
      {"Bools to List follows its list; a false input changes nothing",
       [] {
         Panel panel;
         CUG* module = panel.Module("Bools to List");
         CPlugFeature* value = panel.Probe(DT_ENUM, "0", "a,b,c,d");
         panel.Wire(module, "Value", value);
         panel.Start();
         std::string seen = std::to_string(module->plugs().size());
         Plug(*module, "b")->WriteValueText("1");
         seen += " " + value->ValueText() + Plug(*module, "a")->ValueText();
         Plug(*module, "b")->WriteValueText("0");
         seen += " " + value->ValueText();
         value->SetListText("a,b");
         seen += " " + std::to_string(module->plugs().size());
         value->SetListText("a,b,c,d");
         panel.Wire(module, "d", panel.Probe(DT_BOOL, "0"));
         value->SetListText("a");
         return seen + " " + std::to_string(module->plugs().size());
       },
       "5 10 1 3 5"},
      {"List To Bools lights one output at a time; a deleted one is forgotten",
       [] {
         Panel panel;
         CUG* module = panel.Module("List To Bools");
         std::vector<CPlugFeature*> outputs;
         for (int i = 0; i < 3; ++i) {
           outputs.push_back(panel.Probe(DT_BOOL, "0"));
           // Each connection turns the spare into an output and adds a spare.
           panel.Wire(module, "Spare", outputs.back());
         }
         panel.Start();
         std::string seen;
         for (const char* list : {"0", "2"}) {
           Plug(*module, "List")->WriteValueText(list);
           for (CPlugFeature* output : outputs) seen += output->ValueText();
           seen += " ";
         }
         outputs[1]->WriteValueText("1");
         seen += Plug(*module, "List")->ValueText();
         // Deleting the lit output lights none, and the list goes back to 0.
         module->RemovePlug(module->plugs()[2].get());
         seen += " " + Plug(*module, "List")->ValueText() + " " + outputs[0]->ValueText() +
                 outputs[2]->ValueText();
         Plug(*module, "List")->WriteValueText("1");
         return seen + " " + outputs[0]->ValueText() + outputs[2]->ValueText();
       },
       "100 001 1 0 10 01"},
      {"the level meter's readings and tick",
       [] {
         using Level = ui_param_float_out;
         std::string seen;
         for (double shown : {Level::Shown(1.0f, Level::kDecibels), Level::Shown(1e-9f, Level::kDecibels),
                              Level::Shown(0.1f, Level::kVuStretch), Level::Shown(0.25f, Level::kVolts)}) {
           seen += Level::ShownText(shown) + " ";
         }
         seen += FormatFixed(Level::Position(-3.0, 0.0, 10.0, Level::kVuStretch), 2) + " ";
         seen += FormatFixed(Level::Position(-40.0, 0.0, 10.0, Level::kVuStretch), 2) + " ";
         seen += FormatFixed(Level::Position(5.0, 0.0, 10.0, Level::kVolts), 2) + " ";
         seen += FormatFixed(Level::Position(5.0, 3.0, 3.0, Level::kVolts), 2) + " ";
         return seen + std::to_string(ug_param_float_out::TickInterval(44100.0f, 10));
       },
       "10 -150 -10 2.5 0.40 0.00 0.50 0.00 4396"},
      {"PatchMemFloatIn: a position sets the stored value, the host's range follows Min and Max",
       [] {
         Panel panel;
         CUG* memory = panel.Module("PatchMemFloatIn");
         Plug(*memory, "Name")->SetValueText("Cutoff");
         panel.Start();
         PatchParameter* parameter = ParameterOf(*Plug(*memory, "Value"));
         Plug(*memory, "Animation Position")->WriteValueText("0.25");
         std::string seen = FormatFixed(parameter->CurrentValue().real, 4) + " " +
                            parameter->name() + " ";
         Plug(*memory, "Max Value")->WriteValueText("20");
         seen += FormatFixed(parameter->range().maximum, 1) + " ";
         seen += FormatFixed(parameter->CurrentValue().real, 4) + " ";
         parameter->SetNormalised(0.5f);  // the host
         seen += Plug(*memory, "Animation Position")->ValueText() + " ";
         Plug(*memory, "Min Value")->WriteValueText("20");
         Plug(*memory, "Value")->WriteValueText("7");  // no range left: position 0
         return seen + Plug(*memory, "Animation Position")->ValueText();
       },
       "2.5000 Cutoff 20.0 5.0000 0.500 0.000"},
      {"PatchMemFloatOut: the host's value shows as a position within Min and Max",
       [] {
         Panel panel;
         CUG* memory = panel.Module("PatchMemFloatOut");
         Plug(*memory, "Max Value")->SetValueText("20");  // as the project stores it
         panel.Start();
         ParameterOf(*Plug(*memory, "Value"))->SetNormalised(0.5f);
         return Plug(*memory, "Animation Position")->ValueText();
       },
       "0.500"},
      {"PatchMemListIn2 takes a choice written to the input it feeds",
       [] {
         Panel panel;
         CUG* memory = panel.Module("PatchMemListIn2");
         CUG* oscillator = panel.Module("Oscillator");
         panel.Wire(memory, "List Out", Plug(*oscillator, "Waveform"));
         panel.Start();
         Plug(*oscillator, "Waveform")->WriteValueText("3");
         std::string seen =
             std::to_string(ParameterOf(*Plug(*memory, "Value"))->CurrentValue().number);
         Plug(*oscillator, "Waveform")->WriteValueText("99999");  // beyond a list value
         return seen + " " +
                std::to_string(ParameterOf(*Plug(*memory, "Value"))->CurrentValue().number);
       },
       "3 32767"},
      {"PatchMemListIn2 takes the choice of an input it is newly connected to",
       [] {
         Panel panel;
         CUG* memory = panel.Module("PatchMemListIn2");
         CUG* oscillator = panel.Module("Oscillator");
         panel.Start();
         Plug(*oscillator, "Waveform")->WriteValueText("2");
         panel.Wire(memory, "List Out", Plug(*oscillator, "Waveform"));
         return std::to_string(ParameterOf(*Plug(*memory, "Value"))->CurrentValue().number);
       },
       "2"},
      {"Patch Mem - Text in: names inside the data folder come back relative, a cancel keeps "
       "the value",
       [] {
         Panel panel;
         CUG* memory = panel.Module("Patch Mem - Text in");
         CUG* player = panel.Module("Wave Player");
         panel.Wire(memory, "Text Out", Plug(*player, "File Name"));
         panel.Start();
         AnsweredDialog dialog;
         LibraryFiles files;
         panel.SetFileAsking({&dialog, &files, nullptr});
         std::string seen;
         for (const auto& [chosen, path] :
              std::vector<std::pair<bool, std::string>>{{true, "/data/lib/loops/a.wav"},
                                                        {true, "/data/library/b.wav"},
                                                        {true, "/data/lib/../c.wav"},
                                                        {false, ""}}) {
           Panel::Press(memory, "File Dialog");
           seen +=
               dialog.asked.start + " " + (dialog.asked.types.empty() ? "" : dialog.asked.types[0]);
           dialog.Answer(chosen, path);
           seen += " > " + ParameterOf(*Plug(*memory, "Value"))->CurrentValue().text + "; ";
         }
         return seen;
       },
       " wav > loops/a.wav; /data/lib/loops/a.wav wav > /data/library/b.wav; "
       "/data/library/b.wav wav > /data/lib/../c.wav; /data/lib/../c.wav wav > "
       "/data/lib/../c.wav; "},
      {"Patch Mem - Text in made after the dialog was set reaches it; a busy or missing dialog "
       "is reported",
       [] {
         Panel panel;
         AnsweredDialog dialog;
         LibraryFiles files;
         MessageSink messages;
         messages.SetLogToStderr(false);
         panel.SetFileAsking({&dialog, &files, &messages});
         CUG* memory = panel.Module("Patch Mem - Text in");
         panel.Start();
         std::string seen;
         for (const bool busy : {false, true}) {
           if (busy) dialog.Ask({}, [](const FileDialogAnswer&) {});
           Panel::Press(memory, "File Dialog");
           dialog.Answer(true, "/data/lib/x.txt");
           seen += ParameterOf(*Plug(*memory, "Value"))->CurrentValue().text + "; ";
         }
         panel.SetFileAsking({nullptr, &files, &messages});
         Panel::Press(memory, "File Dialog");
         for (const Message& message : messages.Messages()) seen += message.text + "; ";
         return seen;
       },
       "x.txt; x.txt; Patch Mem - Text in: another file dialog is open; answer it first; "
       "Patch Mem - Text in: no file dialog can be shown without the plug-in's editor; "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(row.run(), row.expected);
  }
}

// A fake xdg-open first on PATH records the arguments of each run; every
// case waits for the runs it expects (or a moment, when it expects none).
TEST(HelperModules, SystemCommandOpensDocumentsAndStartsNoProgram) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("ov_opener_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path log = dir / "log";
  {
    std::ofstream fake(dir / "xdg-open");
    fake << "#!/bin/sh\necho \"$@\" >> '" << log.string() << "'\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  const fs::path document = dir / "notes.txt";
  std::ofstream(document) << "text";
  const fs::path program = dir / "run-me";
  std::ofstream(program) << "#!/bin/sh\n";
  fs::permissions(program, fs::perms::owner_all);
  const std::string old_path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (dir.string() + ":" + old_path).c_str(), 1);
  unsetenv("ORVANE_ALLOW_COMMANDS");

  const auto logged = [&](std::size_t lines) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
      std::ifstream in(log);
      std::stringstream read;
      read << in.rdbuf();
      text = read.str();
      if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines && lines) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(lines ? 10 : 2));
    }
    return text;
  };
  struct Row {
    const char* what;
    const char* command;  // item value of the verb
    std::string filename;
    std::string expected_log;  // what the log holds afterwards
  };
  const std::string d = document.string();
  const Row rows[] = {
      {"the default verb opens the file", "0", d, d + "\n"},
      {"edit opens it too", "1", d, d + "\n" + d + "\n"},
      {"explore opens its folder", "2", d, d + "\n" + d + "\n" + dir.string() + "\n"},
      {"print is only told", "5", d, d + "\n" + d + "\n" + dir.string() + "\n"},
      {"a program runs nothing", "4", program.string(), d + "\n" + d + "\n" + dir.string() + "\n"},
      {"a missing file runs nothing", "0", (dir / "gone.txt").string(),
       d + "\n" + d + "\n" + dir.string() + "\n"},
  };
  std::size_t lines = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Panel panel;
    CUG* command = panel.Module("System Command2");
    // As a preset or a project would set it.
    Plug(*command, "Command")->SetValueText(row.command);
    Plug(*command, "Filename")->SetValueText(row.filename);
    panel.Start();
    Panel::Press(command, "Trigger");
    const std::size_t now = static_cast<std::size_t>(
        std::count(row.expected_log.begin(), row.expected_log.end(), '\n'));
    EXPECT_EQ(logged(now > lines ? now : 0), row.expected_log);
    lines = now;
  }
  setenv("PATH", old_path.c_str(), 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace ov::testing
