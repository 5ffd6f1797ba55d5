// Bilinear scaling without half-pixel offset. The arithmetic is fixed (double precision,
// this order of operations) so every build gives the same bytes.

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "imaging/decoder_state.h"

namespace imaging {
namespace {

struct Column {
  size_t off0;  // byte offsets of x0 and x1 in a row
  size_t off1;
  double w0;  // x0 + 1 - x
  double w1;  // x - x0
};

// Horizontal pass of one source row, kept as doubles for the vertical pass.
template <int N>
void Horizontal(const uint8_t* row, const std::vector<Column>& cols, int n, double* out) {
  const int channels = N > 0 ? N : n;
  for (size_t i = 0; i < cols.size(); ++i) {
    const Column& c = cols[i];
    for (int k = 0; k < channels; ++k)
      out[i * channels + k] = row[c.off0 + k] * c.w0 + row[c.off1 + k] * c.w1;
  }
}

}  // namespace

bool ResizePixels(std::span<const uint8_t> src, int srcWidth, int srcHeight,
                  std::span<uint8_t> dst, int dstWidth, int dstHeight, int n) {
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
    std::vector<Column> cols(static_cast<size_t>(dstWidth));
    for (int i = 0; i < dstWidth; ++i) {
      double x = static_cast<double>(i) * srcWidth / dstWidth;
      x = std::clamp(x, 0.0, static_cast<double>(srcWidth - 1));
      const double x0 = std::floor(x);
      const double x1 = std::min(x0 + 1, static_cast<double>(srcWidth - 1));
      cols[static_cast<size_t>(i)] = Column{static_cast<size_t>(x0) * n,
                                            static_cast<size_t>(x1) * n, x0 + 1 - x, x - x0};
    }
    // Horizontal results of the two source rows in use; reused while they stay the same.
    std::vector<double> rowA(dstStride), rowB(dstStride);
    double* h0 = rowA.data();
    double* h1 = rowB.data();
    long have0 = -1, have1 = -1;
    auto horizontal = [&](long sy, double* out) {
      const uint8_t* row = src.data() + static_cast<size_t>(sy) * srcStride;
      if (n == 3)
        Horizontal<3>(row, cols, n, out);
      else if (n == 4)
        Horizontal<4>(row, cols, n, out);
      else
        Horizontal<0>(row, cols, n, out);
    };
    for (int j = 0; j < dstHeight; ++j) {
      double y = static_cast<double>(j) * srcHeight / dstHeight;
      y = std::clamp(y, 0.0, static_cast<double>(srcHeight - 1));
      const double f = std::floor(y);
      const long r0 = static_cast<long>(f);
      const long r1 = std::min(r0 + 1, static_cast<long>(srcHeight - 1));
      if (have0 != r0) {
        if (have1 == r0) {
          std::swap(h0, h1);
          std::swap(have0, have1);
        } else {
          horizontal(r0, h0);
          have0 = r0;
        }
      }
      if (have1 != r1) {
        horizontal(r1, h1);
        have1 = r1;
      }
      const double wy1 = y - f;
      const double wy0 = f + 1 - y;
      uint8_t* out = dst.data() + static_cast<size_t>(j) * dstStride;
      for (size_t k = 0; k < dstStride; ++k)
        out[k] = static_cast<uint8_t>(static_cast<int>(h1[k] * wy1 + h0[k] * wy0));
    }
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, false);
  }
  call.Set(kOk);
  return true;
}

}  // namespace imaging
