// The field tables against themselves and against the README: every kind written by
// scenepack at every archive version reads back field for field through the player's
// reader, and the manifest documentation names exactly the fields the tables hold.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>

#include "platform/sys/bounded_reader.h"
#include "scene/items.h"
#include "scene/scene_list.h"
#include "scenepack/archive_writer.h"
#include "scenepack/show_writer.h"

namespace {

using namespace scene;

constexpr float kVersions[] = {1.0f,  1.05f, 1.5f, 2.0f, 2.05f, 2.1f, 2.11f, 2.5f,
                               2.95f, 3.0f,  3.1f, 3.2f, 4.0f,  4.1f, 4.3f,  4.31f};

// A value for a row that differs from its default wherever version v can store one, and
// the default where it cannot: the writer refuses anything else.
template <class Row>
int32_t StorableInt(const Row& row, int32_t salt, int32_t def, float v) {
  if (!row.stored(v)) return def;
  if (row.encoding == Encoding::OriginFlag && versions::OriginAsFlag(v)) return 2;
  if (row.encoding == Encoding::ModeFlags && !versions::PathBlockE(v))
    return versions::PathBlockA(v) ? 3 : (salt % 2 ? 1 : 3);
  if (row.encoding == Encoding::ModeFlags) return salt % 5;  // 0..4
  return def + 1000 + salt;
}

template <class R>
void Fill(R& record, float v, int32_t& salt) {
  const R defaults{};
  ForEachField(record, [&](const auto& row, auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    ++salt;
    // The caller picks the source: it decides which rows a picture stores.
    if (!row.when(record) || std::string(row.name) == "source") return;
    if constexpr (kIsPath<T> || kIsColor<T>) {
      Fill(value, v, salt);
    } else if constexpr (std::is_same_v<T, LogFont>) {
      ForEachField(value, [&](const auto&, auto& f) {
        using F = std::remove_cvref_t<decltype(f)>;
        if constexpr (std::is_same_v<F, int32_t>) f = -salt * 3;
        if constexpr (std::is_same_v<F, uint8_t>) f = static_cast<uint8_t>(salt++);
      });
      value.SetFaceName("Face \xE9");
    } else if constexpr (std::is_same_v<T, std::string>) {
      value = row.stored(v) ? "text \x80 " + std::to_string(salt) : row.get(defaults);
    } else if constexpr (std::is_same_v<T, DataBlock>) {
      const uint8_t bytes[] = {1, 2, 3, static_cast<uint8_t>(salt)};
      value = DataBlock::Of(bytes, sizeof bytes);
    } else if constexpr (std::is_same_v<T, uint32_t>) {
      value = row.stored(v) ? 0x00102030u + static_cast<uint32_t>(salt) : row.get(defaults);
    } else if constexpr (std::is_same_v<T, int32_t>) {
      if (row.encoding == Encoding::DataSize) return;  // the writer takes the data's size
      value = StorableInt(row, salt, row.get(defaults), v);
    }
  });
}

// Field-by-field comparison through the table; the first difference is returned.
template <class A, class B>
std::string Difference(const A& want, const B& got, const std::string& prefix = "") {
  std::string diff;
  const auto gotFields = Fields(got);
  ForEachField(want, [&](const auto& row, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if (!diff.empty() || !row.when(want)) return;
    // The same row of the other record: tables are the same type for both.
    std::apply(
        [&](const auto&... other) {
          (
              [&] {
                if (std::string(other.name) != row.name) return;
                const auto& theirs = other.get(got);
                using U = std::remove_cvref_t<decltype(theirs)>;
                if constexpr (kIsPath<T> && kIsPath<U>) {
                  diff =
                      Difference(static_cast<const PathRecord&>(value),
                                 static_cast<const PathRecord&>(theirs), prefix + row.name + ".");
                } else if constexpr (kIsColor<T> && kIsColor<U>) {
                  diff =
                      Difference(static_cast<const ColorRecord&>(value),
                                 static_cast<const ColorRecord&>(theirs), prefix + row.name + ".");
                } else if constexpr (std::is_same_v<T, U>) {
                  if (!(value == theirs)) diff = prefix + row.name;
                } else {
                  diff = prefix + row.name + " (type)";
                }
              }(),
              ...);
        },
        gotFields);
  });
  return diff;
}

TEST(RecordTables, EveryKindRoundTripsAtEveryVersion) {
  for (const float v : kVersions) {
    for (int32_t kind = 0; kind < kItemKindCount; ++kind) {
      for (const int32_t source : {0, 1}) {
        if (source == 1 && kind != kPictureItem) continue;
        scenepack::Item it(kind);
        it.name = "item";
        it.tagValue = 77;
        it.disabled = 1;
        int32_t salt = kind * 100;
        std::visit(
            [&](auto& record) {
              if constexpr (std::is_same_v<std::remove_cvref_t<decltype(record)>, PictureRecord>)
                record.source = source;
              Fill(record, v, salt);
              Fill(record, v, salt);  // again, now that rows that go with data apply
              if constexpr (std::is_same_v<std::remove_cvref_t<decltype(record)>, PictureRecord>)
                record.source = source;
            },
            it.record);

        scenepack::ArchiveWriter out;
        ASSERT_NO_THROW(scenepack::WriteItemRecord(out, it, v, 0))
            << "kind " << kind << " at " << v;
        const std::vector<uint8_t> bytes = out.Take();
        sys::MemorySource memory(bytes);
        ProjectArchive archive(memory);
        archive.SetVersion(v);
        SceneList list;
        ASSERT_EQ(archive.ReadInt32(), kind);
        std::unique_ptr<SceneItem> item = list.Create(kind);
        ASSERT_NO_THROW(item->load(archive)) << "kind " << kind << " at " << v;
        EXPECT_EQ(archive.Remaining(), 0u) << "kind " << kind << " at " << v;
        EXPECT_EQ(item->name.text, "item");
        EXPECT_EQ(item->tagValue, 77);
        EXPECT_EQ(item->disabled, 1);
        std::visit(
            [&](const auto& written) {
              WithRecord(*item, [&](const auto& read) {
                using W = std::remove_cvref_t<decltype(written)>;
                using Rd = std::remove_cvref_t<decltype(read)>;
                if constexpr (std::is_same_v<W, EmptyRecord> || std::is_same_v<Rd, EmptyRecord>) {
                  EXPECT_TRUE((std::is_same_v<W, Rd>)) << kind;
                } else {
                  EXPECT_EQ(Difference(written, read), "")
                      << "kind " << kind << " source " << source << " at " << v;
                }
              });
            },
            it.record);
      }
    }
  }
}

// Two archives of different versions read side by side keep their own layouts.
TEST(RecordTables, VersionBelongsToEachArchive) {
  std::vector<std::vector<uint8_t>> bytes;
  for (const float v : {1.0f, 4.31f}) {
    scenepack::Item it(kPlayMediaItem);
    auto& play = it.As<PlayMediaRecord>();
    play.repeatCount = 9;
    if (v >= 2.1f) play.videoX = 5;
    scenepack::ArchiveWriter out;
    scenepack::WriteItemRecord(out, it, v, 0);
    scenepack::WriteItemRecord(out, it, v, 1);
    bytes.push_back(out.Take());
  }
  sys::MemorySource oldSource(bytes[0]), newSource(bytes[1]);
  ProjectArchive oldArchive(oldSource), newArchive(newSource);
  oldArchive.SetVersion(1.0f);
  newArchive.SetVersion(4.31f);
  SceneList list;
  for (int round = 0; round < 2; ++round) {
    for (ProjectArchive* a : {&oldArchive, &newArchive}) {
      ASSERT_EQ(a->ReadInt32(), kPlayMediaItem);
      auto item = list.Create(kPlayMediaItem);
      item->load(*a);
      const auto& play = static_cast<const PlayMediaItem&>(*item).link.options;
      EXPECT_EQ(play.repeatCount, 9);
      EXPECT_EQ(play.videoX, a == &newArchive ? 5 : 0);
    }
  }
  EXPECT_EQ(oldArchive.Remaining(), 0u);
  EXPECT_EQ(newArchive.Remaining(), 0u);
}

// Backticked names in a piece of README text, without class names (or with only them).
std::set<std::string> Names(const std::string& text, bool classes = false) {
  std::set<std::string> out;
  static const std::regex kTick("`([A-Za-z0-9]+)`");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), kTick);
       it != std::sregex_iterator(); ++it)
    if ((*it)[1].str().ends_with("Item") == classes) out.insert((*it)[1].str());
  return out;
}

template <class R>
std::set<std::string> TableNames(const R& record) {
  std::set<std::string> out;
  ForEachField(record, [&](const auto& row, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (!std::is_same_v<T, DataBlock>) {
      if (row.encoding != Encoding::DataSize) out.insert(row.name);
    }
  });
  return out;
}

TEST(RecordTables, ReadmeManifestTableNamesEveryField) {
  std::ifstream in(std::string(SP_SOURCE_DIR) + "/README.md");
  ASSERT_TRUE(in);
  std::stringstream all;
  all << in.rdbuf();
  const std::string readme = all.str();

  // One table line per class (or classes sharing fields); class names are not fields.
  std::map<std::string, std::set<std::string>> documented;
  std::istringstream lines(readme);
  for (std::string line; std::getline(lines, line);) {
    static const std::regex kRow(R"(^\| (`[A-Za-z]+Item`(?:, `[A-Za-z]+Item`)*) \| (.*) \|$)");
    std::smatch m;
    if (!std::regex_match(line, m, kRow)) continue;
    for (const std::string& cls : Names(m[1].str(), true)) documented[cls] = Names(m[2].str());
  }
  ASSERT_EQ(documented.size(), static_cast<size_t>(kItemKindCount));
  for (int32_t kind = 0; kind < kItemKindCount; ++kind) {
    const std::string cls = kItemClassNames[static_cast<size_t>(kind)];
    ASSERT_TRUE(documented.contains(cls)) << cls;
    std::set<std::string> want;
    WithRecordType(kind,
                   [&](auto* type) { want = TableNames(std::remove_pointer_t<decltype(type)>{}); });
    if (IsResourceKind(kind)) want.insert("file");
    if (IsPictureLinkKind(kind)) want.insert("picture");
    if (IsMediaLinkKind(kind)) want.insert("media");
    EXPECT_EQ(documented[cls], want) << cls;
  }

  // The paragraphs on the path, color and font objects.
  auto paragraph = [&](const std::string& start) {
    const size_t at = readme.find(start);
    EXPECT_NE(at, std::string::npos) << start;
    if (at == std::string::npos) return std::set<std::string>{};
    const size_t from = at + start.size();
    return Names(readme.substr(from, readme.find("\n\n", from) - from));
  };
  EXPECT_EQ(paragraph("`path` object:"), TableNames(PathRecord{}));
  EXPECT_EQ(paragraph("`color` object:"), TableNames(ColorRecord{}));
  EXPECT_EQ(paragraph("`font` object (LOGFONT):"), TableNames(LogFont{}));
}

}  // namespace
