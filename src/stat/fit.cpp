// Model fitting: straight line, linear least squares by SVD, Levenberg-Marquardt.
#include "../stat.h"

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

