// Fits a Gaussian response to the time series of many voxels with Levenberg-Marquardt, under a
// throw_on_fatal_error guard: a voxel whose fit meets a fatal condition is counted with its
// reason, and the run goes on with the next voxel instead of ending the process.
//
// Two kinds of voxel are made to fail: voxels outside the brain, whose series are all zero
// (the first guess has no amplitude, so centre and width have no influence and the curvature
// matrix is singular), and voxels with a dropped sample (the model refuses the parameters that
// a missing value leads to, through nrerror, as plug-in code may).
#include <kelvarinwizard/stat.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <string>

namespace {

constexpr int kSamples = 60;
constexpr int kParams = 3;  // amplitude, centre, width

// fgauss with a check of its own: a parameter that is not a number is a fatal condition.
void response(float t, float a[], float *y, float dyda[], int na) {
  for (int j = 1; j <= na; j++)
    if (!std::isfinite(a[j])) nrerror("response model: a parameter is not finite");
  fgauss(t, a, y, dyda, na);
}

// Start, step until chi-square settles, finish. Throws numerical_error under the guard.
float fit_voxel(float t[], float y[], float sig[], float a[], int ia[], float **covar, float **alpha) {
  float chisq = 0.0f, alamda = -1.0f;
  mrqmin(t, y, sig, kSamples, a, ia, kParams, covar, alpha, &chisq, response, &alamda);
  for (int steps = 1, settled = 0; settled < 4 && steps < 50; steps++) {
    const float previous = chisq;
    mrqmin(t, y, sig, kSamples, a, ia, kParams, covar, alpha, &chisq, response, &alamda);
    settled = (chisq > previous || std::fabs(previous - chisq) < 0.001f * chisq) ? settled + 1 : 0;
  }
  alamda = 0.0f;
  mrqmin(t, y, sig, kSamples, a, ia, kParams, covar, alpha, &chisq, response, &alamda);
  return chisq;
}

}  // namespace

int main() {
  const int voxels = 2000;
  const float noise = 0.1f;

  float *t = vector(1, kSamples);
  float *y = vector(1, kSamples);
  float *sig = vector(1, kSamples);
  float *a = vector(1, kParams);
  float *truth = vector(1, kParams);
  float *dyda = vector(1, kParams);
  int *ia = ivector(1, kParams);
  float **covar = matrix(1, kParams, 1, kParams);
  float **alpha = matrix(1, kParams, 1, kParams);
  for (int i = 1; i <= kSamples; i++) {
    t[i] = static_cast<float>(i);
    sig[i] = noise;
  }
  for (int j = 1; j <= kParams; j++) ia[j] = 1;

  long idum = -2024;
  int fitted = 0, centred = 0, made_to_fail = 0;
  double chisq_per_dof = 0.0;
  std::map<std::string, int> failures;

  const kelvarinwizard::throw_on_fatal_error guard;
  for (int v = 0; v < voxels; v++) {
    const bool outside = v % 50 == 7;
    const bool dropout = v % 100 == 31;
    truth[1] = outside ? 0.0f : 1.0f + 2.0f * ran1(&idum);
    truth[2] = 20.0f + 20.0f * ran1(&idum);
    truth[3] = 3.0f + 3.0f * ran1(&idum);
    for (int i = 1; i <= kSamples; i++) {
      float clean;
      fgauss(t[i], truth, &clean, dyda, kParams);
      y[i] = outside ? 0.0f : clean + noise * gasdev(&idum);
    }
    if (dropout) y[kSamples / 2] = std::numeric_limits<float>::quiet_NaN();
    made_to_fail += outside || dropout;

    // First guess: the largest sample and where it lies, a moderate width.
    int peak = 1;
    for (int i = 2; i <= kSamples; i++)
      if (y[i] > y[peak]) peak = i;
    a[1] = y[peak];
    a[2] = t[peak];
    a[3] = 4.0f;

    try {
      const float chisq = fit_voxel(t, y, sig, a, ia, covar, alpha);
      fitted++;
      if (std::fabs(a[2] - truth[2]) < 0.25f) centred++;
      chisq_per_dof += static_cast<double>(chisq) / (kSamples - kParams);
    } catch (const kelvarinwizard::numerical_error &e) {
      failures[e.what()]++;
    }
  }

  std::printf("%d voxels, %d samples each, one Gaussian response fitted per voxel\n", voxels, kSamples);
  std::printf("%6d fitted: centre within 0.25 of the truth in %d, mean chi-square per degree of "
              "freedom %.3f\n", fitted, centred, chisq_per_dof / fitted);
  std::printf("%6d failed:\n", voxels - fitted);
  for (const auto &f : failures) std::printf("%10d  %s\n", f.second, f.first.c_str());

  free_matrix(alpha, 1, kParams, 1, kParams);
  free_matrix(covar, 1, kParams, 1, kParams);
  free_ivector(ia, 1, kParams);
  free_vector(dyda, 1, kParams);
  free_vector(truth, 1, kParams);
  free_vector(a, 1, kParams);
  free_vector(sig, 1, kSamples);
  free_vector(y, 1, kSamples);
  free_vector(t, 1, kSamples);
  // Exactly the voxels made to fail have failed.
  return fitted == voxels - made_to_fail ? 0 : 1;
}
