#pragma once
// Bilinear scaling of rows as they come: ResizePixels' arithmetic, fed one source row at a
// time top to bottom, so that a picture can be scaled while it is decoded without ever
// holding all of its pixels.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

class RowScaler {
 public:
  // n bytes per pixel; sizes must be positive (callers check them). Throws std::bad_alloc.
  RowScaler(int srcWidth, int srcHeight, int dstWidth, int dstHeight, int n);

  // Takes the next source row (srcWidth * n bytes). Every finished target row must have
  // been taken with Next before the next source row comes.
  void Push(const uint8_t* row);
  // Writes the next finished target row (dstWidth * n bytes; rows come top to bottom)
  // into out; false while it still waits for source rows, and after the last one.
  bool Next(uint8_t* out);

 private:
  struct Column {
    size_t off0;  // byte offsets of x0 and x1 in a row
    size_t off1;
    double w0;  // x0 + 1 - x
    double w1;  // x - x0
  };
  struct Rows {
    long r0, r1;    // the source rows of a target row
    double w0, w1;  // their weights
  };
  Rows RowsOf(int j) const;
  void Horizontal(const uint8_t* row, double* out) const;

  int srcHeight_, dstHeight_, n_;
  size_t dstStride_;
  std::vector<Column> cols_;
  // Horizontal results of the (at most two) source rows the next target row needs.
  std::vector<double> slots_[2];
  long slotRow_[2] = {-1, -1};
  long pushed_ = 0;
  int next_ = 0;
};

}  // namespace imaging
