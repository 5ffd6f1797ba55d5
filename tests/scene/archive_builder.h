#pragma once
// Builds project archive bytes for tests, field by field, the way the authoring side writes
// them (texts and blocks shifted down).

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "scene/shift_text.h"

namespace scene_test {

class ArchiveBuilder {
 public:
  std::vector<uint8_t> bytes;

  ArchiveBuilder& I32(int32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
    return *this;
  }
  ArchiveBuilder& U16(uint16_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  ArchiveBuilder& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  ArchiveBuilder& F32(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return I32(static_cast<int32_t>(u));
  }
  ArchiveBuilder& Raw(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  // The shortest length prefix for n.
  ArchiveBuilder& Length(uint32_t n) {
    if (n < 0xFF) return U8(static_cast<uint8_t>(n));
    U8(0xFF);
    if (n < 0xFFFE) return U16(static_cast<uint16_t>(n));
    U16(0xFFFF);
    return I32(static_cast<int32_t>(n));
  }
  ArchiveBuilder& Str(const std::string& s) {
    Length(static_cast<uint32_t>(s.size()));
    return Raw(s);
  }
  // A string stored shifted.
  ArchiveBuilder& Scr(std::string s) {
    scene::ShiftText(s.data(), s.size(), false);
    return Str(s);
  }
  ArchiveBuilder& Wide(const std::u16string& s) {
    U8(0xFF).U16(0xFFFE).Length(static_cast<uint32_t>(s.size()));
    for (char16_t c : s) U16(static_cast<uint16_t>(c));
    return *this;
  }
  ArchiveBuilder& ScrBlock(std::vector<uint8_t> b) {
    scene::ShiftText(b.data(), b.size(), false);
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }

  // reserved, identification, version, count.
  ArchiveBuilder& Header(float version, int32_t count, const std::string& id = "SceneProject") {
    SetVersion(version);
    return I32(0).Str(id).F32(version).I32(count);
  }
  // Tag plus the common header.
  ArchiveBuilder& Item(int32_t tag, const std::string& name, int32_t disabled = 0,
                       int32_t tagValue = 0) {
    return I32(tag).Scr(name).I32(tagValue).I32(disabled);
  }
  ArchiveBuilder& Color(uint32_t color = 0x123456, int32_t paintMode = 0, int32_t random = 0,
                        int32_t useWindow = 1) {
    return I32(static_cast<int32_t>(color)).I32(paintMode).I32(random).I32(useWindow);
  }
  // Path in the layout of the version given to Header(); p holds x1 y1 x2 y2.
  ArchiveBuilder& Path(const int32_t (&p)[4] = {1, 2, 3, 4}) {
    auto tailA = [&] {
      I32(p[0]).I32(p[1]).I32(p[2]).I32(p[3]);
      I32(7).I32(8);                  // dx dy
      I32(1).I32(0).I32(50).I32(60);  // horizontal compareX stopX stopY
      I32(1).I32(2).I32(0);           // bothConditions compareY freeMotion
      I32(90000).I32(1500).I32(0);    // moveSpeed textSpeed textAnimation
    };
    const float v = version_;
    if (v == 1.0f) {
      I32(0).I32(0).I32(0).I32(0);
      tailA();
    }
    for (int block = 2; block <= 4; ++block) {
      bool on = block == 2   ? (v > 1.1f && v < 2.1f)
                : block == 3 ? (v > 2.0f && v < 3.0f)
                             : (v > 2.9f && v < 3.2f);
      if (!on) continue;
      for (int i = 0; i < 8; ++i) I32(0);
      tailA();
      I32(1).I32(1);  // keepScreen saveBackground
      if (block >= 3) I32(44);
      if (block >= 4) I32(300);
    }
    if (v > 3.2f) {
      I32(5).I32(5).I32(5).I32(5);
      tailA();
      I32(1).I32(1).I32(44).I32(300);
    }
    return *this;
  }

  void SetVersion(float v) { version_ = v; }

 private:
  float version_ = 4.31f;
};

}  // namespace scene_test
