// Measuring signals the way a bench instrument would, so that module tests
// compare against mathematics rather than against the code under test:
// frequency by zero crossings, complex amplitudes of known frequencies by
// least squares, spectra by FFT.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace ov::test {

// Rising crossings of `threshold`, at fractional sample positions found by
// linear interpolation between the samples around each crossing.
inline std::vector<double> RisingCrossings(const std::vector<float>& x, double threshold = 0.0) {
  std::vector<double> at;
  for (std::size_t n = 1; n < x.size(); ++n) {
    const double a = x[n - 1] - threshold, b = x[n] - threshold;
    if (a <= 0.0 && b > 0.0) at.push_back(static_cast<double>(n - 1) + a / (a - b));
  }
  return at;
}

// Frequency from the first and last rising zero crossing: (crossings - 1)
// whole cycles over the time between them.
inline double FrequencyByCrossings(const std::vector<float>& x, double sample_rate) {
  const std::vector<double> at = RisingCrossings(x);
  if (at.size() < 2) return 0.0;
  return static_cast<double>(at.size() - 1) / (at.back() - at.front()) * sample_rate;
}

// Solves A c = y in the least-squares sense for a small dense basis (normal
// equations, Gaussian elimination with partial pivoting, in double).
inline std::vector<double> LeastSquares(const std::vector<std::vector<double>>& basis,
                                        const std::vector<double>& y) {
  const std::size_t m = basis.size();
  std::vector<std::vector<double>> normal(m, std::vector<double>(m + 1, 0.0));
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < m; ++j) {
      double sum = 0.0;
      for (std::size_t n = 0; n < y.size(); ++n) sum += basis[i][n] * basis[j][n];
      normal[i][j] = sum;
    }
    double sum = 0.0;
    for (std::size_t n = 0; n < y.size(); ++n) sum += basis[i][n] * y[n];
    normal[i][m] = sum;
  }
  for (std::size_t col = 0; col < m; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < m; ++r) {
      if (std::fabs(normal[r][col]) > std::fabs(normal[pivot][col])) pivot = r;
    }
    std::swap(normal[col], normal[pivot]);
    if (normal[col][col] == 0.0) throw std::runtime_error("singular basis");
    for (std::size_t r = 0; r < m; ++r) {
      if (r == col) continue;
      const double factor = normal[r][col] / normal[col][col];
      for (std::size_t c = col; c <= m; ++c) normal[r][c] -= factor * normal[col][c];
    }
  }
  std::vector<double> solution(m);
  for (std::size_t i = 0; i < m; ++i) solution[i] = normal[i][m] / normal[i][i];
  return solution;
}

// The signal's components at `frequencies` (Hz) plus a constant, fitted by
// least squares over the whole of `x`. Component i is c with
// x[n] ~ Re(c e^{j 2 pi f n / fs}); returns them and leaves the residual
// (what the fit does not explain) in `residual` when given.
inline std::vector<std::complex<double>> FitTones(const std::vector<float>& x,
                                                  const std::vector<double>& frequencies,
                                                  double sample_rate,
                                                  std::vector<double>* residual = nullptr) {
  const std::size_t n_samples = x.size();
  std::vector<std::vector<double>> basis;
  basis.emplace_back(n_samples, 1.0);
  for (const double f : frequencies) {
    std::vector<double> c(n_samples), s(n_samples);
    const double w = 2.0 * std::numbers::pi * f / sample_rate;
    for (std::size_t n = 0; n < n_samples; ++n) {
      c[n] = std::cos(w * static_cast<double>(n));
      s[n] = std::sin(w * static_cast<double>(n));
    }
    basis.push_back(std::move(c));
    basis.push_back(std::move(s));
  }
  const std::vector<double> y(x.begin(), x.end());
  const std::vector<double> fit = LeastSquares(basis, y);
  std::vector<std::complex<double>> tones;
  // a cos + b sin = Re((a - j b) e^{j w n}).
  for (std::size_t i = 0; i < frequencies.size(); ++i) {
    tones.emplace_back(fit[1 + 2 * i], -fit[2 + 2 * i]);
  }
  if (residual != nullptr) {
    residual->assign(y.begin(), y.end());
    for (std::size_t b = 0; b < basis.size(); ++b) {
      for (std::size_t n = 0; n < n_samples; ++n) (*residual)[n] -= fit[b] * basis[b][n];
    }
  }
  return tones;
}

// In-place radix-2 FFT; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  if ((n & (n - 1)) != 0) throw std::invalid_argument("FFT size must be a power of two");
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2.0 * std::numbers::pi / static_cast<double>(len);
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0, 0.0);
      for (std::size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= step;
      }
    }
  }
}

// Amplitude spectrum with a Hann window, bins 0 ... N/2, scaled so that a
// sinusoid of amplitude A centred on a bin reads A. Since |window| <= 1 and
// the scale divides by the window's sum, a bin never reads more than the sum
// of the amplitudes of all components (triangle inequality).
inline std::vector<double> HannAmplitudeSpectrum(const std::vector<double>& x) {
  const std::size_t n = x.size();
  std::vector<std::complex<double>> a(n);
  double window_sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                          static_cast<double>(n));
    window_sum += w;
    a[i] = x[i] * w;
  }
  Fft(a);
  std::vector<double> amplitude(n / 2 + 1);
  for (std::size_t k = 0; k <= n / 2; ++k) amplitude[k] = 2.0 * std::abs(a[k]) / window_sum;
  return amplitude;
}

// Evaluates a rational transfer function in z^-1 at frequency f:
// (sum b_i z^-i) / (sum a_i z^-i).
inline std::complex<double> Response(const std::vector<double>& b, const std::vector<double>& a,
                                     double f, double sample_rate) {
  const std::complex<double> z_inv = std::polar(1.0, -2.0 * std::numbers::pi * f / sample_rate);
  std::complex<double> num = 0.0, den = 0.0, power = 1.0;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i < b.size()) num += b[i] * power;
    if (i < a.size()) den += a[i] * power;
    power *= z_inv;
  }
  return num / den;
}

inline double Sinc(double x) {
  return x == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
}

}  // namespace ov::test
