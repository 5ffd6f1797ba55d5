#include "scenepack/show_writer.h"

#include <array>
#include <cstdio>
#include <limits>

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

void TailA(ArchiveWriter& out, const PathRecord& p) {
  for (int32_t v :
       {p.x1, p.y1, p.x2, p.y2, p.dx, p.dy, p.horizontal, p.compareX, p.stopX, p.stopY,
        p.bothConditions, p.compareY, p.freeMotion, p.moveSpeed, p.textSpeed, p.textAnimation})
    out.I32(v);
}

void CopyTailA(PathRecord& to, const PathRecord& from) {
  to.x1 = from.x1, to.y1 = from.y1, to.x2 = from.x2, to.y2 = from.y2;
  to.dx = from.dx, to.dy = from.dy, to.horizontal = from.horizontal;
  to.compareX = from.compareX, to.stopX = from.stopX, to.stopY = from.stopY;
  to.bothConditions = from.bothConditions, to.compareY = from.compareY;
  to.freeMotion = from.freeMotion, to.moveSpeed = from.moveSpeed;
  to.textSpeed = from.textSpeed, to.textAnimation = from.textAnimation;
}

// The first field where what the reader will see differs from what was asked, or nullptr.
const char* FirstDifference(const PathRecord& got, const PathRecord& want) {
  for (const auto& f : kPathFields)
    if (got.*(f.member) != want.*(f.member)) return f.name;
  return nullptr;
}

void CheckInt32Size(size_t n, int index, const Item& item, const char* field) {
  if (n > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw ShowError(index, Cp1252ToUtf8(item.name), field, "larger than 2 GiB");
}

}  // namespace

void WritePathRecord(ArchiveWriter& out, const PathRecord& p, float v, int index,
                     const std::string& name, const std::string& field) {
  // Older layouts carry placement only as random and centre flags.
  const std::array<int32_t, 4> modes = {p.modeX1, p.modeY1, p.modeX2, p.modeY2};
  auto writeFlags = [&](bool withCentre) {
    for (int32_t m : modes) out.I32(m == 3 ? 1 : 0);
    if (withCentre)
      for (int32_t m : modes) out.I32(m == 1 ? 1 : 0);
  };

  // What the reader will end up with, built the way it reads.
  PathRecord seen;
  std::array<bool, 4> random{}, centre{};
  if (v == 1.0f) {
    writeFlags(false);
    TailA(out, p);
    CopyTailA(seen, p);
    for (size_t i = 0; i < 4; ++i) random[i] = modes[i] == 3;
  }
  auto block2 = [&](bool withEffect, bool withSpeed) {
    writeFlags(true);
    TailA(out, p);
    out.I32(p.keepScreen);
    out.I32(p.saveBackground);
    if (withEffect) out.I32(p.effect);
    if (withSpeed) out.I32(p.effectSpeed);
    CopyTailA(seen, p);
    seen.keepScreen = p.keepScreen;
    seen.saveBackground = p.saveBackground;
    if (withEffect) seen.effect = p.effect;
    if (withSpeed) seen.effectSpeed = p.effectSpeed;
    for (size_t i = 0; i < 4; ++i) {
      random[i] = modes[i] == 3;
      centre[i] = modes[i] == 1;
    }
  };
  if (v > 1.1f && v < 2.1f) block2(false, false);
  if (v > 2.0f && v < 3.0f) block2(true, false);
  if (v > 2.9f && v < 3.2f) block2(true, true);
  std::array<int32_t*, 4> seenModes = {&seen.modeX1, &seen.modeY1, &seen.modeX2, &seen.modeY2};
  for (size_t i = 0; i < 4; ++i) *seenModes[i] = centre[i] ? 1 : random[i] ? 3 : 5;
  if (v > 3.2f) {
    for (int32_t m : modes) out.I32(m);
    TailA(out, p);
    for (int32_t x : {p.keepScreen, p.saveBackground, p.effect, p.effectSpeed}) out.I32(x);
    seen = p;
  }
  if (const char* diff = FirstDifference(seen, p))
    NotStored(index, name, field + "." + diff, v, std::string("this value of ") + diff);
}

void WriteColorRecord(ArchiveWriter& out, const ColorRecord& c) {
  out.U32(c.color);
  out.I32(c.paintMode);
  out.I32(c.randomColor);
  out.I32(c.useWindowBackground);
}

void WriteFontRecord(ArchiveWriter& out, const FontRecord& f, int index, const std::string& name) {
  if (f.faceName.size() >= kFaceNameSize)
    throw ShowError(index, Cp1252ToUtf8(name), "font.faceName", "longer than 31 characters");
  ArchiveWriter block;
  for (int32_t v : {f.height, f.width, f.escapement, f.orientation, f.weight}) block.I32(v);
  for (uint8_t b : {f.italic, f.underline, f.strikeOut, f.charSet, f.outPrecision, f.clipPrecision,
                    f.quality, f.pitchAndFamily})
    block.U8(b);
  std::array<uint8_t, kFaceNameSize> face{};
  std::copy(f.faceName.begin(), f.faceName.end(), face.begin());
  block.Bytes(face);
  out.ScrambledBlock(block.bytes());
}

void WriteItemRecord(ArchiveWriter& out, const Item& it, float v, int index) {
  const std::string utf8Name = Cp1252ToUtf8(it.name);
  out.I32(it.kind);
  out.ScrambledString(it.name);
  out.I32(it.tagValue);
  out.I32(it.disabled);
  switch (it.kind) {
    case kPictureItem: {
      out.I32(it.source);
      out.I32(it.textOpaque);
      int32_t origin = 1;
      if (v >= 1.01f && v <= 2.1f) {
        if (it.imageOrigin == 1 || it.imageOrigin == 2) origin = it.imageOrigin;
        out.I32(it.imageOrigin == 2 ? 1 : 0);
      }
      if (v >= 2.11f) {
        out.I32(it.imageOrigin);
        origin = it.imageOrigin;
      }
      if (origin != it.imageOrigin) NotStored(index, it.name, "imageOrigin", v, "this imageOrigin");
      if (v > 4.01f) {
        out.I32(it.width);
        out.I32(it.height);
        out.I32(it.fitScreen);
      } else if (it.width != 0 || it.height != 0 || it.fitScreen != 0) {
        NotStored(index, it.name,
                  it.width    ? "width"
                  : it.height ? "height"
                              : "fitScreen",
                  v, "a picture size or fitScreen");
      }
      if (v > 4.21f)
        out.I32(it.keepAspect);
      else if (it.keepAspect != 0)
        NotStored(index, it.name, "keepAspect", v, "keepAspect");
      if (it.source == 1) {
        out.U32(it.textColor);
        out.U32(it.backColor);
        out.ScrambledString(it.text);
        WriteFontRecord(out, it.font, index, it.name);
      } else {
        CheckInt32Size(it.data.size(), index, it, "file");
        out.I32(static_cast<int32_t>(it.data.size()));
        if (!it.data.empty()) {
          out.ScrambledString(it.fileName);
          out.ScrambledBlock(it.data);
        }
      }
      break;
    }
    case kShowPictureItem:
    case kMovePictureItem:
    case kHidePictureItem:
      WritePathRecord(out, it.path, v, index, it.name);
      WriteColorRecord(out, it.color);
      break;
    case kPauseItem:
      out.I32(it.pauseMs);
      out.I32(it.randomPause);
      break;
    case kBackgroundItem:
      WriteColorRecord(out, it.color);
      break;
    case kLoopStartItem:
    case kStopMediaItem:
      break;
    case kLoopEndItem:
      out.I32(it.repeatCount);
      out.I32(it.endless);
      break;
    case kLineItem:
      WriteColorRecord(out, it.color);
      WritePathRecord(out, it.path, v, index, it.name);
      out.I32(it.penStyle);
      out.I32(it.penWidth);
      break;
    case kMediaItem:
      CheckInt32Size(it.data.size(), index, it, "file");
      out.I32(static_cast<int32_t>(it.data.size()));
      if (it.data.empty()) break;
      out.ScrambledString(it.fileName);
      if (v >= 2.0f)
        out.I32(it.mediaType);
      else if (it.mediaType != 0)
        NotStored(index, it.name, "mediaType", v, "a mediaType other than 0");
      out.ScrambledBlock(it.data);
      break;
    case kPlayMediaItem:
      out.I32(it.repeatCount);
      out.I32(it.endless);
      out.I32(it.waitUntilDone);
      out.I32(it.loopInBackground);
      if (v >= 2.1f) {
        out.I32(it.videoX);
        out.I32(it.videoY);
      } else if (it.videoX != 0 || it.videoY != 0) {
        NotStored(index, it.name, it.videoX ? "videoX" : "videoY", v, "a video position");
      }
      break;
    case kCommentItem:
      out.ScrambledString(it.comment);
      break;
    case kLinkItem:
      out.I32(it.clearLink);
      out.I32(it.linkMode);
      out.ScrambledString(it.url);
      break;
    default:
      throw ShowError(index, utf8Name, "class", "unknown item kind " + std::to_string(it.kind));
  }
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
