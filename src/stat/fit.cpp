// Model fitting: straight line, linear least squares by SVD, Levenberg-Marquardt.
#include "../stat.h"
#include "cr_math.h"

// Straight-line fit ----------------------------------------------------------------------------

#include <cmath>

// The square of a single-precision value, formed in single precision and then widened.
static double square_widened(float v) { return (double)(v * v); }

void fit(float x[], float y[], int ndata, float sig[], int mwt, float *a, float *b, float *siga,
         float *sigb, float *chi2, float *q) {
  float sx = 0.0f, sy = 0.0f, st2 = 0.0f, ss = 0.0f;
  float bb = 0.0f;  // accumulates sum y t (/ sigma) until it becomes the slope
  if (mwt) {
    for (int i = 1; i <= ndata; i++) {
      // A sigma of exactly 0 gives an infinite weight here rather than a trap.
      const float wt = (float)(1.0 / square_widened(sig[i]));
      ss = ss + wt;
      sx = sx + x[i] * wt;
      sy = sy + y[i] * wt;
    }
  } else {
    for (int i = 1; i <= ndata; i++) {
      sx = sx + x[i];
      sy = sy + y[i];
    }
    ss = (float)ndata;
  }
  const float sxoss = sx / ss;
  if (mwt) {
    for (int i = 1; i <= ndata; i++) {
      const float t = (x[i] - sxoss) / sig[i];
      st2 = st2 + t * t;
      bb = bb + y[i] * t / sig[i];
    }
  } else {
    for (int i = 1; i <= ndata; i++) {
      const float t = x[i] - sxoss;
      st2 = st2 + t * t;
      bb = bb + y[i] * t;
    }
  }
  bb = bb / st2;
  const float aa = (sy - sx * bb) / ss;
  const float ratio = sx * sx / (ss * st2);  // both products and the quotient in single
  float ea = (float)std::sqrt((1.0 + (double)ratio) / (double)ss);
  float eb = (float)std::sqrt(1.0 / (double)st2);
  float chi = 0.0f;
  for (int i = 1; i <= ndata; i++) {
    float r = (y[i] - aa) - x[i] * bb;
    if (mwt) r = r / sig[i];
    chi = (float)((double)chi + square_widened(r));  // rounded to single after every point
  }
  float prob;
  if (mwt) {
    prob = gammq((float)(0.5 * (double)(ndata - 2)), 0.5f * chi);
  } else {
    prob = 1.0f;
    const float sdat = (float)std::sqrt((double)(chi / (float)(ndata - 2)));
    ea = ea * sdat;
    eb = eb * sdat;
  }
  *a = aa;
  *b = bb;
  *siga = ea;
  *sigb = eb;
  *chi2 = chi;
  *q = prob;
}

// (end of straight-line fit) ------------------------------------------------------------------


// Linear least squares by SVD, Levenberg-Marquardt --------------------------------------------
//
// Sums are single precision in index order; casts mark the few steps carried in double.

#include <cmath>
#include <exception>

#include "work_storage.h"

namespace {

// Levenberg-Marquardt state between the start and the finish call of mrqmin. One fit at a
// time per thread; `active` tells whether the arrays below are allocated. ma and mfit are
// those of the start call: the arrays are sized by them, and every later call must agree.
struct MarquardtState {
  bool active = false;
  float *atry = nullptr;
  float *beta = nullptr;
  float *da = nullptr;
  float **oneda = nullptr;
  float ochisq = 0.0f;
  int ma = 0;
  int mfit = 0;
};
thread_local MarquardtState lm;

// Also releases what a start that threw part-way had allocated (later arrays still null).
void release_marquardt_state() {
  if (lm.oneda) free_matrix(lm.oneda, 1, lm.mfit, 1, 1);
  if (lm.da) free_vector(lm.da, 1, 0);
  if (lm.beta) free_vector(lm.beta, 1, 0);
  if (lm.atry) free_vector(lm.atry, 1, 0);
  lm = MarquardtState{};
}

// A call of mrqmin that throws (a fatal error under throw_on_fatal_error, or the model's own
// exception) abandons the fit: the state is released as the exception passes, and the next
// call must start a new fit.
class AbandonFitOnThrow {
 public:
  AbandonFitOnThrow() = default;
  AbandonFitOnThrow(const AbandonFitOnThrow &) = delete;
  AbandonFitOnThrow &operator=(const AbandonFitOnThrow &) = delete;
  ~AbandonFitOnThrow() {
    if (std::uncaught_exceptions() > in_flight_) release_marquardt_state();
  }

 private:
  int in_flight_ = std::uncaught_exceptions();
};

}  // namespace

void svdfit(float x[], float y[], float sig[], int ndata, float a[], int ma, float **u, float **v, float w[],
            float *chisq, void (*funcs)(float, float[], int)) {
  const kw_work::Vector<float> b(1, ndata);
  const kw_work::Vector<float> afunc(1, ma);
  for (int i = 1; i <= ndata; i++) {
    funcs(x[i], afunc, ma);
    const float t = 1.0f / sig[i];
    for (int j = 1; j <= ma; j++) u[i][j] = afunc[j] * t;
    b[i] = y[i] * t;
  }
  svdcmp(u, ndata, ma, w, v);

  float wmax = 0.0f;
  for (int j = 1; j <= ma; j++)
    if (w[j] > wmax) wmax = w[j];
  const float thresh = (float)(1.0e-5 * (double)wmax);
  for (int j = 1; j <= ma; j++)
    if (w[j] < thresh) w[j] = 0.0f;
  svbksb(u, w, v, ndata, ma, b, a);

  float chi = 0.0f;
  for (int i = 1; i <= ndata; i++) {
    funcs(x[i], afunc, ma);
    float sum = 0.0f;
    for (int j = 1; j <= ma; j++) sum += a[j] * afunc[j];
    const float r = (y[i] - sum) / sig[i];
    chi += r * r;
  }
  *chisq = chi;
}

void fpoly(float x, float p[], int np) {
  p[1] = 1.0f;
  for (int j = 2; j <= np; j++) p[j] = p[j - 1] * x;
}

void mrqcof(float x[], float y[], float sig[], int ndata, float a[], int ia[], int ma, float **alpha, float beta[],
            float *chisq, void (*funcs)(float, float[], float *, float[], int)) {
  const kw_work::Vector<float> dyda(1, ma);
  int mfit = 0;
  for (int j = 1; j <= ma; j++)
    if (ia[j]) mfit++;
  for (int j = 1; j <= mfit; j++) {
    for (int k = 1; k <= j; k++) alpha[j][k] = 0.0f;
    beta[j] = 0.0f;
  }
  float chi = 0.0f;
  for (int i = 1; i <= ndata; i++) {
    float ymod = 0.0f;
    funcs(x[i], a, &ymod, dyda, ma);
    const float sig2i = 1.0f / (sig[i] * sig[i]);
    const float dy = y[i] - ymod;
    // Lower triangle only, in compressed numbering; mirrored below.
    for (int j = 0, l = 1; l <= ma; l++) {
      if (!ia[l]) continue;
      const float wt = dyda[l] * sig2i;
      j++;
      for (int k = 0, mm = 1; mm <= l; mm++)
        if (ia[mm]) alpha[j][++k] += wt * dyda[mm];
      beta[j] += dy * wt;
    }
    chi += dy * dy * sig2i;
  }
  for (int j = 2; j <= mfit; j++)
    for (int k = 1; k < j; k++) alpha[k][j] = alpha[j][k];
  *chisq = chi;
}

void covsrt(float **covar, int ma, int ia[], int mfit) {
  for (int i = mfit + 1; i <= ma; i++)
    for (int j = 1; j <= i; j++) covar[i][j] = covar[j][i] = 0.0f;
  int k = mfit;
  for (int j = ma; j >= 1; j--) {
    if (!ia[j]) continue;
    for (int i = 1; i <= ma; i++) {
      const float t = covar[i][k];
      covar[i][k] = covar[i][j];
      covar[i][j] = t;
    }
    for (int i = 1; i <= ma; i++) {
      const float t = covar[k][i];
      covar[k][i] = covar[j][i];
      covar[j][i] = t;
    }
    k--;
  }
}

void mrqmin(float x[], float y[], float sig[], int ndata, float a[], int ia[], int ma, float **covar, float **alpha,
            float *chisq, void (*funcs)(float, float[], float *, float[], int), float *alamda) {
  const AbandonFitOnThrow abandon_on_throw;
  if (*alamda < 0.0f) {
    // A start while a fit is active abandons that fit; its state is released, not leaked.
    release_marquardt_state();
    lm.atry = vector(1, ma);
    lm.beta = vector(1, ma);
    lm.da = vector(1, ma);
    lm.ma = ma;
    lm.mfit = 0;
    for (int j = 1; j <= ma; j++)
      if (ia[j]) lm.mfit++;
    lm.oneda = matrix(1, lm.mfit, 1, 1);
    lm.active = true;
    *alamda = 0.001f;
    mrqcof(x, y, sig, ndata, a, ia, ma, alpha, lm.beta, chisq, funcs);
    lm.ochisq = *chisq;
    for (int j = 1; j <= ma; j++) lm.atry[j] = a[j];
  } else if (!lm.active) {
    // A step or finish with no fit started has nothing to work on: nothing changes.
    return;
  } else {
    // The state's arrays are sized by the start call: another ma would step outside them, and
    // more fitted parameters would make covsrt read before its block at the finish.
    if (ma != lm.ma) nrerror("mrqmin: parameter count changed since the start of the fit");
    int mfit = 0;
    for (int j = 1; j <= ma; j++)
      if (ia[j]) mfit++;
    if (mfit != lm.mfit) nrerror("mrqmin: fitted-parameter count changed since the start of the fit");
  }

  const int mfit = lm.mfit;
  for (int j = 1; j <= mfit; j++) {
    for (int k = 1; k <= mfit; k++) covar[j][k] = alpha[j][k];
    covar[j][j] = (float)((double)alpha[j][j] * (1.0 + (double)*alamda));
    lm.oneda[j][1] = lm.beta[j];
  }
  gaussj(covar, mfit, lm.oneda, 1);
  for (int j = 1; j <= mfit; j++) lm.da[j] = lm.oneda[j][1];

  if (*alamda == 0.0f) {
    covsrt(covar, ma, ia, mfit);
    release_marquardt_state();
    return;
  }

  // Held parameters keep the value the start call copied into atry.
  for (int j = 0, l = 1; l <= ma; l++)
    if (ia[l]) lm.atry[l] = a[l] + lm.da[++j];
  mrqcof(x, y, sig, ndata, lm.atry, ia, ma, covar, lm.da, chisq, funcs);
  if (*chisq < lm.ochisq) {
    *alamda = (float)(0.1 * (double)*alamda);
    lm.ochisq = *chisq;
    for (int j = 1; j <= mfit; j++) {
      for (int k = 1; k <= mfit; k++) alpha[j][k] = covar[j][k];
      lm.beta[j] = lm.da[j];
    }
    for (int l = 1; l <= ma; l++) a[l] = lm.atry[l];
  } else {
    // Also taken on equality and when the trial chi-square is not a number.
    *alamda = 10.0f * *alamda;
    *chisq = lm.ochisq;
  }
}

void fgauss(float x, float a[], float *y, float dyda[], int na) {
  *y = 0.0f;
  // Complete groups of three (amplitude, centre, width) only.
  int i = 1;
  for (; i + 2 <= na; i += 3) {
    const float z = (x - a[i + 1]) / a[i + 2];
    const float ex = (float)kw_crmath::cr_exp((double)(-(z * z)));
    const float fac = (float)(((double)z * 2.0) * (double)(a[i] * ex));
    *y += a[i] * ex;
    dyda[i] = ex;
    dyda[i + 1] = fac / a[i + 2];
    dyda[i + 2] = (fac * z) / a[i + 2];
  }
  // A trailing incomplete group has no model term; its derivatives are defined as 0 so that
  // a fit that frees one of them reads a value instead of uninitialised memory.
  for (; i <= na; i++) dyda[i] = 0.0f;
}
