#pragma once
// Choosing the font file for a LOGFONT through fontconfig.

#include <string>

#include "platform/text/font.h"

namespace text {

struct FaceChoice {
  std::string file;  // empty when the system has no usable font at all
  int index = 0;
  std::string family;
  bool bold = false;    // the face itself is bold (no emboldening needed)
  bool italic = false;  // the face itself is italic or oblique
};

FaceChoice MatchFace(const LOGFONT& lf);

}  // namespace text
