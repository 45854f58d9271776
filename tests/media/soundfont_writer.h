// The sound-font tests' own SoundFont 2 writer: samples, instruments and
// presets described as plain lists, written as a RIFF "sfbk" file with the
// terminal records the format asks for.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_order.h"

namespace ov::testing {

using SfGenList = std::vector<std::pair<uint16_t, int16_t>>;

struct SfTestSample {
  std::string name;
  std::vector<int16_t> data;
  uint32_t loop_start = 0;  // relative to the sample's start
  uint32_t loop_end = 0;
  uint32_t rate = 44100;
  uint8_t pitch = 69;
  int8_t correction = 0;
  uint16_t link = 0;
  uint16_t type = 1;
};

struct SfTestInstrument {
  std::string name;
  std::vector<SfGenList> zones;
};

struct SfTestPreset {
  std::string name;
  uint16_t preset = 0;
  uint16_t bank = 0;
  std::vector<SfGenList> zones;
};

struct SoundFontWriter {
  std::vector<SfTestSample> samples;
  std::vector<SfTestInstrument> instruments;
  std::vector<SfTestPreset> presets;
  uint16_t version_major = 2;

  // A range generator's amount: low key or velocity in the low byte.
  static int16_t Range(int low, int high) { return static_cast<int16_t>(low | (high << 8)); }

  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> smpl;
    std::vector<uint8_t> shdr;
    uint32_t at = 0;
    for (const SfTestSample& s : samples) {
      for (int16_t v : s.data) AppendLe16(smpl, static_cast<uint16_t>(v));
      for (int i = 0; i < 46; ++i) AppendLe16(smpl, 0);  // the gap the format asks for
      Name(shdr, s.name);
      AppendLe32(shdr, at);
      AppendLe32(shdr, at + static_cast<uint32_t>(s.data.size()));
      AppendLe32(shdr, at + s.loop_start);
      AppendLe32(shdr, at + s.loop_end);
      AppendLe32(shdr, s.rate);
      shdr.push_back(s.pitch);
      shdr.push_back(static_cast<uint8_t>(s.correction));
      AppendLe16(shdr, s.link);
      AppendLe16(shdr, s.type);
      at += static_cast<uint32_t>(s.data.size()) + 46;
    }
    Name(shdr, "EOS");
    shdr.resize(shdr.size() + 26, 0);

    std::vector<uint8_t> inst, ibag, igen, phdr, pbag, pgen;
    Instruments(instruments, inst, ibag, igen);
    uint16_t bag = 0;
    uint16_t gen = 0;
    for (const SfTestPreset& p : presets) {
      Name(phdr, p.name);
      AppendLe16(phdr, p.preset);
      AppendLe16(phdr, p.bank);
      AppendLe16(phdr, bag);
      for (int i = 0; i < 12; ++i) phdr.push_back(0);
      for (const SfGenList& zone : p.zones) {
        AppendLe16(pbag, gen);
        AppendLe16(pbag, 0);
        for (const auto& [oper, amount] : zone) {
          AppendLe16(pgen, oper);
          AppendLe16(pgen, static_cast<uint16_t>(amount));
          ++gen;
        }
        ++bag;
      }
    }
    Name(phdr, "EOP");
    AppendLe16(phdr, 0);
    AppendLe16(phdr, 0);
    AppendLe16(phdr, bag);
    for (int i = 0; i < 12; ++i) phdr.push_back(0);
    AppendLe16(pbag, gen);
    AppendLe16(pbag, 0);
    for (int i = 0; i < 4; ++i) pgen.push_back(0);

    std::vector<uint8_t> ifil;
    AppendLe16(ifil, version_major);
    AppendLe16(ifil, 1);
    std::vector<uint8_t> info = List("INFO", {Chunk("ifil", ifil)});
    std::vector<uint8_t> sdta = List("sdta", {Chunk("smpl", smpl)});
    std::vector<uint8_t> mod(10, 0);
    std::vector<uint8_t> pdta =
        List("pdta", {Chunk("phdr", phdr), Chunk("pbag", pbag), Chunk("pmod", mod),
                      Chunk("pgen", pgen), Chunk("inst", inst), Chunk("ibag", ibag),
                      Chunk("imod", mod), Chunk("igen", igen), Chunk("shdr", shdr)});
    std::vector<uint8_t> body = {'s', 'f', 'b', 'k'};
    for (const auto* part : {&info, &sdta, &pdta}) body.insert(body.end(), part->begin(), part->end());
    return Chunk("RIFF", body);
  }

 private:
  static void Name(std::vector<uint8_t>& out, const std::string& name) {
    char field[20] = {};
    std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), 19));
    out.insert(out.end(), field, field + 20);
  }
  static void Instruments(const std::vector<SfTestInstrument>& list, std::vector<uint8_t>& headers,
                          std::vector<uint8_t>& bags, std::vector<uint8_t>& gens) {
    uint16_t bag = 0;
    uint16_t gen = 0;
    for (const SfTestInstrument& i : list) {
      Name(headers, i.name);
      AppendLe16(headers, bag);
      for (const SfGenList& zone : i.zones) {
        AppendLe16(bags, gen);
        AppendLe16(bags, 0);
        for (const auto& [oper, amount] : zone) {
          AppendLe16(gens, oper);
          AppendLe16(gens, static_cast<uint16_t>(amount));
          ++gen;
        }
        ++bag;
      }
    }
    Name(headers, "EOI");
    AppendLe16(headers, bag);
    AppendLe16(bags, gen);
    AppendLe16(bags, 0);
    for (int i = 0; i < 4; ++i) gens.push_back(0);
  }
  static std::vector<uint8_t> Chunk(const char* id, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out(id, id + 4);
    AppendLe32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0) out.push_back(0);
    return out;
  }
  static std::vector<uint8_t> List(const char* type, const std::vector<std::vector<uint8_t>>& parts) {
    std::vector<uint8_t> body(type, type + 4);
    for (const auto& part : parts) body.insert(body.end(), part.begin(), part.end());
    return Chunk("LIST", body);
  }
};

}  // namespace ov::testing
