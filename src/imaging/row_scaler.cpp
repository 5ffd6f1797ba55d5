// Bilinear scaling without half-pixel offset. The arithmetic is fixed (double precision,
// this order of operations) so every build gives the same bytes.

#include "imaging/row_scaler.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace imaging {
namespace {

template <int N, typename Column>
void HorizontalOf(const uint8_t* row, const std::vector<Column>& cols, int n, double* out) {
  const int channels = N > 0 ? N : n;
  for (size_t i = 0; i < cols.size(); ++i) {
    const Column& c = cols[i];
    for (int k = 0; k < channels; ++k)
      out[i * channels + k] = row[c.off0 + k] * c.w0 + row[c.off1 + k] * c.w1;
  }
}

}  // namespace

RowScaler::RowScaler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int n)
    : srcHeight_(srcHeight),
      dstHeight_(dstHeight),
      n_(n),
      dstStride_(static_cast<size_t>(dstWidth) * n),
      cols_(static_cast<size_t>(dstWidth)) {
  for (int i = 0; i < dstWidth; ++i) {
    double x = static_cast<double>(i) * srcWidth / dstWidth;
    x = std::clamp(x, 0.0, static_cast<double>(srcWidth - 1));
    const double x0 = std::floor(x);
    const double x1 = std::min(x0 + 1, static_cast<double>(srcWidth - 1));
    cols_[static_cast<size_t>(i)] =
        Column{static_cast<size_t>(x0) * n, static_cast<size_t>(x1) * n, x0 + 1 - x, x - x0};
  }
  for (std::vector<double>& slot : slots_) slot.resize(dstStride_);
}

RowScaler::Rows RowScaler::RowsOf(int j) const {
  double y = static_cast<double>(j) * srcHeight_ / dstHeight_;
  y = std::clamp(y, 0.0, static_cast<double>(srcHeight_ - 1));
  const double f = std::floor(y);
  const long r0 = static_cast<long>(f);
  const long r1 = std::min(r0 + 1, static_cast<long>(srcHeight_ - 1));
  return {r0, r1, f + 1 - y, y - f};
}

void RowScaler::Horizontal(const uint8_t* row, double* out) const {
  if (n_ == 3)
    HorizontalOf<3>(row, cols_, n_, out);
  else if (n_ == 4)
    HorizontalOf<4>(row, cols_, n_, out);
  else
    HorizontalOf<0>(row, cols_, n_, out);
}

void RowScaler::Push(const uint8_t* row) {
  const long sy = pushed_++;
  if (next_ >= dstHeight_) return;
  // The next target row needs at most rows r0 and r0 + 1; a row before r0 is never needed
  // again, and a row after r1 only once this target row is done (taken before the push).
  const Rows rows = RowsOf(next_);
  assert(rows.r1 >= sy);
  if (sy < rows.r0 || sy > rows.r1) return;
  const int slot = slotRow_[0] == rows.r0 && rows.r0 != sy ? 1 : 0;
  Horizontal(row, slots_[slot].data());
  slotRow_[slot] = sy;
}

bool RowScaler::Next(uint8_t* out) {
  if (next_ >= dstHeight_) return false;
  const Rows rows = RowsOf(next_);
  if (rows.r1 >= pushed_) return false;
  const double* h0 = slots_[slotRow_[0] == rows.r0 ? 0 : 1].data();
  const double* h1 = slots_[slotRow_[1] == rows.r1 ? 1 : 0].data();
  assert(slotRow_[h0 == slots_[0].data() ? 0 : 1] == rows.r0);
  assert(slotRow_[h1 == slots_[0].data() ? 0 : 1] == rows.r1);
  // Locals: stores through out (bytes) could alias the members, and no vector code then.
  const size_t n = dstStride_;
  const double w0 = rows.w0, w1 = rows.w1;
  for (size_t k = 0; k < n; ++k)
    out[k] = static_cast<uint8_t>(static_cast<int>(h1[k] * w1 + h0[k] * w0));
  ++next_;
  return true;
}

}  // namespace imaging
