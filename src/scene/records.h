#pragma once
// The stored records of scene items, each declared once: a plain struct whose member
// initializers are the defaults of a new item, and one field table that names every field
// (as the JSON dump and scenepack's manifest call it), says which archive versions store it
// and how. The player's reader, --dump, scenepack's writer and its manifest reader all walk
// these tables; adding a stored field is a member and a row.
//
// Header only: scenepack holds shows in these structs without linking the player.

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/sys/large_alloc.h"

namespace scene {

enum ItemKind : int32_t {
  kPictureItem = 0,
  kShowPictureItem = 1,
  kMovePictureItem = 2,
  kHidePictureItem = 3,
  kPauseItem = 4,
  kBackgroundItem = 5,
  kLoopStartItem = 6,
  kLoopEndItem = 7,
  kLineItem = 8,
  kMediaItem = 9,
  kPlayMediaItem = 10,
  kStopMediaItem = 11,
  kCommentItem = 12,
  kLinkItem = 13,
};
inline constexpr int32_t kItemKindCount = 14;

inline constexpr std::array<const char*, kItemKindCount> kItemClassNames = {
    "PictureItem",    "ShowPictureItem", "MovePictureItem", "HidePictureItem", "PauseItem",
    "BackgroundItem", "LoopStartItem",   "LoopEndItem",     "LineItem",        "MediaItem",
    "PlayMediaItem",  "StopMediaItem",   "CommentItem",     "LinkItem"};

// Resources are what link holders point at; their link lists follow the records.
constexpr bool IsResourceKind(int32_t k) { return k == kPictureItem || k == kMediaItem; }
constexpr bool IsPictureLinkKind(int32_t k) {
  return k == kShowPictureItem || k == kMovePictureItem || k == kHidePictureItem;
}
constexpr bool IsMediaLinkKind(int32_t k) { return k == kPlayMediaItem || k == kStopMediaItem; }

// A block of bytes owned by an item (picture or media data). Copies are deep. Blocks of
// whole megabytes (clips, music) are mapped with their pages: read once at load, they would
// otherwise pay a page fault per 4 KiB.
inline constexpr size_t kMappedDataBlock = size_t{2} << 20;

struct DataBlockFreer {
  size_t size = 0;
  void operator()(uint8_t* p) const noexcept {
    if (size >= kMappedDataBlock) {
      sys::FreeLarge(p, size);
    } else {
      delete[] p;
    }
  }
};

struct DataBlock {
  using Freer = DataBlockFreer;
  std::unique_ptr<uint8_t[], Freer> bytes;
  size_t size = 0;

  DataBlock() = default;
  DataBlock(DataBlock&&) noexcept = default;
  DataBlock& operator=(DataBlock&&) noexcept = default;
  DataBlock(const DataBlock& other) : DataBlock(Of(other.data(), other.size)) {}
  DataBlock& operator=(const DataBlock& other) {
    if (this != &other) *this = DataBlock(other);
    return *this;
  }
  // n bytes the caller overwrites (none when n is 0).
  static DataBlock Allocate(size_t n) {
    DataBlock b;
    b.size = n;
    if (n >= kMappedDataBlock) {
      b.bytes = {static_cast<uint8_t*>(sys::AllocateLarge(n)), Freer{n}};
    } else if (n) {
      b.bytes = {new uint8_t[n], Freer{n}};
    }
    return b;
  }
  static DataBlock Of(const uint8_t* p, size_t n) {
    DataBlock b = Allocate(n);
    if (n) std::memcpy(b.bytes.get(), p, n);
    return b;
  }
  const uint8_t* data() const { return bytes.get(); }
  uint8_t* data() { return bytes.get(); }
  bool empty() const { return size == 0; }
  bool operator==(const DataBlock& o) const {
    return size == o.size && (size == 0 || std::memcmp(bytes.get(), o.bytes.get(), size) == 0);
  }
};

// ---- Which archive versions store a field ----

using Stored = bool (*)(float version);

namespace versions {
constexpr bool Always(float) { return true; }
constexpr bool From2_0(float v) { return v >= 2.0f; }
constexpr bool From2_1(float v) { return v >= 2.1f; }
constexpr bool After4_01(float v) { return v > 4.01f; }
constexpr bool After4_21(float v) { return v > 4.21f; }
// As a desktop flag from 1.01 to 2.1, as the origin itself from 2.11.
constexpr bool ImageOrigin(float v) { return (v >= 1.01f && v <= 2.1f) || v >= 2.11f; }
constexpr bool OriginAsFlag(float v) { return v <= 2.1f; }

// The path's layouts, each one the authoring tool ever wrote. The ranges overlap on
// purpose: a record of 2.05 holds blocks B and C one after the other.
constexpr bool PathBlockA(float v) { return v == 1.0f; }
constexpr bool PathBlockB(float v) { return v > 1.1f && v < 2.1f; }
constexpr bool PathBlockC(float v) { return v > 2.0f && v < 3.0f; }
constexpr bool PathBlockD(float v) { return v > 2.9f && v < 3.2f; }
constexpr bool PathBlockE(float v) { return v > 3.2f; }
constexpr bool PathTail(float v) {
  return PathBlockA(v) || PathBlockB(v) || PathBlockC(v) || PathBlockD(v) || PathBlockE(v);
}
constexpr bool PathScreen(float v) {
  return PathBlockB(v) || PathBlockC(v) || PathBlockD(v) || PathBlockE(v);
}
constexpr bool PathEffect(float v) { return PathBlockC(v) || PathBlockD(v) || PathBlockE(v); }
constexpr bool PathEffectSpeed(float v) { return PathBlockD(v) || PathBlockE(v); }
}  // namespace versions

// How a field is stored, where that is more than its type.
enum class Encoding : uint8_t {
  Plain,
  OriginFlag,  // up to 2.1 a 0/1 flag that stands for 2 (desktop) or 1
  ModeFlags,   // before 3.2 a random and (from 1.1) a centred flag: only 3, 1 and 5 survive
  DataSize,    // the size of the record's data; nothing of the file follows when it is 0
};

struct AnyRecord {
  constexpr bool operator()(const auto&) const { return true; }
};

// One row of a field table. get(record) is the member; when(record) says whether the row is
// stored in this record at all (read in stored order, so it may look at earlier fields).
template <class Get, class When = AnyRecord>
struct Field {
  const char* name;
  Get get;
  Stored stored = versions::Always;
  Encoding encoding = Encoding::Plain;
  // What messages call the field ("this value of <name>" when unset).
  const char* what = nullptr;
  When when{};

  constexpr Field As(Encoding e) const {
    Field f = *this;
    f.encoding = e;
    return f;
  }
  constexpr Field Called(const char* text) const {
    Field f = *this;
    f.what = text;
    return f;
  }
  template <class W>
  constexpr Field<Get, W> If(W w) const {
    return {name, get, stored, encoding, what, w};
  }
};

template <class Get>
constexpr Field<Get> MakeField(const char* name, Get get, Stored stored = versions::Always) {
  return {name, get, stored};
}

#define SCENE_FIELD(member, ...) \
  ::scene::MakeField(            \
      #member, [](auto& r) -> auto& { return r.member; } __VA_OPT__(, ) __VA_ARGS__)

// ---- Walking a table ----

// f(row, member) for every row, in table order.
template <class R, class F>
constexpr void ForEachField(R& record, F&& f) {
  std::apply([&](const auto&... row) { (f(row, row.get(record)), ...); }, Fields(record));
}

// ---- The property records ----

struct ColorRecord {
  uint32_t color = 0;  // COLORREF
  int32_t paintMode = 0;
  int32_t randomColor = 0;
  int32_t useWindowBackground = 1;
  bool operator==(const ColorRecord&) const = default;
};

constexpr auto Fields(const ColorRecord&) {
  return std::tuple{SCENE_FIELD(color), SCENE_FIELD(paintMode), SCENE_FIELD(randomColor),
                    SCENE_FIELD(useWindowBackground)};
}

// Placement, motion and transition of a picture (or the ends of a line). The table is in the
// order the dump and the manifest list the fields; the archive's own order is in
// TransferPath.
struct PathRecord {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t stopX = 0, stopY = 0;
  int32_t dx = 1, dy = 1;
  // 5 stored point; 0 left/top, 1 centred, 2 right/bottom, 3 random, 4 random inside
  int32_t modeX1 = 5, modeY1 = 5, modeX2 = 5, modeY2 = 5;
  int32_t compareX = 0, bothConditions = 0, compareY = 0;
  int32_t moveSpeed = 100000;
  int32_t textSpeed = 2000;
  int32_t effect = 0;
  int32_t effectSpeed = 100;
  int32_t freeMotion = 0;
  int32_t horizontal = 1;
  int32_t textAnimation = 0, keepScreen = 0, saveBackground = 0;
  bool operator==(const PathRecord&) const = default;
};

constexpr auto Fields(const PathRecord&) {
  using namespace versions;
  return std::tuple{SCENE_FIELD(x1, PathTail),
                    SCENE_FIELD(y1, PathTail),
                    SCENE_FIELD(x2, PathTail),
                    SCENE_FIELD(y2, PathTail),
                    SCENE_FIELD(stopX, PathTail),
                    SCENE_FIELD(stopY, PathTail),
                    SCENE_FIELD(dx, PathTail),
                    SCENE_FIELD(dy, PathTail),
                    SCENE_FIELD(modeX1, PathTail).As(Encoding::ModeFlags),
                    SCENE_FIELD(modeY1, PathTail).As(Encoding::ModeFlags),
                    SCENE_FIELD(modeX2, PathTail).As(Encoding::ModeFlags),
                    SCENE_FIELD(modeY2, PathTail).As(Encoding::ModeFlags),
                    SCENE_FIELD(compareX, PathTail),
                    SCENE_FIELD(bothConditions, PathTail),
                    SCENE_FIELD(compareY, PathTail),
                    SCENE_FIELD(moveSpeed, PathTail),
                    SCENE_FIELD(textSpeed, PathTail),
                    SCENE_FIELD(effect, PathEffect),
                    SCENE_FIELD(effectSpeed, PathEffectSpeed),
                    SCENE_FIELD(freeMotion, PathTail),
                    SCENE_FIELD(horizontal, PathTail),
                    SCENE_FIELD(textAnimation, PathTail),
                    SCENE_FIELD(keepScreen, PathScreen),
                    SCENE_FIELD(saveBackground, PathScreen)};
}

// The path in the archive's order. io.Int(field) reads or writes one 32-bit field;
// io.ModeFlags(path, withCentre) the placement flags of the older layouts, and
// io.ModesFromFlags(path) settles the modes once every older block is through.
template <class Io, class P>
void TransferPath(Io& io, P& p) {
  using namespace versions;
  const float v = io.Version();
  auto tail = [&] {
    for (auto* f : {&p.x1, &p.y1, &p.x2, &p.y2, &p.dx, &p.dy, &p.horizontal, &p.compareX, &p.stopX,
                    &p.stopY, &p.bothConditions, &p.compareY, &p.freeMotion, &p.moveSpeed,
                    &p.textSpeed, &p.textAnimation})
      io.Int(*f);
  };
  if (PathBlockA(v)) {
    io.ModeFlags(p, false);
    tail();
  }
  auto olderBlock = [&](bool withEffect, bool withSpeed) {
    io.ModeFlags(p, true);
    tail();
    io.Int(p.keepScreen);
    io.Int(p.saveBackground);
    if (withEffect) io.Int(p.effect);
    if (withSpeed) io.Int(p.effectSpeed);
  };
  if (PathBlockB(v)) olderBlock(false, false);
  if (PathBlockC(v)) olderBlock(true, false);
  if (PathBlockD(v)) olderBlock(true, true);
  io.ModesFromFlags(p);
  if (PathBlockE(v)) {
    for (auto* f : {&p.modeX1, &p.modeY1, &p.modeX2, &p.modeY2}) io.Int(*f);
    tail();
    for (auto* f : {&p.keepScreen, &p.saveBackground, &p.effect, &p.effectSpeed}) io.Int(*f);
  }
}

// The system's font description (LOGFONT), stored as one shifted block of 60 bytes: five
// 32-bit fields, eight bytes and 32 characters of face name.
struct LogFont {
  int32_t height = -11, width = 0, escapement = 0, orientation = 0, weight = 0;
  uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
  uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
  std::array<char, 32> faceName{'M', 'S', ' ', 'S', 'a', 'n', 's', ' ', 'S', 'e', 'r', 'i', 'f'};

  static constexpr size_t kStoredSize = 60;
  bool operator==(const LogFont&) const = default;
  // The face name up to its terminator (which a stored name may lack).
  std::string FaceName() const {
    size_t n = 0;
    while (n < faceName.size() && faceName[n] != '\0') ++n;
    return std::string(faceName.data(), n);
  }
  // False when the name does not fit with its terminator.
  bool SetFaceName(const std::string& name) {
    if (name.size() >= faceName.size()) return false;
    faceName.fill('\0');
    std::memcpy(faceName.data(), name.data(), name.size());
    return true;
  }
};

constexpr auto Fields(const LogFont&) {
  return std::tuple{
      SCENE_FIELD(height),         SCENE_FIELD(width),         SCENE_FIELD(escapement),
      SCENE_FIELD(orientation),    SCENE_FIELD(weight),        SCENE_FIELD(italic),
      SCENE_FIELD(underline),      SCENE_FIELD(strikeOut),     SCENE_FIELD(charSet),
      SCENE_FIELD(outPrecision),   SCENE_FIELD(clipPrecision), SCENE_FIELD(quality),
      SCENE_FIELD(pitchAndFamily), SCENE_FIELD(faceName)};
}

// The 60 stored bytes, little-endian, field by field in table order.
inline void FontFromBytes(LogFont& font, const uint8_t* bytes) {
  size_t at = 0;
  ForEachField(font, [&](const auto&, auto& value) {
    using T = std::remove_reference_t<decltype(value)>;
    if constexpr (std::is_same_v<T, int32_t>) {
      uint32_t u = 0;
      for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(bytes[at + i]) << (8 * i);
      value = static_cast<int32_t>(u);
      at += 4;
    } else if constexpr (std::is_same_v<T, uint8_t>) {
      value = bytes[at++];
    } else {
      std::memcpy(value.data(), bytes + at, value.size());
      at += value.size();
    }
  });
}
inline void FontToBytes(const LogFont& font, uint8_t* bytes) {
  size_t at = 0;
  ForEachField(font, [&](const auto&, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_same_v<T, int32_t>) {
      for (int i = 0; i < 4; ++i)
        bytes[at++] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
    } else if constexpr (std::is_same_v<T, uint8_t>) {
      bytes[at++] = value;
    } else {
      std::memcpy(bytes + at, value.data(), value.size());
      at += value.size();
    }
  });
}

// ---- The item records ----

struct EmptyRecord {};
constexpr auto Fields(const EmptyRecord&) { return std::tuple{}; }

struct PictureRecord {
  int32_t source = 0;  // 1: text picture
  int32_t textOpaque = 1;
  int32_t imageOrigin = 1;  // 1 own image, 2 desktop snapshot, 3 wallpaper
  int32_t width = 0, height = 0;
  int32_t fitScreen = 0, keepAspect = 0;
  uint32_t textColor = 0x000000;  // system window-text colour
  uint32_t backColor = 0xFFFFFF;  // system window colour
  std::string text;
  LogFont font;
  std::string fileName;
  int32_t dataSize = 0;
  DataBlock data;

  bool isText() const { return source == 1; }
};

struct IsTextPicture {
  constexpr bool operator()(const auto& r) const { return r.source == 1; }
};
struct IsImagePicture {
  constexpr bool operator()(const auto& r) const { return r.source != 1; }
};
// Read in stored order, the size comes first; a writer knows its data.
struct HasData {
  constexpr bool operator()(const auto& r) const { return r.dataSize != 0 || r.data.size != 0; }
};
struct HasImageData {
  constexpr bool operator()(const auto& r) const { return r.source != 1 && HasData{}(r); }
};

constexpr auto Fields(const PictureRecord&) {
  using namespace versions;
  return std::tuple{
      SCENE_FIELD(source),
      SCENE_FIELD(textOpaque),
      SCENE_FIELD(imageOrigin, ImageOrigin).As(Encoding::OriginFlag).Called("this imageOrigin"),
      SCENE_FIELD(width, After4_01).Called("a picture size or fitScreen"),
      SCENE_FIELD(height, After4_01).Called("a picture size or fitScreen"),
      SCENE_FIELD(fitScreen, After4_01).Called("a picture size or fitScreen"),
      SCENE_FIELD(keepAspect, After4_21).Called("keepAspect"),
      SCENE_FIELD(textColor).If(IsTextPicture{}),
      SCENE_FIELD(backColor).If(IsTextPicture{}),
      SCENE_FIELD(text).If(IsTextPicture{}),
      SCENE_FIELD(font).If(IsTextPicture{}),
      SCENE_FIELD(fileName).If(HasImageData{}),
      SCENE_FIELD(dataSize).As(Encoding::DataSize).Called("picture data size").If(IsImagePicture{}),
      SCENE_FIELD(data).If(HasImageData{})};
}

// The archive stores the size before the file's name; the dump lists the name first.
template <class R>
constexpr auto StoredFields(const R& r) {
  return Fields(r);
}
constexpr auto StoredFields(const PictureRecord& r) {
  auto f = Fields(r);
  return std::apply(
      [&](auto... row) {
        auto t = std::tuple{row...};
        return std::tuple{std::get<0>(t),  std::get<1>(t), std::get<2>(t),  std::get<3>(t),
                          std::get<4>(t),  std::get<5>(t), std::get<6>(t),  std::get<7>(t),
                          std::get<8>(t),  std::get<9>(t), std::get<10>(t), std::get<12>(t),
                          std::get<11>(t), std::get<13>(t)};
      },
      f);
}

// Show, move and hide: the path and colour of the linked picture.
template <class Path = PathRecord, class Color = ColorRecord>
struct PictureLinkRecordOf {
  Path path;
  Color color;
};
using PictureLinkRecord = PictureLinkRecordOf<>;

template <class P, class C>
constexpr auto Fields(const PictureLinkRecordOf<P, C>&) {
  return std::tuple{SCENE_FIELD(path), SCENE_FIELD(color)};
}

struct PauseRecord {
  int32_t pauseMs = 0;
  int32_t randomPause = 0;
};
constexpr auto Fields(const PauseRecord&) {
  return std::tuple{SCENE_FIELD(pauseMs), SCENE_FIELD(randomPause)};
}

template <class Color = ColorRecord>
struct BackgroundRecordOf {
  Color color;
};
using BackgroundRecord = BackgroundRecordOf<>;
template <class C>
constexpr auto Fields(const BackgroundRecordOf<C>&) {
  return std::tuple{SCENE_FIELD(color)};
}

// The loop end's repetition.
struct RepeatRecord {
  int32_t repeatCount = 1;
  int32_t endless = 0;
};
constexpr auto Fields(const RepeatRecord&) {
  return std::tuple{SCENE_FIELD(repeatCount), SCENE_FIELD(endless)};
}

template <class Path = PathRecord, class Color = ColorRecord>
struct LineRecordOf {
  Path path;
  Color color;
  int32_t penStyle = 0;
  int32_t penWidth = 1;
};
using LineRecord = LineRecordOf<>;
template <class P, class C>
constexpr auto Fields(const LineRecordOf<P, C>&) {
  return std::tuple{SCENE_FIELD(color), SCENE_FIELD(path), SCENE_FIELD(penStyle),
                    SCENE_FIELD(penWidth)};
}

struct MediaRecord {
  int32_t dataSize = 0;
  std::string fileName;
  int32_t mediaType = 0;  // 0 wave, 1 video, 2 MP3
  DataBlock data;
};
constexpr auto Fields(const MediaRecord&) {
  using namespace versions;
  return std::tuple{
      SCENE_FIELD(dataSize).As(Encoding::DataSize).Called("media data size"),
      SCENE_FIELD(fileName).If(HasData{}),
      SCENE_FIELD(mediaType, From2_0).Called("a mediaType other than 0").If(HasData{}),
      SCENE_FIELD(data).If(HasData{})};
}

struct PlayMediaRecord {
  int32_t repeatCount = 1;
  int32_t endless = 0;
  int32_t waitUntilDone = 0;
  int32_t loopInBackground = 0;
  int32_t videoX = 0, videoY = 0;
};
constexpr auto Fields(const PlayMediaRecord&) {
  using namespace versions;
  return std::tuple{SCENE_FIELD(repeatCount),
                    SCENE_FIELD(endless),
                    SCENE_FIELD(waitUntilDone),
                    SCENE_FIELD(loopInBackground),
                    SCENE_FIELD(videoX, From2_1).Called("a video position"),
                    SCENE_FIELD(videoY, From2_1).Called("a video position")};
}

struct CommentRecord {
  std::string comment;
};
constexpr auto Fields(const CommentRecord&) { return std::tuple{SCENE_FIELD(comment)}; }

struct LinkRecord {
  int32_t clearLink = 0;
  int32_t linkMode = -1;
  std::string url = "http://";
};
constexpr auto Fields(const LinkRecord&) {
  return std::tuple{SCENE_FIELD(clearLink), SCENE_FIELD(linkMode), SCENE_FIELD(url)};
}

// ---- Walking the tables ----

// The same in the archive's order, for rows stored at version v in this record.
template <class R, class F>
void ForEachStoredField(R& record, float v, F&& f) {
  std::apply(
      [&](const auto&... row) {
        ((row.stored(v) && row.when(record) ? f(row, row.get(record)) : void()), ...);
      },
      StoredFields(record));
}

// The record type of each kind, handed to f as a null pointer of that type.
template <class F>
decltype(auto) WithRecordType(int32_t kind, F&& f) {
  switch (kind) {
    case kPictureItem:
      return f(static_cast<PictureRecord*>(nullptr));
    case kShowPictureItem:
    case kMovePictureItem:
    case kHidePictureItem:
      return f(static_cast<PictureLinkRecord*>(nullptr));
    case kPauseItem:
      return f(static_cast<PauseRecord*>(nullptr));
    case kBackgroundItem:
      return f(static_cast<BackgroundRecord*>(nullptr));
    case kLoopEndItem:
      return f(static_cast<RepeatRecord*>(nullptr));
    case kLineItem:
      return f(static_cast<LineRecord*>(nullptr));
    case kMediaItem:
      return f(static_cast<MediaRecord*>(nullptr));
    case kPlayMediaItem:
      return f(static_cast<PlayMediaRecord*>(nullptr));
    case kCommentItem:
      return f(static_cast<CommentRecord*>(nullptr));
    case kLinkItem:
      return f(static_cast<LinkRecord*>(nullptr));
    default:  // loop start, stop media: nothing beyond the header
      return f(static_cast<EmptyRecord*>(nullptr));
  }
}

template <class T>
inline constexpr bool kIsPath = std::is_base_of_v<PathRecord, T>;
template <class T>
inline constexpr bool kIsColor = std::is_base_of_v<ColorRecord, T>;

// Nested records (path, colour, font) have tables of their own.
template <class T>
inline constexpr bool kIsRecord = kIsPath<T> || kIsColor<T> || std::is_same_v<T, LogFont>;

}  // namespace scene
