#pragma once
// Bitmap 144: the 96 x 112 logo of the preview window (drawn 97 pixels wide).

#include "platform/gfx/surface.h"

namespace res {

inline constexpr int kPreviewLogoId = 144;
inline constexpr int kPreviewLogoWidth = 96;
inline constexpr int kPreviewLogoHeight = 112;

gfx::Surface PreviewLogo();

}  // namespace res
