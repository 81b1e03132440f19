// The strongest frequencies of a sampled signal: three tones and a little noise, sampled for one
// second, transformed in place with realft, and read back from the packed half spectrum.
#include <cmath>
#include <cstdint>
#include <cstdio>

#include <kelvarinwizard/stat.h>

namespace {

const double pi = 3.14159265358979323846;

struct Tone {
  double hz, amplitude;
};

// Amplitude of frequency bin q (0 <= q <= n/2) of the packed spectrum x[1..n]: the two ends
// are real and counted once, every other bin stands for itself and its mirror.
double amplitude(const float x[], unsigned long n, unsigned long q) {
  if (q == 0) return std::fabs(x[1]) / double(n);
  if (q == n / 2) return std::fabs(x[2]) / double(n);
  return 2.0 * std::hypot(double(x[2 * q + 1]), double(x[2 * q + 2])) / double(n);
}

}  // namespace

int main() {
  const unsigned long n = 1024;  // samples, one second at 1024 Hz: bins are 1 Hz apart
  const double rate = 1024.0;
  const Tone tones[] = {{50.0, 1.0}, {120.0, 0.5}, {310.0, 0.25}};

  float *x = vector(1, long(n));
  std::uint32_t noise = 12345;
  for (unsigned long m = 1; m <= n; m++) {
    const double t = double(m - 1) / rate;
    double v = 0.1;  // a small constant offset
    for (const Tone &tone : tones) v += tone.amplitude * std::sin(2.0 * pi * tone.hz * t);
    noise = noise * 1664525u + 1013904223u;
    v += 0.05 * (double(noise >> 8) / double(1u << 24) - 0.5);
    x[m] = float(v);
  }

  float *spectrum = vector(1, long(n));
  for (unsigned long m = 1; m <= n; m++) spectrum[m] = x[m];
  realft(spectrum, n, 1);

  // The three bins that stand highest above both neighbours.
  unsigned long best[3] = {0, 0, 0};
  for (unsigned long q = 1; q < n / 2; q++) {
    const double a = amplitude(spectrum, n, q);
    if (a <= amplitude(spectrum, n, q - 1) || a <= amplitude(spectrum, n, q + 1)) continue;
    for (int k = 0; k < 3; k++) {
      if (best[k] == 0 || a > amplitude(spectrum, n, best[k])) {
        for (int l = 2; l > k; l--) best[l] = best[l - 1];
        best[k] = q;
        break;
      }
    }
  }

  std::printf("%lu samples at %.0f Hz; constant offset %.3f\n", n, rate, amplitude(spectrum, n, 0));
  std::printf("strongest frequencies:\n");
  for (unsigned long q : best)
    std::printf("  %6.1f Hz  amplitude %.3f\n", double(q) * rate / double(n),
                amplitude(spectrum, n, q));

  // The inverse gives n/2 times the samples back.
  realft(spectrum, n, -1);
  double worst = 0.0;
  for (unsigned long m = 1; m <= n; m++)
    worst = std::fmax(worst, std::fabs(double(spectrum[m]) * 2.0 / double(n) - double(x[m])));
  std::printf("inverse transform reproduces the samples to within %.1e\n", worst);

  free_vector(spectrum, 1, long(n));
  free_vector(x, 1, long(n));
  return 0;
}
