// Correctly rounded exp, log and sin in double precision (round to nearest), after Ziv: a fast
// evaluation in double-double arithmetic whose error is bounded, a rounding test that returns
// its result when every value within the bound rounds the same way, and otherwise an accurate
// evaluation in 320-bit fixed point, far beyond what the hardest arguments of these functions
// need (about 2^-120 relative). Exact products come from Dekker's splitting, never from a
// fused multiply-add, so the arithmetic is the same on every machine.
#include "cr_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace kw_crmath {
namespace {

// ---------------------------------------------------------------------------------------------
// Double-double arithmetic: a value hi + lo with |lo| <= ulp(hi)/2.

struct DD {
  double hi, lo;
};

// a + b exactly, as a rounded sum and its error (Knuth).
inline DD two_sum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a + b exactly when |a| >= |b| or a = 0 (Dekker).
inline DD fast_two_sum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a = hi + lo with hi holding the upper 26 bits (Veltkamp); |a| < 2^996.
inline void split(double a, double &hi, double &lo) {
  const double c = 134217729.0 * a;  // 2^27 + 1
  hi = c - (c - a);
  lo = a - hi;
}

// a * b exactly, as a rounded product and its error (Dekker); no overflow or underflow.
inline DD two_prod(double a, double b) {
  const double p = a * b;
  double ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

// The product of double-doubles, relative error below 2^-102.
inline DD dd_mul(DD a, DD b) {
  DD p = two_prod(a.hi, b.hi);
  p.lo += a.hi * b.lo + a.lo * b.hi;
  return fast_two_sum(p.hi, p.lo);
}

// The rounding test: hi + lo is within err of the exact value. If both ends of the interval
// round to the same double, so does the exact value (rounding is monotonic), and that is the
// result. err has room for the rounding of lo -/+ err.
inline bool rounds_alike(double hi, double lo, double err, double &out) {
  const double a = hi + (lo - err);
  const double b = hi + (lo + err);
  if (a != b) return false;
  out = a;
  return true;
}

// a rounded to a multiple of ulp(shifter), for a shifter 1.5 2^n with |a| < 2^(n-2); a minus
// it is exact. Used to cut a number into an upper part of 26 significant bits, whose product
// with another 26-bit number is exact, and the rest.
inline double round_to_ulp_of(double a, double shifter) { return (a + shifter) - shifter; }

// Round to the nearest integer, as a double, for |t| < 2^51.
inline double nearest_integer(double t) {
  const double shifter = 0x1.8p52;
  return (t + shifter) - shifter;
}

inline std::uint64_t bits_of(double x) {
  std::uint64_t u;
  std::memcpy(&u, &x, sizeof u);
  return u;
}
inline double double_of(std::uint64_t u) {
  double x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}
// 2^e for -1022 <= e <= 1023.
inline double pow2(int e) { return double_of(std::uint64_t(e + 1023) << 52); }

// ---------------------------------------------------------------------------------------------
// Fixed point for the accurate paths: 384-bit two's complement, 64 integer and 320 fraction
// bits, little-endian words. Products and quotients truncate, each losing below 2^-320.

struct Fixed {
  std::uint64_t w[6];
};
constexpr int kWords = 6;
constexpr int kFractionBits = 320;

#include "cr_math_tables.inc"

using u128 = unsigned __int128;

inline bool negative(const Fixed &a) { return (a.w[kWords - 1] >> 63) != 0; }
inline bool is_zero(const Fixed &a) {
  for (std::uint64_t x : a.w)
    if (x != 0) return false;
  return true;
}

Fixed add(const Fixed &a, const Fixed &b) {
  Fixed r;
  unsigned carry = 0;
  for (int i = 0; i < kWords; i++) {
    const u128 s = (u128)a.w[i] + b.w[i] + carry;
    r.w[i] = (std::uint64_t)s;
    carry = (unsigned)(s >> 64);
  }
  return r;
}
Fixed neg(const Fixed &a) {
  Fixed r;
  unsigned carry = 1;
  for (int i = 0; i < kWords; i++) {
    const u128 s = (u128)(~a.w[i]) + carry;
    r.w[i] = (std::uint64_t)s;
    carry = (unsigned)(s >> 64);
  }
  return r;
}
Fixed sub(const Fixed &a, const Fixed &b) { return add(a, neg(b)); }
Fixed magnitude(const Fixed &a) { return negative(a) ? neg(a) : a; }

Fixed mul(const Fixed &a, const Fixed &b) {
  const Fixed x = magnitude(a), y = magnitude(b);
  std::uint64_t p[2 * kWords] = {};
  for (int i = 0; i < kWords; i++) {
    std::uint64_t carry = 0;
    for (int j = 0; j < kWords; j++) {
      const u128 t = (u128)x.w[i] * y.w[j] + p[i + j] + carry;
      p[i + j] = (std::uint64_t)t;
      carry = (std::uint64_t)(t >> 64);
    }
    p[i + kWords] = carry;
  }
  Fixed r;
  for (int i = 0; i < kWords; i++) r.w[i] = p[i + kFractionBits / 64];
  return negative(a) != negative(b) ? neg(r) : r;
}

Fixed mul_small(const Fixed &a, std::uint64_t n) {
  const Fixed x = magnitude(a);
  Fixed r;
  std::uint64_t carry = 0;
  for (int i = 0; i < kWords; i++) {
    const u128 t = (u128)x.w[i] * n + carry;
    r.w[i] = (std::uint64_t)t;
    carry = (std::uint64_t)(t >> 64);
  }
  return negative(a) ? neg(r) : r;
}

Fixed div_small(const Fixed &a, std::uint64_t n) {
  const Fixed x = magnitude(a);
  Fixed r;
  u128 rem = 0;
  for (int i = kWords - 1; i >= 0; i--) {
    const u128 cur = (rem << 64) | x.w[i];
    r.w[i] = (std::uint64_t)(cur / n);
    rem = cur % n;
  }
  return negative(a) ? neg(r) : r;
}

// x exactly, for 2^-260 <= |x| < 2^62 or x = 0.
Fixed from_double(double x) {
  Fixed r = {};
  if (x == 0) return r;
  const std::uint64_t u = bits_of(x);
  const int e = int((u >> 52) & 0x7ff) - 1075;  // x = m * 2^e
  const std::uint64_t m = (u & ((1ull << 52) - 1)) | (1ull << 52);
  const int shift = e + kFractionBits;  // bit position of m's lowest bit
  const int word = shift / 64, bit = shift % 64;
  r.w[word] = m << bit;
  if (bit != 0 && word + 1 < kWords) r.w[word + 1] = m >> (64 - bit);
  return (u >> 63) ? neg(r) : r;
}

// Index of the highest set bit of a non-zero magnitude.
int top_bit(const Fixed &a) {
  for (int i = kWords - 1; i >= 0; i--)
    if (a.w[i] != 0) return 64 * i + 63 - __builtin_clzll(a.w[i]);
  return -1;
}

// Bits [from, from + 64) of a magnitude (zero outside), as one word.
std::uint64_t bits_at(const Fixed &a, int from) {
  if (from <= -64 || from >= 64 * kWords) return 0;
  if (from < 0) return a.w[0] << -from;
  const int word = from / 64, bit = from % 64;
  std::uint64_t r = a.w[word] >> bit;
  if (bit != 0 && word + 1 < kWords) r |= a.w[word + 1] << (64 - bit);
  return r;
}

// Whether any bit below position `below` of a magnitude is set.
bool any_bits_below(const Fixed &a, int below) {
  for (int i = 0; i < kWords && 64 * i < below; i++) {
    const int n = below - 64 * i;
    const std::uint64_t mask = n >= 64 ? ~0ull : ((1ull << n) - 1);
    if (a.w[i] & mask) return true;
  }
  return false;
}

// a * 2^scale rounded to the nearest double, subnormal and overflowing results included. a is
// within a few units of 2^-320 of a value that is no midpoint (these functions meet none at
// the arguments that reach here), so rounding its bits is rounding the value.
double round_to_double(const Fixed &a, int scale) {
  if (is_zero(a)) return 0.0;
  const bool minus = negative(a);
  const Fixed m = magnitude(a);
  const int top = top_bit(m);
  // Lowest kept bit: 53 significant bits, or fewer where the result is subnormal.
  int low = top - 52;
  const int subnormal_low = -1074 + kFractionBits - scale;
  if (low < subnormal_low) low = subnormal_low;
  std::uint64_t q = 0;
  if (low <= top) q = bits_at(m, low) & ((1ull << (top - low + 1)) - 1);
  if (low <= top + 1) {
    const bool half = (bits_at(m, low - 1) & 1) != 0;
    if (half && (any_bits_below(m, low - 1) || (q & 1))) q++;
  }
  // q 2^e2: q < 2^52 only where e2 = -1074 (subnormal, or zero).
  int e2 = low - kFractionBits + scale;
  if (q == (1ull << 53)) {
    q >>= 1;
    e2++;
  }
  std::uint64_t u;
  if (q < (1ull << 52)) {
    u = q;
  } else {
    const int biased = e2 + 52 + 1023;
    u = biased >= 2047 ? 0x7ffull << 52 : (std::uint64_t(biased) << 52) | (q - (1ull << 52));
  }
  return double_of(u | (minus ? 1ull << 63 : 0));
}

// Fixed value to a double-double (|a| well inside the normal range), error below 2^-105 relative.
DD to_dd(const Fixed &a) {
  const bool minus = negative(a);
  const Fixed m = magnitude(a);
  const int top = top_bit(m);
  const std::uint64_t hi_bits = bits_at(m, top - 52) & ((1ull << 53) - 1);
  const std::uint64_t lo_bits = bits_at(m, top - 105) & ((1ull << 53) - 1);
  const double scale = pow2(top - 52 - kFractionBits);
  const DD r = fast_two_sum((double)hi_bits * scale, (double)lo_bits * scale * 0x1p-53);
  return minus ? DD{-r.hi, -r.lo} : r;
}

// |x| * 2/pi = 4n + q + f with integer q in 0..3 and -1/2 <= f <= 1/2, for finite |x| >= 2^-60,
// from 1536 bits of 2/pi: the bits that would only add multiples of 4 are never formed, and
// the error of f stays below 2^-318 for every double.
Fixed reduce_quadrant(double x, int &q) {
  const std::uint64_t u = bits_of(x) & ~(1ull << 63);
  int e = int(u >> 52);
  std::uint64_t m = u & ((1ull << 52) - 1);
  if (e == 0) {
    e = 1;
  } else {
    m |= 1ull << 52;
  }
  e -= 1075;  // |x| = m * 2^e
  // m * G, G = 2/pi * 2^1536 truncated, as 25 little-endian words.
  std::uint64_t p[25];
  std::uint64_t carry = 0;
  for (int i = 0; i < 24; i++) {
    const u128 t = (u128)m * kTwoByPiBits[23 - i] + carry;
    p[i] = (std::uint64_t)t;
    carry = (std::uint64_t)(t >> 64);
  }
  p[24] = carry;
  // |x| * 2/pi = (m G) * 2^(e - 1536): fixed point with 320 fraction bits starts at bit s.
  const int s = 1536 - kFractionBits - e;
  Fixed v;
  for (int i = 0; i < kWords; i++) {
    std::uint64_t word = 0;
    const int pos = s + 64 * i;
    const int wi = pos >> 6, bi = pos & 63;  // pos >= 0 for |x| >= 2^-60
    if (wi < 25) word = p[wi] >> bi;
    if (bi != 0 && wi + 1 < 25) word |= p[wi + 1] << (64 - bi);
    v.w[i] = word;
  }
  q = int(v.w[kWords - 1] & 3);
  v.w[kWords - 1] = 0;
  if (v.w[kWords - 2] >> 63) {  // fraction above 1/2: round the quadrant up
    q = (q + 1) & 3;
    v.w[kWords - 1] = ~0ull;
  }
  return v;
}

// sin(r) (cosine = false) or cos(r), |r| <= 0.8, by their Taylor series.
Fixed sin_cos_series(const Fixed &r, bool cosine) {
  const Fixed r2 = mul(r, r);
  Fixed term = cosine ? from_double(1.0) : r;
  Fixed sum = term;
  for (std::uint64_t n = cosine ? 0 : 1; !is_zero(term); n += 2) {
    term = neg(div_small(mul(term, r2), (n + 1) * (n + 2)));
    sum = add(sum, term);
  }
  return sum;
}

// |x| = k pi/1024 + r exactly reduced, for finite |x| >= 2^-60: k modulo 2048, and r with
// |r| <= pi/2048 to a relative error below 2^-100.
DD reduce_pi_by_1024(double ax, std::int64_t &k) {
  int q;
  // |x| 2/pi = 4n + q + f; 512 f = i + g with integer i and -1/2 <= g < 1/2.
  const Fixed f512 = mul_small(reduce_quadrant(ax, q), 512);
  Fixed half = {};
  half.w[kWords - 2] = 1ull << 63;
  const std::int64_t i = (std::int64_t)add(f512, half).w[kWords - 1];
  Fixed whole = {};
  whole.w[kWords - 1] = (std::uint64_t)i;
  const Fixed g = sub(f512, whole);
  k = 512 * (std::int64_t)q + i;
  if (is_zero(g)) return {0.0, 0.0};
  return dd_mul(to_dd(g), {kPiBy1024[0], kPiBy1024[1]});
}

// ---------------------------------------------------------------------------------------------
// Fast paths.

constexpr double kInf = std::numeric_limits<double>::infinity();

// ln(1 + z) for 2^-53 <= |z| < 2^-25, rounded, where the error bound of 2^-99 |z| decides.
// z^2 = sq + sq_lo exactly (Dekker), z - sq/2 = h + h_lo exactly; z^3/3 - z^4/4 + z^5/5 to four
// roundings, 2^-102 |z|, the sums in lo 2^-104 |z| each and the tail |z|^6/6 far less.
bool log1p_tiny(double z, double &y) {
  const DD sq = two_prod(z, z);
  const DD h = fast_two_sum(z, -0.5 * sq.hi);
  const double c = z * sq.hi * (1.0 / 3 + z * (-0.25 + z * 0.2));
  const double lo = (h.lo - 0.5 * sq.lo) + c;
  return rounds_alike(h.hi, lo, 0x1p-99 * std::fabs(z), y);
}

}  // namespace

namespace detail {

bool exp_fast(double x, double &y) {
  const double ax = std::fabs(x);
  if (!(ax >= 0x1p-54 && ax < 708.0)) {
    if (x != x) {
      y = x + x;
      return true;
    }
    if (x > 709.79) {  // past log(DBL_MAX) = 709.7827...
      y = kInf;
      return true;
    }
    if (x < -745.2) {  // below -1075 ln 2 = -745.1332...: under half the smallest subnormal
      y = 0.0;
      return true;
    }
    if (ax < 0x1p-54) {  // 1 + x is within half an ulp of 1
      y = 1.0;
      return true;
    }
  }
  // x = (512 m + j) ln2/512 + r with |r| <= ln2/1024 (+ 2^-43 from rounding k): e^x is
  // 2^m 2^(j/512) e^r. k ln2/512 = k C1 + k C2: k C1 is exact (C1 has 29 bits, |k| < 2^20)
  // and so is x - k C1 (Sterbenz); k C2 is rounded, by at most 2^-76, and C1 + C2 is ln2/512
  // to 2^-96, so r = rh - rl is exact to 2^-75.
  // k is read from the bits of the shifted sum, which is quicker than converting kd.
  const double shifted = x * 0x1.71547652b82fep+9 + 0x1.8p52;
  const double kd = shifted - 0x1.8p52;
  const std::int64_t k = (std::int64_t)(bits_of(shifted) - bits_of(0x1.8p52));
  const double rh = x - kd * kLn2By512[0];
  const double rl = kd * kLn2By512[1];
  const int j = (int)(k & 511);
  const int m = (int)((k - j) / 512);
  if (m < -1021) return false;  // subnormal or near it: the accurate path rounds those
  // 2^(j/512) = th + tl, th of 26 bits; rh = r1 + r2 with r1 of 26 bits, so th r1 is exact and
  // th + th r1 = s + s_lo exactly. With r = rh - rl and P = e^r - 1 - r:
  //   2^(j/512) e^r = s + s_lo + tl + th (r2 - rl) + tl r + (th + tl) P,
  // P by a scheme in r^2, so that the chain of dependent operations stays short.
  const double th = kExp2Table[j][0], tl = kExp2Table[j][1];
  const double r1 = round_to_ulp_of(rh, 0x1.8p16);  // |rh| < 2^-10, multiple of 2^-36
  const double r2 = rh - r1;
  const double p = th * r1;
  const double s = th + p;
  const double s_lo = p - (s - th);
  const double r = rh - rl;
  const double rr = r * r;
  const double P = rr * ((0.5 + r * (1.0 / 6)) + rr * (1.0 / 24 + r * (1.0 / 120)));
  const double lo = (s_lo + (tl + (th * (r2 - rl) + tl * r))) + (th + tl) * P;
  // Error of s + lo, with |r| < 2^-10.5, th in [1, 2), |tl| <= 2^-26, |P| < 2^-22: the
  // reduction 2^-75 (times e^r), the series' tail r^6/720 < 2^-72.5, P's roundings
  // 4.1 * 2^-53 |P| < 2^-73, (th + tl) P two more < 2^-74 each, th (r2 - rl) and the sums in lo
  // below 2^-73 together with tl's own rounding: 2^-70.8 in all. s + lo lies in
  // [0.999, 2.002], so 2^-69 bounds the absolute error with room.
  double z;
  if (!rounds_alike(s, lo, 0x1p-69, z)) return false;
  // Exact scaling; 2^1024 (m = 1024) overflows to +inf as it should.
  y = m <= 1023 ? z * pow2(m) : z * pow2(1023) * 2.0;
  return true;
}

bool log_fast(double x, double &y) {
  std::uint64_t u = bits_of(x);
  int e = 0;
  if (u - 0x0010000000000000ull >= 0x7ff0000000000000ull - 0x0010000000000000ull) {
    // Not a positive normal number.
    if (x != x) {
      y = x + x;
      return true;
    }
    if (x <= 0) {
      y = x == 0 ? -kInf : std::numeric_limits<double>::quiet_NaN();
      return true;
    }
    if (x == kInf) {
      y = kInf;
      return true;
    }
    u = bits_of(x * 0x1p52);  // subnormal
    e = -52;
  }
  // x = 2^e m with m in [0x1.6ap-1, 0x1.6ap+0), so that e ln2 and ln m never cancel; m falls
  // in interval i, which starts at mi (m with its low 43 bits cleared).
  const std::uint64_t t = u - 0x3fe6a00000000000ull;
  e += (int)((std::int64_t)t >> 52);
  const int i = (int)((t >> 43) & 511);
  const std::uint64_t mu = u - (t & 0xfff0000000000000ull);
  const double m = double_of(mu);
  const double mi = double_of(mu & ~((1ull << 43) - 1));
  // z = m c - 1, |z| < 2^-9, exactly: mi c is exact (10 bits each) and so is mi c - 1; m - mi
  // has at most 43 bits, so (m - mi) c is exact; both are multiples of 2^-62 and so is z, which
  // is therefore a double and their sum is exact.
  const double *row = kLogTable[i];
  const double c = row[0];
  const double z = (mi * c - 1.0) + (m - mi) * c;
  // ln x = e ln2 - ln c + ln(1 + z); ln(1 + z) = z - z^2/2 + P, P = z^3/3 - ... - z^8/8.
  // e ln2_hi - ln(c)_hi = a exactly (multiples of 2^-42 below 2^10), and a + z = h0 + h0_lo
  // exactly by a fast two-sum: a = 0 or |a| >= |z| (|a| > 0.34 where e != 0, and the table's
  // |ln c| >= |z| where e = 0). z = z1 + z2 with z1 of 26 bits: -z1^2/2 = q is exact, and so is
  // h0 + q = h + h_lo (|h0| > |q|: |h0| is near |ln x| >= |z|/2.01, |q| < 2^-10 |z|). P by a
  // scheme in z^2, so that the chain of dependent operations stays short.
  const double ed = (double)e;
  const double a = ed * kLn2[0] + row[1];
  const DD h0 = fast_two_sum(a, z);
  const double z1 = round_to_ulp_of(z, 0x1.8p17);  // |z| < 2^-9, multiple of 2^-35
  const double z2 = z - z1;
  const double q = -0.5 * (z1 * z1);
  const DD h = fast_two_sum(h0.hi, q);
  const double zz = z * z;
  const double P = zz * z *
                   ((1.0 / 3 + z * -0.25) + zz * ((0.2 + z * (-1.0 / 6)) + zz * (1.0 / 7 + z * -0.125)));
  const double lo = ((h.lo + h0.lo) + ((row[2] + ed * kLn2[1]) - z2 * (z1 + 0.5 * z2))) + P;
  // Error of h + lo. Terms in |z|: the series' tail |z|^9/9 < 2^-75.2 |z|; P's roundings,
  // 4.5 * 2^-53 |P| with |P| < 1.01 |z|^3/3, < 2^-70.4 |z|; the sums in lo, below
  // 2^-53 (|P| + 2^-35 |z|) < 2^-72.6 |z| each where P takes part and far less where it does
  // not: 2^-69.2 |z| in all. Terms in |ln x|: ln c and ln2 to
  // 2^-96 (times |e| for ln2, and |ln x| > |e|/3 where e != 0), the rounding of e ln2_lo and
  // of the sums with it, and h_lo's: below 2^-90 |ln x|. Where |z| exceeds |ln x| (e = 0 near 1)
  // it does so by a factor below 2.01, and the first bound covers it relative to ln x as well.
  if (rounds_alike(h.hi, lo, 0x1p-68 * std::fabs(z) + 0x1p-90 * std::fabs(h.hi), y)) return true;
  // Close to 1, ln x = ln(1 + z) = z - z^2/2 + z^3/3 ... is often near a midpoint when z has
  // few significant bits (x = 1 - t for a float t, say): a bound in |z|^2 decides most of those.
  return a == 0 && std::fabs(z) < 0x1p-25 && log1p_tiny(z, y);
}

bool sin_fast(double x, double &y) {
  const double ax = std::fabs(x);
  if (!(ax >= 0x1p-26 && ax < 0x1p11)) {
    if (x != x || ax == kInf) {
      y = x - x;  // NaN
      return true;
    }
    if (ax < 0x1p-26) {  // x^3/6 is below a quarter ulp of x
      y = x;
      return true;
    }
  }
  // |x| = k pi/1024 + r, |r| <= pi/2048 (+ 2^-42 from rounding k), r = rh + rl. For |x| < 2^11
  // (k < 2^20) after Cody and Waite: k P1 and k P2 are exact (33-bit pieces) and so is
  // |x| - k P1 (Sterbenz); u + u_lo is exact; k P3 is rounded by at most 2^-108 and P1 + P2 + P3
  // is pi/1024 to 2^-128, so rh + rl is r to 2^-105. Close to a multiple of pi/1024 that would
  // not be enough relative to r: those arguments, and larger ones, are reduced exactly.
  std::int64_t k;
  DD r;
  bool reduced = false;
  if (ax < 0x1p11) {
    const double shifted = ax * kInvPiBy1024 + 0x1.8p52;
    const double kd = shifted - 0x1.8p52;
    k = (std::int64_t)(bits_of(shifted) - bits_of(0x1.8p52));
    const DD u = two_sum(ax - kd * kPiBy1024Pieces[0], -(kd * kPiBy1024Pieces[1]));
    if (k == 0 || std::fabs(u.hi) > 0x1p-30) {
      r = fast_two_sum(u.hi, u.lo - kd * kPiBy1024Pieces[2]);
      reduced = true;
    }
  }
  if (!reduced) r = reduce_pi_by_1024(ax, k);
  // sin(q pi/2 + a + r) with a = i pi/1024, 0 <= i < 512, is S cos r + C sin r with
  // (S, C) = (sin a, cos a), (cos a, -sin a), -(sin a, cos a), -(cos a, -sin a) for q = 0..3;
  // sin a and cos a are rows i and 512 - i of the table. No branch on q: the row index and
  // the signs are computed.
  const int j = (int)(k & 2047);
  const int odd = (j >> 9) & 1, i = j & 511;
  const int row_s = i + odd * (512 - 2 * i);
  const double Sh = kSinTable[row_s][0], Sl = kSinTable[row_s][1];
  const double Ch = double_of(bits_of(kSinTable[512 - row_s][0]) ^ ((std::uint64_t)odd << 63));
  const double Cl = double_of(bits_of(kSinTable[512 - row_s][1]) ^ ((std::uint64_t)odd << 63));
  const std::uint64_t minus = (((std::uint64_t)j >> 10) ^ (bits_of(x) >> 63)) << 63;
  // S cos r + C sin r = Sh + Ch r1 + [Sl + Ch (r2 + rl) + Cl r + S (cos r - 1) + C (sin r - r)],
  // with rh = r1 + r2, r1 of 26 bits: Ch r1 is exact, and so is Sh + Ch r1 = s + s_lo (Sh = 0,
  // or |Sh| >= sin(pi/1024) > 2 |r1|). The split is relative, |r2| <= 2^-27 |r|: where S = 0
  // the result is about r, however small, and r2 + rl may only be rounded relative to r.
  const double rh = r.hi;
  double r1, r2;
  split(rh, r1, r2);
  const double p = Ch * r1;
  const double s = Sh + p;
  const double s_lo = p - (s - Sh);
  const double rr = rh * rh;
  const double cm = rr * (-0.5 + rr * (1.0 / 24 + rr * (-1.0 / 720)));
  const double sm = rr * rh * (-1.0 / 6 + rr * (1.0 / 120 + rr * (-1.0 / 5040)));
  const double lo = s_lo + ((Sl + (Cl * rh + Ch * (r2 + r.lo))) + ((Sh + Sl) * cm + (Ch + Cl) * sm));
  // Error of s + lo against the exact value R, with |r| < 2^-9.35. Where S = 0, |R| >= 0.99 |r|
  // and every error is far below 2^-70 |R| (the largest: rounding r2 + rl, 2^-80 |r|). Elsewhere |S| >= sin(pi/1024) >= 2 |r| (nearly), so
  // |R| >= 0.49 |S|; in units of |S|: cos r - 1 to 5.1 ulps (rounding of rr, rh for r, the
  // evaluation) of its 2^-19.7, 2^-70.3; its product with S and S's rounding, 2^-71.7;
  // C (sin r - r) below 2^-73; the sums in lo, 3 * 2^-72.4; the tails of the series, the
  // tables and the reduction below 2^-79. 2^-69.05 |S| in all, under 2^-68 |R|.
  double z;
  if (!rounds_alike(s, lo, 0x1p-67 * std::fabs(s), z)) return false;
  y = double_of(bits_of(z) ^ minus);
  return true;
}

double exp_accurate(double x) {
  // x = k ln2 + r, |r| <= ln2/2 (+ a little); e^x = 2^k e^r, e^r by its series.
  const double kd = nearest_integer(x * 0x1.71547652b82fep+0);
  const Fixed kln2 = mul_small(kFixedLn2, (std::uint64_t)(kd < 0 ? -kd : kd));
  const Fixed r = kd < 0 ? add(from_double(x), kln2) : sub(from_double(x), kln2);
  Fixed term = from_double(1.0);
  Fixed sum = term;
  for (std::uint64_t n = 1; !is_zero(term); n++) {
    term = div_small(mul(term, r), n);
    sum = add(sum, term);
  }
  return round_to_double(sum, (int)kd);
}

double log_accurate(double x) {
  // x = 2^e m, sqrt(1/2) < m <= sqrt(2); ln m = 2 atanh(s), s = (m - 1)/(m + 1).
  std::uint64_t u = bits_of(x);
  int e = int(u >> 52);
  std::uint64_t mant = u & ((1ull << 52) - 1);
  if (e == 0) {  // subnormal: normalise the significand
    const int shift = __builtin_clzll(mant) - 11;
    mant <<= shift;
    e = 1 - shift;
  }
  mant |= 1ull << 52;
  e -= 1023;
  // m = mant / one, with one = 2^53 where mant / 2^52 is above sqrt(2).
  std::uint64_t one = 1ull << 52;
  if (mant > 0x16a09e667f3bcdull) {
    one = 1ull << 53;
    e += 1;
  }
  const bool below = mant < one;
  const std::uint64_t num = below ? one - mant : mant - one;
  const std::uint64_t den = mant + one;  // < 2^54
  // s = num/den to 320 fraction bits: long division of num 2^320 by one word.
  Fixed s;
  u128 rem = num;
  s.w[kWords - 1] = 0;  // num < den: no integer part
  for (int i = kWords - 2; i >= 0; i--) {
    const u128 cur = rem << 64;
    s.w[i] = (std::uint64_t)(cur / den);
    rem = cur % den;
  }
  if (below) s = neg(s);
  const Fixed s2 = mul(s, s);
  Fixed power = s, sum = s;
  for (std::uint64_t n = 3; !is_zero(power); n += 2) {
    power = mul(power, s2);
    sum = add(sum, div_small(power, n));
  }
  sum = add(sum, sum);
  const Fixed eln2 = mul_small(kFixedLn2, (std::uint64_t)(e < 0 ? -e : e));
  sum = e < 0 ? sub(sum, eln2) : add(sum, eln2);
  return round_to_double(sum, 0);
}

double sin_accurate(double x) {
  const double ax = x < 0 ? -x : x;
  int q = 0;
  Fixed r;
  if (ax > 0x1.921fb54442d18p-1) {
    r = mul(reduce_quadrant(ax, q), kFixedPiBy2);
  } else {
    r = from_double(ax);
  }
  Fixed v = sin_cos_series(r, (q & 1) != 0);
  if (((q & 2) != 0) != (x < 0)) v = neg(v);
  return round_to_double(v, 0);
}

}  // namespace detail

void (*detail::observer)(int, double) = nullptr;

namespace {
// Reports x to the observer and hands it back, so that the caller keeps nothing across the call
// and its fast path needs no stack frame; kept out of line, away from the fast paths.
[[gnu::noinline, gnu::cold]] double observed(int function, double x) {
  detail::observer(function, x);
  return x;
}
}  // namespace

double cr_exp(double x) {
  if (__builtin_expect(detail::observer != nullptr, 0)) x = observed(0, x);
  double y;
  return detail::exp_fast(x, y) ? y : detail::exp_accurate(x);
}

double cr_log(double x) {
  if (__builtin_expect(detail::observer != nullptr, 0)) x = observed(1, x);
  double y;
  return detail::log_fast(x, y) ? y : detail::log_accurate(x);
}

double cr_sin(double x) {
  if (__builtin_expect(detail::observer != nullptr, 0)) x = observed(2, x);
  double y;
  return detail::sin_fast(x, y) ? y : detail::sin_accurate(x);
}

}  // namespace kw_crmath
