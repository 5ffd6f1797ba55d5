#include "scenepack/show_writer.h"

#include <array>
#include <cstdio>
#include <limits>
#include <span>
#include <type_traits>
#include <variant>

#include "resources/string_table.h"

namespace scenepack {

namespace {

std::string VersionText(float v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
  return buf;
}

[[noreturn]] void NotStored(int index, const std::string& name, const std::string& field,
                            float version, const std::string& what) {
  throw ShowError(index, Cp1252ToUtf8(name), field,
                  what + " cannot be stored at archive version " + VersionText(version));
}

void CheckInt32Size(size_t n, int index, const std::string& name, const char* field) {
  if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw ShowError(index, Cp1252ToUtf8(name), field, "larger than 2 GiB");
}

// The path's older layouts keep placement only as flags.
class PathWriter {
 public:
  PathWriter(ArchiveWriter& out, float v) : out_(out), v_(v) {}
  float Version() const { return v_; }
  void Int(const int32_t& field) { out_.I32(field); }
  void ModeFlags(const PathRecord& p, bool withCentre) {
    const int32_t modes[4] = {p.modeX1, p.modeY1, p.modeX2, p.modeY2};
    for (int32_t m : modes) out_.I32(m == 3 ? 1 : 0);
    if (withCentre)
      for (int32_t m : modes) out_.I32(m == 1 ? 1 : 0);
  }
  void ModesFromFlags(const PathRecord&) {}

 private:
  ArchiveWriter& out_;
  float v_;
};

// Whether version v can carry this value of the row: a field it does not store must keep
// its default, and flags know only some values.
template <class Row, class T>
bool Storable(const Row& row, const T& value, const T& fallback, float v) {
  using scene::Encoding;
  if (!row.stored(v)) return value == fallback;
  if constexpr (std::is_same_v<T, int32_t>) {
    if (row.encoding == Encoding::OriginFlag && scene::versions::OriginAsFlag(v))
      return value == 1 || value == 2;
    if (row.encoding == Encoding::ModeFlags && !scene::versions::PathBlockE(v))
      return value == 3 || value == 5 || (value == 1 && !scene::versions::PathBlockA(v));
  }
  return true;
}

// Refuses, in table order, the first field that would read back as something else.
template <class R>
void CheckStorable(const R& record, float v, int index, const std::string& name,
                   const std::string& prefix) {
  const R defaults{};
  scene::ForEachField(record, [&](const auto& field, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if (!field.when(record)) return;
    if constexpr (scene::kIsPath<T> || scene::kIsColor<T>) {
      CheckStorable(value, v, index, name, prefix + field.name + ".");
    } else {
      const T& def = field.get(defaults);
      if (!Storable(field, value, def, v)) {
        const std::string what =
            field.what ? field.what : std::string("this value of ") + field.name;
        NotStored(index, name, prefix + field.name, v, what);
      }
    }
  });
}

template <class R>
void WriteFields(ArchiveWriter& out, const R& record, float v, int index, const std::string& name);

template <class Row, class T, class R>
void WriteValue(ArchiveWriter& out, const Row& row, const T& value, const R& record, float v,
                int index, const std::string& name) {
  if constexpr (scene::kIsPath<T>) {
    PathWriter writer(out, v);
    scene::TransferPath(writer, static_cast<const PathRecord&>(value));
  } else if constexpr (scene::kIsColor<T>) {
    WriteFields(out, static_cast<const ColorRecord&>(value), v, index, name);
  } else if constexpr (std::is_same_v<T, FontRecord>) {
    WriteFontRecord(out, value, index, name);
  } else if constexpr (std::is_same_v<T, std::string>) {
    out.ScrambledString(value);
  } else if constexpr (std::is_same_v<T, scene::DataBlock>) {
    out.ScrambledBlock(std::span<const uint8_t>(value.data(), value.size));
  } else if constexpr (std::is_same_v<T, uint32_t>) {
    out.U32(value);
  } else {
    static_assert(std::is_same_v<T, int32_t>);
    if (row.encoding == scene::Encoding::OriginFlag && scene::versions::OriginAsFlag(v)) {
      out.I32(value == 2 ? 1 : 0);
    } else if constexpr (requires { record.data.size; }) {
      if (row.encoding == scene::Encoding::DataSize) {
        // The size is the data's own.
        CheckInt32Size(record.data.size, index, name, "file");
        out.I32(static_cast<int32_t>(record.data.size));
      } else {
        out.I32(value);
      }
    } else {
      out.I32(value);
    }
  }
}

template <class R>
void WriteFields(ArchiveWriter& out, const R& record, float v, int index, const std::string& name) {
  scene::ForEachStoredField(record, v, [&](const auto& row, const auto& value) {
    WriteValue(out, row, value, record, v, index, name);
  });
}

}  // namespace

void WritePathRecord(ArchiveWriter& out, const PathRecord& p, float v, int index,
                     const std::string& name, const std::string& field) {
  CheckStorable(p, v, index, name, field + ".");
  PathWriter writer(out, v);
  scene::TransferPath(writer, p);
}

void WriteColorRecord(ArchiveWriter& out, const ColorRecord& c) {
  WriteFields(out, c, 4.31f, 0, "");
}

void WriteFontRecord(ArchiveWriter& out, const FontRecord& f, int index, const std::string& name) {
  if (f.FaceName().size() >= kFaceNameSize)
    throw ShowError(index, Cp1252ToUtf8(name), "font.faceName", "longer than 31 characters");
  std::array<uint8_t, kFontRecordSize> block{};
  scene::FontToBytes(f, block.data());
  out.ScrambledBlock(block);
}

void WriteItemRecord(ArchiveWriter& out, const Item& it, float v, int index) {
  if (it.kind < 0 || it.kind >= kKindCount)
    throw ShowError(index, Cp1252ToUtf8(it.name), "class",
                    "unknown item kind " + std::to_string(it.kind));
  std::visit(
      [&](const auto& record) {
        CheckStorable(record, v, index, it.name, "");
        out.I32(it.kind);
        out.ScrambledString(it.name);
        out.I32(it.tagValue);
        out.I32(it.disabled);
        WriteFields(out, record, v, index, it.name);
      },
      it.record);
}

std::vector<uint8_t> WriteArchive(const Show& show) {
  const float v = show.version;
  if (!(v > 0.0f) || static_cast<double>(v) > 4.31)
    throw ShowError(-1, "", "version", "must be above 0 and at most 4.31");
  const auto& items = show.items;
  if (items.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw ShowError(-1, "", "items", "too many items");

  // Links must point at a resource of the right kind, or the player would refuse the show.
  const auto count = static_cast<int32_t>(items.size());
  for (int32_t i = 0; i < count; ++i) {
    const Item& it = items[static_cast<size_t>(i)];
    if (it.link < 0) continue;
    const bool picture = IsPictureLink(it.kind);
    const char* field = picture ? "picture" : "media";
    if (!picture && !IsMediaLink(it.kind))
      throw ShowError(i, Cp1252ToUtf8(it.name), "link", "this kind links to nothing");
    if (it.link >= count ||
        items[static_cast<size_t>(it.link)].kind != (picture ? kPictureItem : kMediaItem))
      throw ShowError(i, Cp1252ToUtf8(it.name), field,
                      std::string("does not name a ") + (picture ? "PictureItem" : "MediaItem"));
  }

  ArchiveWriter out(show.wideStrings);
  out.I32(0);  // reserved
  out.String(res::LoadString(res::IDS_IDENTIFICATION));
  out.F32(v);
  out.I32(count);
  for (int32_t i = 0; i < count; ++i) WriteItemRecord(out, items[static_cast<size_t>(i)], v, i);
  for (int32_t r = 0; r < count; ++r) {
    if (!IsResource(items[static_cast<size_t>(r)].kind)) continue;
    std::vector<int32_t> holders;
    for (int32_t i = 0; i < count; ++i)
      if (items[static_cast<size_t>(i)].link == r) holders.push_back(i);
    out.I32(static_cast<int32_t>(holders.size()));
    for (int32_t h : holders) out.I32(h);
  }
  return out.Take();
}

}  // namespace scenepack
