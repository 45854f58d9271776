// Times a FAUST-compiled voice bank the way `orvane bench` times a project:
// held notes (the gate is opened before the first block), blocks of 512 at
// 44.1 kHz, and the processor time of the compute calls alone, printed as
// nanoseconds per voice-sample. Built by scripts/bench-peers.sh with the
// class FAUST wrote (-cn VoiceBank) included below; never part of the build.
//
//   faust_driver VOICES SECONDS
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#ifndef FAUSTFLOAT
#define FAUSTFLOAT float
#endif

// The few interfaces FAUST's generated class calls; the gate is the only
// control, and it is held open.
struct Meta {
  void declare(const char*, const char*) {}
};
struct Soundfile;
struct UI {
  template <typename... A>
  void openVerticalBox(A...) {}
  template <typename... A>
  void openHorizontalBox(A...) {}
  template <typename... A>
  void openTabBox(A...) {}
  void closeBox() {}
  template <typename... A>
  void declare(A...) {}
  void addButton(const char*, FAUSTFLOAT* zone) { *zone = 1; }
  void addCheckButton(const char*, FAUSTFLOAT* zone) { *zone = 1; }
  template <typename... A>
  void addHorizontalSlider(A...) {}
  template <typename... A>
  void addVerticalSlider(A...) {}
  template <typename... A>
  void addNumEntry(A...) {}
  template <typename... A>
  void addHorizontalBargraph(A...) {}
  template <typename... A>
  void addVerticalBargraph(A...) {}
  template <typename... A>
  void addSoundfile(A...) {}
};
class dsp {};

#include "voice_bank.h"

namespace {

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: faust_driver VOICES SECONDS\n");
    return 2;
  }
  const double voices = std::atof(argv[1]);
  const double seconds = std::atof(argv[2]);
  if (!(voices >= 1) || !(seconds > 0)) {
    std::fprintf(stderr, "faust_driver: VOICES and SECONDS must be positive\n");
    return 2;
  }
  constexpr int kRate = 44100;
  constexpr int kBlock = 512;
  VoiceBank bank;
  bank.init(kRate);
  UI ui;
  bank.buildUserInterface(&ui);
  std::vector<float> left(kBlock), right(kBlock);
  float* outputs[] = {left.data(), right.data()};
  const long blocks = static_cast<long>(seconds * kRate / kBlock);
  float sink = 0;
  const double start = CpuSeconds();
  for (long b = 0; b < blocks; ++b) {
    bank.compute(kBlock, nullptr, outputs);
    sink += left[0] + right[kBlock - 1];
  }
  const double spent = CpuSeconds() - start;
  const double voice_samples = voices * static_cast<double>(blocks) * kBlock;
  std::printf("%.2f\n", spent * 1e9 / voice_samples);
  // The output is read, so no compiler may drop the compute calls.
  return sink == 12345.678f ? 1 : 0;
}
