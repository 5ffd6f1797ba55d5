// Bilinear scaling of a whole buffer: the rows of the source fed through a RowScaler.

#include <new>

#include "imaging/decoder_state.h"
#include "imaging/row_scaler.h"

namespace imaging {

bool ResizePixels(std::span<const uint8_t> src, int srcWidth, int srcHeight, std::span<uint8_t> dst,
                  int dstWidth, int dstHeight, int n) {
  detail::Call call;
  if (!call) return false;
  const size_t srcSize = BufferSize(srcWidth, srcHeight, n);
  const size_t dstSize = BufferSize(dstWidth, dstHeight, n);
  if (src.empty() || dst.empty() || srcSize == 0 || dstSize == 0 || src.size() < srcSize ||
      dst.size() < dstSize)
    return call.Fail(kErrArgument, false);

  try {
    const size_t srcStride = static_cast<size_t>(srcWidth) * n;
    const size_t dstStride = static_cast<size_t>(dstWidth) * n;
    RowScaler scaler(srcWidth, srcHeight, dstWidth, dstHeight, n);
    int y = 0;
    for (int sy = 0; sy < srcHeight; ++sy) {
      scaler.Push(src.data() + static_cast<size_t>(sy) * srcStride);
      while (y < dstHeight && scaler.Next(dst.data() + static_cast<size_t>(y) * dstStride)) ++y;
    }
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, false);
  }
  call.Set(kOk);
  return true;
}

}  // namespace imaging
