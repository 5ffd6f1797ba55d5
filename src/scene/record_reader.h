#pragma once
// Reads a stored record through its field table, at the version the archive declared.

#include <string>
#include <type_traits>

#include "scene/project_archive.h"
#include "scene/records.h"
#include "scene/shift_text.h"

namespace scene {

// The path's older layouts keep placement as flags; the modes are settled from the last
// block read.
class PathReader {
 public:
  explicit PathReader(ProjectArchive& archive) : archive_(archive) {}
  float Version() const { return archive_.Version(); }
  void Int(int32_t& field) { field = archive_.ReadInt32(); }
  void ModeFlags(PathRecord&, bool withCentre) {
    for (int32_t& f : random_) f = archive_.ReadInt32();
    if (withCentre)
      for (int32_t& f : centre_) f = archive_.ReadInt32();
  }
  void ModesFromFlags(PathRecord& p) {
    int32_t* modes[4] = {&p.modeX1, &p.modeY1, &p.modeX2, &p.modeY2};
    for (int i = 0; i < 4; ++i) {
      *modes[i] = 5;
      if (random_[i]) *modes[i] = 3;
      if (centre_[i]) *modes[i] = 1;
    }
  }

 private:
  ProjectArchive& archive_;
  int32_t random_[4] = {0, 0, 0, 0};
  int32_t centre_[4] = {0, 0, 0, 0};
};

template <class R>
void ReadRecord(ProjectArchive& archive, R& record);

inline void ReadPath(ProjectArchive& archive, PathRecord& path) {
  // Fields that a layout does not carry keep their defaults, whatever they held before.
  path.effect = 0;
  path.effectSpeed = 100;
  path.keepScreen = 0;
  path.saveBackground = 0;
  PathReader reader(archive);
  TransferPath(reader, path);
}

template <class Row, class T, class R>
void ReadValue(ProjectArchive& a, const Row& row, T& value, R& record) {
  if constexpr (kIsPath<T>) {
    ReadPath(a, value);
  } else if constexpr (kIsColor<T>) {
    ReadRecord(a, static_cast<ColorRecord&>(value));
  } else if constexpr (std::is_same_v<T, LogFont>) {
    uint8_t raw[LogFont::kStoredSize];
    a.Read(raw, sizeof raw);
    ShiftText(raw, sizeof raw, true);
    FontFromBytes(value, raw);
  } else if constexpr (std::is_same_v<T, std::string>) {
    value = a.ReadScrambledString();
  } else if constexpr (std::is_same_v<T, DataBlock>) {
    value = a.ReadScrambledBlock(static_cast<uint64_t>(record.dataSize));
  } else if constexpr (std::is_same_v<T, uint32_t>) {
    value = a.ReadUInt32();
  } else {
    static_assert(std::is_same_v<T, int32_t>);
    if (row.encoding == Encoding::OriginFlag && versions::OriginAsFlag(a.Version())) {
      value = a.ReadInt32() ? 2 : 1;
    } else if (row.encoding == Encoding::DataSize) {
      const uint64_t at = a.Position();
      value = a.ReadInt32();
      if (value < 0) {
        a.FailAt(ArchiveError::Cause::BadSchema, at,
                 std::string("negative ") + row.what + " " + std::to_string(value));
      }
    } else {
      value = a.ReadInt32();
    }
  }
}

template <class R>
void ReadRecord(ProjectArchive& archive, R& record) {
  ForEachStoredField(record, archive.Version(),
                     [&](const auto& row, auto& value) { ReadValue(archive, row, value, record); });
}

}  // namespace scene
