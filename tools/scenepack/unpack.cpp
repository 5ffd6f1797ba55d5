#include "scenepack/unpack.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <type_traits>

#include "platform/sys/bounded_reader.h"
#include "platform/sys/code_page.h"
#include "platform/sys/elf_image.h"
#include "platform/sys/fd_io.h"
#include "platform/text/char_set_decoder.h"
#include "resources/string_table.h"
#include "scene/project_archive.h"
#include "scene/record_reader.h"
#include "scenepack/archive_writer.h"
#include "scenepack/effect_names.h"
#include "scenepack/manifest.h"
#include "scenepack/saver_file.h"
#include "scenepack/show_writer.h"

namespace scenepack {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

constexpr uint64_t kMaxInputBytes = uint64_t{4} << 30;

std::string Utf8Of(const std::u32string& text) {
  std::string out;
  for (char32_t c : text) sys::AppendUtf8(out, c);
  return out;
}

json ColourValue(uint32_t c) {
  if (c > 0xFFFFFF) return c;
  char s[8];
  std::snprintf(s, sizeof s, "#%02x%02x%02x", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return s;
}

// The fields of a record that differ from a new record's, as the manifest names them.
template <class R>
json FieldsOf(const R& record) {
  json out = json::object();
  const R defaults{};
  scene::ForEachField(record, [&](const auto& row, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_same_v<T, scene::DataBlock>) {
      return;
    } else {
      if (row.encoding == scene::Encoding::DataSize) return;
      if (std::string_view(row.name) == "fileName") return;  // goes with the file
      if (!row.when(record)) return;
      const T& def = row.get(defaults);
      if constexpr (scene::kIsRecord<T>) {
        json nested = FieldsOf(value);
        if (!nested.empty()) out[row.name] = std::move(nested);
      } else if (!(value == def)) {
        if constexpr (std::is_same_v<T, uint32_t>) {
          out[row.name] = ColourValue(value);
        } else if constexpr (std::is_same_v<T, std::string>) {
          out[row.name] = Cp1252ToUtf8(value);
        } else if constexpr (std::is_same_v<T, std::array<char, 32>>) {
          scene::LogFont f;
          f.faceName = value;
          out[row.name] = Cp1252ToUtf8(f.FaceName());
        } else if constexpr (std::is_same_v<T, int32_t> && scene::kIsPath<R>) {
          // Effects by their names, which say more than their numbers.
          const std::string effect =
              std::string_view(row.name) == "effect" ? EffectName(value) : std::string();
          out[row.name] = effect.empty() ? json(value) : json(effect);
        } else {
          out[row.name] = value;
        }
      }
    }
  });
  return out;
}

// The version as the shortest number that reads back as the same float.
json VersionValue(float v) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  const double d = std::strtod(std::string(buf, end).c_str(), nullptr);
  return static_cast<float>(d) == v ? d : static_cast<double>(v);
}

[[noreturn]] void SystemFail(const std::string& what, const fs::path& path) {
  throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(errno));
}

// The folder, made when missing, opened without following a link.
int OpenFolder(const fs::path& dir) {
  if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) SystemFail("cannot make", dir);
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) SystemFail("cannot open the folder", dir);
  return fd;
}

void WriteNew(int dirFd, const fs::path& dir, const std::string& name,
              std::span<const uint8_t> bytes) {
  const int fd =
      openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST)
      throw std::runtime_error((dir / name).string() +
                               " exists already; unpack into an empty folder");
    SystemFail("cannot create", dir / name);
  }
  if (!sys::WriteFull(fd, bytes.data(), bytes.size())) {
    const int saved = errno;
    close(fd);
    unlinkat(dirFd, name.c_str(), 0);
    errno = saved;
    SystemFail("cannot write", dir / name);
  }
  if (close(fd) != 0) SystemFail("cannot write", dir / name);
}

}  // namespace

std::span<const uint8_t> ArchiveOf(std::span<const uint8_t> file) {
  sys::MemorySource source(file);
  const auto end = sys::ElfImageEnd(source);
  if (end && *end <= file.size()) return file.subspan(static_cast<size_t>(*end));
  return file;
}

Show ReadArchive(std::span<const uint8_t> bytes) {
  using Cause = scene::ArchiveError::Cause;
  sys::MemorySource source(bytes);
  scene::ProjectArchive a(source);
  Show show;
  try {
    a.ReadInt32();  // reserved
    // The writer stores every string in one form; the identification shows which.
    show.wideStrings =
        bytes.size() >= 7 && bytes[4] == 0xFF && bytes[5] == 0xFE && bytes[6] == 0xFF;
    const uint64_t idAt = a.Position();
    if (a.ReadString() != res::LoadString(res::IDS_IDENTIFICATION))
      a.FailAt(Cause::BadSchema, idAt, "not a project archive (bad identification)");
    const uint64_t versionAt = a.Position();
    show.version = a.ReadFloat();
    a.SetVersion(show.version);
    if (!(show.version > 0.0f) || !(static_cast<double>(show.version) <= 4.31))
      a.FailAt(Cause::BadSchema, versionAt, "unsupported archive version");
    const uint64_t countAt = a.Position();
    const int32_t count = a.ReadInt32();
    if (count < 0 || static_cast<uint64_t>(count) > a.Remaining() / 4 + 1)
      a.FailAt(Cause::BadSchema, countAt, "item count " + std::to_string(count) + " cannot fit");
    for (int32_t i = 0; i < count; ++i) {
      const uint64_t tagAt = a.Position();
      const int32_t kind = a.ReadInt32();
      if (kind < 0 || kind >= kKindCount)
        a.FailAt(
            Cause::BadSchema, tagAt,
            "item " + std::to_string(i) + ": type tag " + std::to_string(kind) + " out of range");
      Item it(kind);
      it.name = a.ReadScrambledString();
      it.tagValue = a.ReadInt32();
      it.disabled = a.ReadInt32();
      std::visit([&](auto& record) { scene::ReadRecord(a, record); }, it.record);
      show.items.push_back(std::move(it));
    }
    for (int32_t r = 0; r < count; ++r) {
      if (!IsResource(show.items[static_cast<size_t>(r)].kind)) continue;
      const uint64_t nAt = a.Position();
      const int32_t n = a.ReadInt32();
      if (n < 0 || static_cast<uint64_t>(n) > a.Remaining() / 4)
        a.FailAt(Cause::BadSchema, nAt, "link count " + std::to_string(n) + " cannot fit");
      for (int32_t k = 0; k < n; ++k) {
        const uint64_t at = a.Position();
        const int32_t holder = a.ReadInt32();
        if (holder < 0 || holder >= count)
          a.FailAt(Cause::BadSchema, at,
                   "link index " + std::to_string(holder) + " outside the list");
        show.items[static_cast<size_t>(holder)].link = r;
      }
    }
  } catch (const scene::ArchiveError& e) {
    throw std::runtime_error(std::string(e.what()) + " at byte " + std::to_string(e.offset()));
  }
  return show;
}

json ManifestOf(const Show& show, const std::vector<std::string>& files) {
  json items = json::array();
  for (size_t n = 0; n < show.items.size(); ++n) {
    const Item& it = show.items[n];
    json obj = {{"class", KindName(it.kind)}};
    if (!it.name.empty()) obj["name"] = Cp1252ToUtf8(it.name);
    if (it.tagValue) obj["tagValue"] = it.tagValue;
    if (it.disabled) obj["disabled"] = it.disabled;
    std::visit([&](const auto& record) { obj.update(FieldsOf(record)); }, it.record);
    if (it.kind == kPictureItem) {
      const auto& p = it.As<scene::PictureRecord>();
      if (p.isText() && obj.contains("text")) {
        const int page = text::CodePageOf(p.font.charSet);
        if (page != 1252) obj["text"] = Utf8Of(text::CharSetDecoder(page).Decode(p.text));
      }
    }
    if (IsResource(it.kind) && n < files.size() && !files[n].empty()) {
      obj["file"] = files[n];
      const std::string& stored = it.kind == kPictureItem ? it.As<scene::PictureRecord>().fileName
                                                          : it.As<scene::MediaRecord>().fileName;
      if (Cp1252ToUtf8(stored) != files[n]) obj["fileName"] = Cp1252ToUtf8(stored);
    }
    if (it.link >= 0 && static_cast<size_t>(it.link) < show.items.size())
      obj[IsPictureLink(it.kind) ? "picture" : "media"] =
          Cp1252ToUtf8(show.items[static_cast<size_t>(it.link)].name);
    items.push_back(std::move(obj));
  }
  json doc = json::object();
  doc["version"] = VersionValue(show.version);
  if (show.wideStrings) doc["wideStrings"] = true;
  doc["keepPictureBytes"] = true;
  doc["items"] = std::move(items);
  return doc;
}

std::string SafeFileName(const std::string& stored, const std::string& fallback,
                         std::vector<std::string>& taken) {
  // Only the last component of either separator counts.
  std::string name = stored.substr(
      stored.find_last_of("/\\") == std::string::npos ? 0 : stored.find_last_of("/\\") + 1);
  std::string clean;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    clean += (u < 0x20 || u == 0x7F || c == ':') ? '_' : c;
  }
  while (!clean.empty() && clean.front() == '.') clean.erase(0, 1);
  if (clean.size() > 200) clean = clean.substr(clean.size() - 200);
  // A cut may have split a UTF-8 character.
  while (!clean.empty() && (static_cast<unsigned char>(clean.front()) & 0xC0) == 0x80)
    clean.erase(0, 1);
  if (clean.empty() || clean == "show.json") clean = fallback;
  std::string unique = clean;
  const size_t dot = clean.find_last_of('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? clean : clean.substr(0, dot);
  const std::string ext = dot == std::string::npos || dot == 0 ? "" : clean.substr(dot);
  for (int k = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++k)
    unique = stem + "-" + std::to_string(k) + ext;
  taken.push_back(unique);
  return unique;
}

UnpackResult Unpack(const fs::path& input, const fs::path& outDir) {
  const std::vector<uint8_t> file = ReadRegularFile(input, kMaxInputBytes);
  const std::span<const uint8_t> archive = ArchiveOf(file);
  const Show show = ReadArchive(archive);

  std::vector<std::string> names(show.items.size());
  std::vector<std::string> taken = {"show.json"};
  UnpackResult result;
  const int dirFd = OpenFolder(outDir);
  try {
    for (size_t n = 0; n < show.items.size(); ++n) {
      const Item& it = show.items[n];
      if (!IsResource(it.kind)) continue;
      const bool picture = it.kind == kPictureItem;
      const scene::DataBlock& data =
          picture ? it.As<scene::PictureRecord>().data : it.As<scene::MediaRecord>().data;
      if (data.empty()) continue;
      const std::string& stored =
          picture ? it.As<scene::PictureRecord>().fileName : it.As<scene::MediaRecord>().fileName;
      names[n] = SafeFileName(Cp1252ToUtf8(stored),
                              (picture ? "picture-" : "media-") + std::to_string(n), taken);
      WriteNew(dirFd, outDir, names[n], {data.data(), data.size});
      ++result.files;
    }
    const json doc = ManifestOf(show, names);
    const std::string text = doc.dump(2) + "\n";
    WriteNew(dirFd, outDir, "show.json",
             {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    close(dirFd);
  } catch (...) {
    close(dirFd);
    throw;
  }

  // Whether the folder packs back into these very bytes.
  try {
    const auto again = WriteArchive(LoadManifest(outDir / "show.json"));
    if (again.size() == archive.size() && std::equal(again.begin(), again.end(), archive.begin())) {
      result.identical = true;
    } else {
      size_t at = 0;
      while (at < again.size() && at < archive.size() && again[at] == archive[at]) ++at;
      result.difference = "packing it again differs from byte " + std::to_string(at) +
                          " of the archive (" + std::to_string(archive.size()) + " bytes, " +
                          std::to_string(again.size()) + " packed again)";
    }
  } catch (const std::exception& e) {
    result.difference = std::string("it cannot be packed again as it was: ") + e.what();
  }
  return result;
}

}  // namespace scenepack
