#include "platform/text/face_matcher.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>

namespace text {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return std::string(s);
}

// Windows faces and the free faces drawn with the same metrics (or, for the old bitmap
// and UI faces, the sans face closest to how they look).
struct Substitute {
  const char* windows;
  const char* free;
};
constexpr Substitute kSubstitutes[] = {
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"ms sans serif", "Liberation Sans"},
    {"ms shell dlg", "Liberation Sans"},
    {"ms shell dlg 2", "Liberation Sans"},
    {"microsoft sans serif", "Liberation Sans"},
    {"system", "Liberation Sans"},
    {"small fonts", "Liberation Sans"},
    {"arial narrow", "Liberation Sans Narrow"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"ms serif", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"fixedsys", "Liberation Mono"},
    {"terminal", "Liberation Mono"},
    {"lucida console", "DejaVu Sans Mono"},
    {"verdana", "DejaVu Sans"},
    {"tahoma", "DejaVu Sans"},
    {"georgia", "DejaVu Serif"},
};

// Character sets whose text most Latin faces cannot show; a face for the language is
// looked for when the chosen one lacks it.
const char* LanguageOf(uint8_t charSet) {
  switch (charSet) {
    case SHIFTJIS_CHARSET:
      return "ja";
    case HANGUL_CHARSET:
      return "ko";
    case GB2312_CHARSET:
      return "zh-cn";
    case CHINESEBIG5_CHARSET:
      return "zh-tw";
    case THAI_CHARSET:
      return "th";
    case HEBREW_CHARSET:
      return "he";
    case ARABIC_CHARSET:
      return "ar";
    default:
      return nullptr;
  }
}

std::mutex& FontconfigMutex() {
  static std::mutex mutex;
  return mutex;
}

// A configuration of our own rather than fontconfig's process-wide default, so that it is
// released at exit.
struct ConfigDeleter {
  void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
FcConfig* Config() {
  static std::unique_ptr<FcConfig, ConfigDeleter> config(FcInitLoadConfigAndFonts());
  return config.get();
}

struct Match {
  FcPattern* pattern = nullptr;
  explicit Match(FcPattern* p) : pattern(p) {}
  ~Match() {
    if (pattern) FcPatternDestroy(pattern);
  }
  Match(const Match&) = delete;
  Match& operator=(const Match&) = delete;
};

bool HasFamily(FcPattern* match, const std::string& family) {
  const std::string wanted = Lower(family);
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    if (Lower(reinterpret_cast<const char*>(value)) == wanted) return true;
  }
  return false;
}

bool HasLanguage(FcPattern* match, const char* language) {
  FcLangSet* langs = nullptr;
  if (FcPatternGetLangSet(match, FC_LANG, 0, &langs) != FcResultMatch) return false;
  return FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>(language)) == FcLangEqual;
}

// fontconfig's best scalable face for the family (and language); null when none exists.
FcPattern* Query(const std::string& family, const LOGFONT& lf, const char* language) {
  FcPattern* pattern = Config() ? FcPatternCreate() : nullptr;
  if (!pattern) return nullptr;
  if (!family.empty())
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  const int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::min(lf.lfWeight, 1000);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  if (language) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
  FcConfigSubstitute(Config(), pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(Config(), pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return nullptr;
  FcBool scalable = FcFalse;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch ||
      (FcPatternGetBool(match, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable)) {
    FcPatternDestroy(match);
    return nullptr;
  }
  return match;
}

FaceChoice ChoiceOf(FcPattern* match) {
  FaceChoice choice;
  FcChar8* value = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &value) == FcResultMatch)
    choice.file = reinterpret_cast<const char*>(value);
  if (FcPatternGetString(match, FC_FAMILY, 0, &value) == FcResultMatch)
    choice.family = reinterpret_cast<const char*>(value);
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(match, FC_SLANT, 0, &slant);
  choice.index = index;
  choice.bold = weight >= FC_WEIGHT_DEMIBOLD;
  choice.italic = slant != FC_SLANT_ROMAN;
  return choice;
}

// The family Windows falls back to for a face it does not have.
const char* FallbackFamily(uint8_t pitchAndFamily) {
  if ((pitchAndFamily & 0x03) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN)
    return "Liberation Mono";
  if ((pitchAndFamily & 0xF0) == FF_ROMAN) return "Liberation Serif";
  return "Liberation Sans";
}
const char* GenericFamily(uint8_t pitchAndFamily) {
  if ((pitchAndFamily & 0x03) == FIXED_PITCH || (pitchAndFamily & 0xF0) == FF_MODERN)
    return "monospace";
  if ((pitchAndFamily & 0xF0) == FF_ROMAN) return "serif";
  return "sans-serif";
}

FaceChoice MatchUncached(const LOGFONT& lf, const char* language);

}  // namespace

std::string SubstituteFamily(std::string_view faceName) {
  const std::string name = Trim(faceName);
  const std::string key = Lower(name);
  for (const Substitute& s : kSubstitutes) {
    if (key == s.windows) return s.free;
  }
  return name;
}

FaceChoice MatchFace(const LOGFONT& lf) {
  std::lock_guard lock(FontconfigMutex());
  const char* language = LanguageOf(lf.lfCharSet);
  // Matching takes far longer than rendering a line; sizes and the other styles do not
  // change the answer.
  static std::map<std::string, FaceChoice> matches;
  const std::string key = Lower(lf.lfFaceName) + "|" + std::to_string(lf.lfWeight) + "|" +
                          (lf.lfItalic ? "i" : "") + "|" + (language ? language : "") + "|" +
                          std::to_string(lf.lfPitchAndFamily);
  if (auto it = matches.find(key); it != matches.end()) return it->second;
  if (matches.size() >= 256) matches.clear();
  return matches[key] = MatchUncached(lf, language);
}

namespace {

FaceChoice MatchUncached(const LOGFONT& lf, const char* language) {
  // The named face, its stand-in, the family's fallback, then whatever fontconfig offers.
  const std::string named = SubstituteFamily(lf.lfFaceName);
  std::unique_ptr<Match> found;
  for (const std::string& family : {named, std::string(FallbackFamily(lf.lfPitchAndFamily))}) {
    if (family.empty()) continue;
    auto m = std::make_unique<Match>(Query(family, lf, nullptr));
    if (m->pattern && HasFamily(m->pattern, family)) {
      found = std::move(m);
      break;
    }
  }
  if (!found)
    found = std::make_unique<Match>(Query(GenericFamily(lf.lfPitchAndFamily), lf, nullptr));
  if (!found->pattern) found = std::make_unique<Match>(Query("", lf, nullptr));
  if (language && found->pattern && !HasLanguage(found->pattern, language)) {
    auto m = std::make_unique<Match>(Query(GenericFamily(lf.lfPitchAndFamily), lf, language));
    if (m->pattern && HasLanguage(m->pattern, language)) found = std::move(m);
  }
  if (!found->pattern) return {};
  return ChoiceOf(found->pattern);
}

}  // namespace

}  // namespace text
