// The plug-in side of the VST 2 interface: owns the AEffect record the host
// sees and routes the host's calls through static trampolines to virtual
// operations. Every operation answers "nothing done" (0 or false) unless a
// derived class overrides it.
//
// Threads: the dispatcher runs on the host's user-interface thread (hosts
// also send effProcessEvents from their audio thread); process calls run on
// the host's audio thread; setParameter may arrive on either.
#pragma once

#include <cstdint>

#include "platform/vst2.h"

namespace ov {

class AEffEditor;

class AudioEffect {
 public:
  AudioEffect(vst2::HostCallback host, int32_t num_programs, int32_t num_params);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  vst2::AEffect* getAeffect() { return &cEffect; }
  static AudioEffect* FromAeffect(vst2::AEffect* effect);

  virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

  // Host calls.
  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}
  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual void setBlockSize(int32_t size) { blockSize = size; }
  virtual void process(float** inputs, float** outputs, int32_t frames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, int32_t frames) = 0;
  virtual void setParameter(int32_t index, float value) { (void)index, (void)value; }
  virtual float getParameter(int32_t index) { return (void)index, 0.0f; }
  virtual void setProgram(int32_t program) { curProgram = program; }
  virtual int32_t getProgram() { return curProgram; }
  virtual void setProgramName(const char* name) { (void)name; }
  virtual void getProgramName(char* name);
  virtual void getParameterLabel(int32_t index, char* label);
  virtual void getParameterDisplay(int32_t index, char* text);
  virtual void getParameterName(int32_t index, char* text);
  virtual float getVu() { return 0.0f; }
  virtual int32_t getChunk(void** data, bool is_preset) { return (void)data, (void)is_preset, 0; }
  virtual int32_t setChunk(void* data, int32_t size, bool is_preset) {
    return (void)data, (void)size, (void)is_preset, 0;
  }

  // Tells the host that a parameter changed (audioMasterAutomate). Editor
  // thread.
  void ReportAutomation(int32_t index, float value);
  // Calls into the host; each answers 0 when there is no callback.
  intptr_t CallHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);

  float getSampleRate() const { return sampleRate; }
  int32_t getBlockSize() const { return blockSize; }

 protected:
  void setNumPrograms(int32_t count);
  void setNumParams(int32_t count);
  void setNumInputs(int32_t count) { cEffect.numInputs = count; }
  void setNumOutputs(int32_t count) { cEffect.numOutputs = count; }
  void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
  void setFlag(int32_t flag, bool on);

  float sampleRate = 44100.0f;
  AEffEditor* editor = nullptr;
  vst2::HostCallback audioMaster;
  int32_t numPrograms;
  int32_t numParams;
  int32_t curProgram = 0;
  int32_t blockSize = 1024;
  vst2::AEffect cEffect{};

 private:
  static intptr_t DispatchTrampoline(vst2::AEffect* e, int32_t opcode, int32_t index,
                                     intptr_t value, void* ptr, float opt);
  static void ProcessTrampoline(vst2::AEffect* e, float** in, float** out, int32_t frames);
  static void ProcessReplacingTrampoline(vst2::AEffect* e, float** in, float** out, int32_t frames);
  static void SetParameterTrampoline(vst2::AEffect* e, int32_t index, float value);
  static float GetParameterTrampoline(vst2::AEffect* e, int32_t index);
};

}  // namespace ov
