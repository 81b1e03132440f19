// Fits a sum of two Gaussians to noisy data with Levenberg-Marquardt and reports each
// parameter with its standard error from the covariance matrix.
//
// The model is fgauss: y(x) = sum over groups k of a[k] * exp(-((x - a[k+1]) / a[k+2])^2),
// here with two groups (amplitude, centre, width) = parameters 1..6.
#include <kelvarinwizard/stat.h>

#include <cmath>
#include <cstdio>

int main() {
  const int npoints = 120;
  const int nparams = 6;
  const float truth[nparams + 1] = {0.0f, 5.0f, 3.0f, 1.0f, 2.0f, 7.0f, 1.5f};
  const float noise = 0.1f;  // standard deviation of every sample

  float *x = vector(1, npoints);
  float *y = vector(1, npoints);
  float *sig = vector(1, npoints);
  float *a = vector(1, nparams);
  float *dyda = vector(1, nparams);
  int *ia = ivector(1, nparams);
  float **covar = matrix(1, nparams, 1, nparams);
  float **alpha = matrix(1, nparams, 1, nparams);

  // Noisy samples of the true curve; a negative seed starts the generator reproducibly.
  long idum = -911;
  float exact[nparams + 1];
  for (int j = 1; j <= nparams; j++) exact[j] = truth[j];
  for (int i = 1; i <= npoints; i++) {
    x[i] = 0.1f * static_cast<float>(i);
    float yfit;
    fgauss(x[i], const_cast<float *>(exact), &yfit, dyda, nparams);
    y[i] = yfit + noise * gasdev(&idum);
    sig[i] = noise;
  }

  // A rough first guess; every parameter is fitted.
  const float guess[nparams + 1] = {0.0f, 4.0f, 3.4f, 1.3f, 2.5f, 6.5f, 1.2f};
  for (int j = 1; j <= nparams; j++) {
    a[j] = guess[j];
    ia[j] = 1;
  }

  // Start with a negative lambda, step until chi-square settles, then finish with lambda 0.
  float chisq = 0.0f, alamda = -1.0f;
  mrqmin(x, y, sig, npoints, a, ia, nparams, covar, alpha, &chisq, fgauss, &alamda);
  int steps = 1, settled = 0;
  while (settled < 4 && steps < 100) {
    const float previous = chisq;
    mrqmin(x, y, sig, npoints, a, ia, nparams, covar, alpha, &chisq, fgauss, &alamda);
    steps++;
    // Small changes, or a rejected step, count towards settling.
    settled = (chisq > previous || std::fabs(previous - chisq) < 0.001f * chisq) ? settled + 1 : 0;
  }
  alamda = 0.0f;
  mrqmin(x, y, sig, npoints, a, ia, nparams, covar, alpha, &chisq, fgauss, &alamda);

  std::printf("two Gaussians, %d points with noise %.2f, %d steps, chi-square %.2f for %d "
              "degrees of freedom\n", npoints, noise, steps, chisq, npoints - nparams);
  const char *names[3] = {"amplitude", "centre", "width"};
  for (int j = 1; j <= nparams; j++) {
    std::printf("  %-9s %d: %8.4f +- %.4f   (true %.1f)\n", names[(j - 1) % 3], (j + 2) / 3, a[j],
                std::sqrt(covar[j][j]), truth[j]);
  }

  free_matrix(alpha, 1, nparams, 1, nparams);
  free_matrix(covar, 1, nparams, 1, nparams);
  free_ivector(ia, 1, nparams);
  free_vector(dyda, 1, nparams);
  free_vector(a, 1, nparams);
  free_vector(sig, 1, npoints);
  free_vector(y, 1, npoints);
  free_vector(x, 1, npoints);
  return 0;
}
