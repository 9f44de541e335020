// One second-order peaking section of the equalizer:
//   H(z) = g * (1 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2)
// designed by the matched z-transform of the analog peaking section and scaled so
// that its magnitude at the centre frequency is exactly the wanted gain.
//
// Numbers: every stored field is a single-precision float; every intermediate value
// is a double, rounded to float only where it is stored. The filter state carries
// over from block to block and is never reset after construction.
//
// Threading: Configure and Process each hold the section's own lock for their whole
// run, so a block is never filtered with half-updated coefficients. Callers that
// hold a filter-wide lock take it before any section lock.
#pragma once

#include <mutex>

namespace kestrun::equalizer {

class BandFilter {
 public:
  BandFilter() = default;
  virtual ~BandFilter() = default;
  BandFilter(const BandFilter&) = delete;
  BandFilter& operator=(const BandFilter&) = delete;

  // Stores the design parameters (sampling period in seconds, centre frequency in
  // hertz, quality factor, linear gain at the centre) and recomputes the
  // coefficients. The state is left as it is.
  void Configure(float samplingPeriod, float centre, float quality, float gain);

  // Filters count floats from in into out (two distinct arrays) and updates the
  // state. Blocks of fewer than two values are left alone: the recursion reads the
  // last two inputs and outputs of the block into the state.
  void Process(const float* in, float* out, int count);

  // Copies of the fields, each read under the lock (for tests and for the batched
  // equalizer pass, which locks the sections itself).
  struct Coefficients {
    float g, b1, b2, a1, a2;
  };
  struct State {
    float y1, y2, x1, x2;
  };
  Coefficients coefficients() const;
  State state() const;

 private:
  friend class SectionBatch;

  float samplingPeriod_ = 0.0f;
  float centre_ = 0.0f;
  float quality_ = 0.0f;
  float gain_ = 0.0f;
  // Unset until the first Configure; zero rather than indeterminate so that an
  // unconfigured section outputs silence instead of reading garbage.
  float g_ = 0.0f;
  float b1_ = 0.0f, b2_ = 0.0f;
  float a1_ = 0.0f, a2_ = 0.0f;
  float y1_ = 0.0f, y2_ = 0.0f;
  float x1_ = 0.0f, x2_ = 0.0f;
  mutable std::mutex lock_;
};

}  // namespace kestrun::equalizer
