#include "equalizer/dsp/band_filter.h"

#include <cmath>

namespace kestrun::equalizer {
namespace {

// These two constants are part of the filter's design as shipped, not
// approximations to be improved: changing either moves every coefficient.
constexpr double kTwoPi = 6.28318530717958;
// e rounded to single precision; exponentials are powers of this base.
constexpr double kExpBase = 2.7182817459106445;

// cos for an underdamped pair, cosh for an overdamped one (damping above 1, which
// the equalizer's own bands never reach).
double PairTerm(double zeta, double omegaT) {
  if (std::fabs(zeta) > 1.0) {
    return std::cosh(omegaT * std::sqrt(zeta * zeta - 1.0));
  }
  return std::cos(omegaT * std::sqrt(1.0 - zeta * zeta));
}

double Square(double value) { return value * value; }

}  // namespace

void BandFilter::Configure(float samplingPeriod, float centre, float quality, float gain) {
  std::lock_guard<std::mutex> hold(lock_);
  samplingPeriod_ = samplingPeriod;
  centre_ = centre;
  quality_ = quality;
  gain_ = gain;

  const double period = samplingPeriod;
  const double omega = static_cast<float>(centre * kTwoPi);
  const double alpha = 1.0 / (2.0 * quality);
  // A boost widens the zeros, a cut the poles; the cut's poles are the boost's
  // zeros, so a cut by k steps is the exact inverse of a boost by k steps.
  double zetaZero = alpha;
  double zetaPole = alpha;
  if (gain >= 1.0f) {
    zetaZero = alpha * gain;
  } else {
    zetaPole = alpha / gain;
  }
  const double zeroRadius = std::pow(kExpBase, -zetaZero * omega * period);
  const double poleRadius = std::pow(kExpBase, -zetaPole * omega * period);
  const double omegaT = omega * period;

  b1_ = static_cast<float>(-2.0 * zeroRadius * PairTerm(zetaZero, omegaT));
  b2_ = static_cast<float>(Square(zeroRadius));
  a1_ = static_cast<float>(-2.0 * poleRadius * PairTerm(zetaPole, omegaT));
  a2_ = static_cast<float>(Square(poleRadius));

  // Scale so that the magnitude of the stored section at the centre is the gain.
  const double cosTheta = std::cos(omegaT);
  const double sinTheta = std::sin(omegaT);
  const double poleMagnitude = std::sqrt(Square((double{a2_} + 1.0) * cosTheta + a1_) + Square((1.0 - a2_) * sinTheta));
  const double zeroMagnitude = std::sqrt(Square((double{b2_} + 1.0) * cosTheta + b1_) + Square((1.0 - b2_) * sinTheta));
  g_ = static_cast<float>(gain * poleMagnitude / zeroMagnitude);
}

void BandFilter::Process(const float* in, float* out, int count) {
  if (count < 2) {
    return;
  }
  std::lock_guard<std::mutex> hold(lock_);
  const double g = g_, b1 = b1_, b2 = b2_, a1 = a1_, a2 = a2_;
  double x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
  for (int k = 0; k < count; ++k) {
    const double x0 = in[k];
    // Each output is stored as a float and the following steps read the stored
    // value; the order of the operations is fixed (the vector paths repeat it).
    const float y0 = static_cast<float>(g * (x0 + b1 * x1 + b2 * x2) - (a1 * y1 + a2 * y2));
    out[k] = y0;
    x2 = x1;
    x1 = x0;
    y2 = y1;
    y1 = y0;
  }
  x1_ = static_cast<float>(x1);
  x2_ = static_cast<float>(x2);
  y1_ = static_cast<float>(y1);
  y2_ = static_cast<float>(y2);
}

BandFilter::Coefficients BandFilter::coefficients() const {
  std::lock_guard<std::mutex> hold(lock_);
  return {g_, b1_, b2_, a1_, a2_};
}

BandFilter::State BandFilter::state() const {
  std::lock_guard<std::mutex> hold(lock_);
  return {y1_, y2_, x1_, x2_};
}

}  // namespace kestrun::equalizer
