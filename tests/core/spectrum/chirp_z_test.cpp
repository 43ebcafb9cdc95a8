// Odd transform lengths with a prime factor above 53 run through the one-sided chirp-z
// transform, whose circular convolution is as short as it may be without wrapping: every
// bin is checked against a direct DFT. The sweeps include lengths whose padded length is
// exactly n + L/2 (e.g. N = 67, 131, 229, 327; N = 1, 7, 46 over nfft = 59), where a
// convolution one point shorter would corrupt bin 0 or bin L/2. Output arrays have exactly
// the documented sizes, so the sanitizer build catches any write past them.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/fft/fft.h"
#include "core/spectrum/power_reference.h"
#include "core/spectrum/spectrum.h"

namespace {

using Vec = std::vector<double>;
using Estimate = void (*)(spectrum_object *, double *, double *, double *, int);

// Largest |spec[k] - want[k]| / (want[k] + mean power) over both layouts of estimate
// (periodogram or psd) for N = x.size() inputs over L points, want being the direct power
// over s, doubled off bin 0 when one-sided. The mean power is the floor for bins near
// zero, whose relative error says nothing about the transform.
double max_error(Estimate estimate, Vec x, int L, double s) {
  const int N = static_cast<int>(x.size());
  const Vec power = spectrum_ref::DirectPower(x, L);
  double mean = 0;
  for (double p : power) mean += p / s;
  mean /= power.size();
  spectrum_object *obj = spectrum_fft_init(N, L);
  double err = 0;
  for (int side : {1, 2}) {
    const int len = side == 2 ? L : L / 2 + 1;
    Vec spec(len), freq(len);
    estimate(obj, x.data(), spec.data(), freq.data(), side);
    for (int k = 0; k < len; ++k) {
      const int bin = k <= L / 2 ? k : L - k;
      const double want = power[bin] / s * (side != 2 && bin > 0 ? 2 : 1);
      err = std::fmax(err, std::fabs(spec[k] - want) / (want + mean));
    }
  }
  free_spectrum(obj);
  return err;
}

}  // namespace

TEST(ChirpZ, PeriodogramOfOddLengthsMatchesDirectDft) {
  std::vector<int> lengths = {1009, 4099};
  for (int N = 59; N < 400; N += 2)
    if (!dividebyN(N)) lengths.push_back(N);
  for (int N : lengths)
    EXPECT_LE(max_error(periodogram, spectrum_ref::RandomSeries(N, 5u + N), N, N), 1e-14) << "N=" << N;
}

// nfft > N pads with zeros; nfft > 2N makes the front of the chirp kernel longer than its
// mirrored back; N = nfft shares the periodogram's data.
TEST(ChirpZ, PsdOverOddNfftMatchesDirectDft) {
  std::vector<std::pair<int, int>> cases;  // (N, nfft)
  for (int N = 1; N <= 59; ++N) cases.push_back({N, 59});
  for (int N = 1; N <= 97; N += 3) cases.push_back({N, 97});
  for (int N : {1, 2, 100, 503, 504, 505, 1008, 1009}) cases.push_back({N, 1009});
  const double two_pi = 6.283185307179586;
  for (auto [N, L] : cases)
    EXPECT_LE(max_error(psd, spectrum_ref::RandomSeries(N, 17u + N), L, two_pi * N), 1e-14)
        << "N=" << N << " nfft=" << L;
}
