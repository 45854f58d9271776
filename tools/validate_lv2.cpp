#include "tools/validate_lv2.h"

#include <lv2/atom/atom.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "tools/lv2_host.h"

namespace ov {
namespace {

constexpr double kRate = 44100;
constexpr int32_t kBlock = 512;
using Channels = std::vector<std::vector<float>>;

struct Bundle {
  explicit Bundle(const std::string& path) : world(path, true) {
    const std::vector<std::string> uris = world.PluginUris();
    if (uris.size() == 1) uri = uris[0];
    problem = uris.empty()      ? "lilv finds no plug-in in the bundle"
              : uris.size() > 1 ? "the bundle describes " + std::to_string(uris.size()) +
                                      " plug-ins; ours hold one"
                                : "";
  }
  // Null after `*failure` says why.
  std::unique_ptr<Lv2Instance> Instance(double rate, int32_t block, CheckResult* failure) {
    auto instance = std::make_unique<Lv2Instance>(world, uri, rate, block);
    if (instance->Ok()) return instance;
    *failure = Fail("the plug-in does not instantiate at " + std::to_string(rate) + " Hz");
    return nullptr;
  }
  Lv2World world;
  std::string uri;
  std::string problem;
};

// A short phrase of two notes, in frames at `rate`.
std::vector<ScheduledMidi> Notes(double rate) {
  const auto at = [rate](double seconds) { return static_cast<int64_t>(seconds * rate); };
  return {{at(0.01), {0x90, 60, 100}},
          {at(0.05), {0x90, 67, 90}},
          {at(0.15), {0x80, 60, 0}},
          {at(0.2), {0x80, 67, 0}}};
}

std::vector<float> Sine(double rate) {
  std::vector<float> wave(static_cast<std::size_t>(rate / 100));
  for (std::size_t i = 0; i < wave.size(); ++i) {
    wave[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 100 * static_cast<double>(i) / rate));
  }
  return wave;
}

// Rendered as a host renders offline, so that every run plays the same.
Channels PlayPhrase(Lv2Instance& instance, double rate, const ValidateOptions& options) {
  if (instance.HasControl("freewheel")) instance.SetControl("freewheel", 1.0f);
  return instance.Play(Notes(rate), static_cast<int64_t>(rate * (options.quick ? 0.25 : 0.5)), true,
                       Sine(rate));
}

// "" when every sample is finite and, for an instrument that `must_sound`,
// some are not silent; else what is wrong.
std::string Faults(const Channels& channels, bool must_sound) {
  int64_t non_finite = 0;
  bool sounded = false;
  for (const auto& channel : channels) {
    for (const float sample : channel) {
      if (!std::isfinite(sample)) ++non_finite;
      if (sample != 0.0f) sounded = true;
    }
  }
  if (non_finite > 0) return std::to_string(non_finite) + " NaN/inf samples";
  if (must_sound && !sounded) return "only silence for notes played";
  return {};
}

// Runs `check` on the bundle of `options`, or fails naming why it does
// not load.
CheckResult WithBundle(const ValidateOptions& options,
                       const std::function<CheckResult(Bundle&)>& check) {
  Bundle bundle(options.library_path);
  return bundle.problem.empty() ? check(bundle) : Fail(bundle.problem);
}

CheckResult PlaysAt(const ValidateOptions& options, const std::vector<double>& rates,
                    const std::vector<int32_t>& blocks) {
  return WithBundle(options, [&](Bundle& bundle) {
    for (const double rate : rates) {
      for (const int32_t block : blocks) {
        CheckResult failure;
        std::unique_ptr<Lv2Instance> instance = bundle.Instance(rate, block, &failure);
        if (!instance) return failure;
        instance->Activate();
        const std::string faults =
            Faults(PlayPhrase(*instance, rate, options), instance->IsInstrument());
        instance->Deactivate();
        if (!faults.empty()) {
          return Fail(faults + " at " + std::to_string(static_cast<int>(rate)) +
                      " Hz in blocks of " + std::to_string(block));
        }
      }
    }
    return Pass("played");
  });
}

CheckResult Controls(const ValidateOptions& options) {
  return WithBundle(options, [&](Bundle& bundle) {
    CheckResult failure;
    std::unique_ptr<Lv2Instance> instance = bundle.Instance(kRate, kBlock, &failure);
    if (!instance) return failure;
    const std::vector<Lv2Instance::ControlRange> controls = instance->Controls();
    instance->Activate();
    for (const Lv2Instance::ControlRange& control : controls) {
      for (const float value : {control.minimum, control.maximum, control.default_value}) {
        instance->SetControl(control.symbol, value);
        const std::string faults = Faults(PlayPhrase(*instance, kRate, options), false);
        if (!faults.empty()) {
          return Fail(faults + " with " + control.symbol + " = " + std::to_string(value));
        }
      }
    }
    return Pass("every control at its minimum, maximum and default (" +
                std::to_string(controls.size()) + ")");
  });
}

// From a fresh engine, as the state left it.
Channels Restarted(Lv2Instance& instance, const ValidateOptions& options) {
  instance.Deactivate();
  instance.Activate();
  return PlayPhrase(instance, kRate, options);
}

CheckResult State(const ValidateOptions& options) {
  return WithBundle(options, [&](Bundle& bundle) {
    CheckResult failure;
    std::unique_ptr<Lv2Instance> saver = bundle.Instance(kRate, kBlock, &failure);
    std::unique_ptr<Lv2Instance> restorer = bundle.Instance(kRate, kBlock, &failure);
    if (!saver || !restorer) return failure;
    saver->Activate();
    PlayPhrase(*saver, kRate, options);
    const std::vector<Lv2SavedProperty> saved = saver->Save();
    if (saved.empty()) return Fail("the plug-in saves no state");
    restorer->Activate();
    if (restorer->Restore(saved) != 0) return Fail("its own saved state is refused");
    const std::vector<Lv2SavedProperty> again = restorer->Save();
    if (again.size() != saved.size() || again[0].value != saved[0].value) {
      return Fail("a restored state saves to other bytes");
    }
    if (Restarted(*saver, options) != Restarted(*restorer, options)) {
      return Fail("a restored state plays otherwise than the saved one");
    }
    // Hostile or damaged blobs: refused, and the plug-in plays on.
    const std::function<void(Lv2SavedProperty&)> damages[] = {
        [](Lv2SavedProperty& p) { p.value.resize(p.value.size() / 2); },
        [](Lv2SavedProperty& p) { p.value.assign(p.value.size(), 0xFF); },
        [](Lv2SavedProperty& p) { p.value.clear(); },
    };
    for (const auto& damage : damages) {
      std::vector<Lv2SavedProperty> bad = saved;
      damage(bad[0]);
      if (restorer->Restore(bad) == 0) return Fail("a damaged state is taken as good");
      const std::string faults = Faults(Restarted(*restorer, options), restorer->IsInstrument());
      if (!faults.empty()) return Fail(faults + " after a damaged state was refused");
    }
    if (restorer->Save()[0].value != saved[0].value) {
      return Fail("a refused state changed the plug-in");
    }
    return Pass(std::to_string(saved[0].value.size()) +
                " bytes saved and restored; damaged ones refused");
  });
}

CheckResult Presets(const ValidateOptions& options) {
  return WithBundle(options, [&](Bundle& bundle) {
    const std::vector<std::string> presets = bundle.world.Presets(bundle.uri);
    if (presets.empty()) return Skip("no presets");
    for (const std::string& preset : presets) {
      CheckResult failure;
      std::unique_ptr<Lv2Instance> instance = bundle.Instance(kRate, kBlock, &failure);
      if (!instance) return failure;
      if (!instance->ApplyPreset(preset)) return Fail(preset + " does not load");
      instance->Activate();
      const std::string faults =
          Faults(PlayPhrase(*instance, kRate, options), instance->IsInstrument());
      if (!faults.empty()) return Fail(faults + " with " + preset);
    }
    return Pass(std::to_string(presets.size()) + " presets applied and played");
  });
}

}  // namespace

bool IsLv2Bundle(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

CheckResult LoadBundle(const ValidateOptions& options) {
  return WithBundle(options, [&](Bundle& bundle) {
    const LilvPlugin* plugin = bundle.world.Plugin(bundle.uri);
    if (!lilv_plugin_verify(plugin))
      return Fail(bundle.uri + ": lilv finds its description invalid");
    CheckResult failure;
    std::unique_ptr<Lv2Instance> instance = bundle.Instance(kRate, kBlock, &failure);
    if (!instance) return failure;
    instance->Activate();
    instance->Deactivate();
    LilvNode* name = lilv_plugin_get_name(plugin);
    const std::string described =
        "\"" + std::string(lilv_node_as_string(name)) + "\" " + bundle.uri + ", " +
        std::to_string(lilv_plugin_get_num_ports(plugin)) + " ports, " +
        std::to_string(bundle.world.Presets(bundle.uri).size()) + " presets";
    lilv_node_free(name);
    return Pass(described);
  });
}

std::vector<BundleCheck> BundleChecks() {
  return {
      {"block sizes",
       [](const ValidateOptions& options) {
         return PlaysAt(options, {kRate},
                        options.quick ? std::vector<int32_t>{17, 512}
                                      : std::vector<int32_t>{1, 17, 64, 512, 4096});
       }},
      {"sample rates",
       [](const ValidateOptions& options) {
         return PlaysAt(
             options,
             options.quick ? std::vector<double>{48000} : std::vector<double>{22050, 48000, 96000},
             {kBlock});
       }},
      {"controls", Controls},
      {"state", State},
      {"presets", Presets},
  };
}

}  // namespace ov
