// Fourier transforms: complex (four1), multidimensional complex (fourn), real sequence
// (realft) and real 2-D/3-D (rlft3). All four work in place on offset-indexed float arrays
// addressed from 1, complex values as interleaved (real, imaginary) pairs.
//
// Precision, which the results depend on to the bit:
// - angles, their sines and the twiddle recurrence w <- w + w*(alpha + i*beta) are double;
// - four1 and the untangling passes of realft and rlft3 form each twiddle product in double
//   from the widened floats and round once;
// - fourn rounds the twiddle to single first and does the whole butterfly in single.
// The two angle constants differ on purpose: 6.28318530717959 (a decimal slightly above the
// double nearest 2*pi) and, in realft, 3.141592653589793 (the double nearest pi).
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "../stat.h"
#include "../stat_internal.h"
#include "simd/simd.h"
#include "cr_math.h"

namespace {

constexpr double two_pi_decimal = 6.28318530717959;
constexpr double pi_double = 3.141592653589793;

bool is_power_of_two(unsigned long n) { return n != 0 && (n & (n - 1)) == 0; }

// Bound on the number of complex values, so that the float count 2n and every index the loops
// form from it stay representable.
constexpr unsigned long max_complex_count = ~0ul >> 1;

// w <- w * exp(i*theta) by the recurrence, with alpha = -2 sin^2(theta/2), beta = sin(theta);
// v is w's real part before the step.
void advance_twiddle(double &wr, double &wi, double alpha, double beta) {
  const double v = wr;
  wr = wr + (v * alpha - wi * beta);
  wi = wi + (wi * alpha + v * beta);
}

// The checks of fourn's lengths, shared with rlft3: every length a power of two and the float
// count 2T representable. Returns false instead of reporting, so each caller names itself.
bool valid_dims(const unsigned long dims[], int ndims) {
  unsigned long total = 1;
  for (int r = 1; r <= ndims; r++) {
    const unsigned long n = dims[r];
    if (!is_power_of_two(n) || n > max_complex_count / total) return false;
    total *= n;
  }
  return true;
}


// log2 of a power of two.
unsigned log2_of(unsigned long n) {
  unsigned bits = 0;
  while ((n >> bits) > 1) bits++;
  return bits;
}

// rev8[v]: the eight bits of v in reverse order.
constexpr struct ByteReversal {
  unsigned char rev[256];
  constexpr ByteReversal() : rev() {
    for (unsigned v = 0; v < 256; v++) {
      unsigned r = 0;
      for (unsigned b = 0; b < 8; b++) r |= ((v >> b) & 1u) << (7 - b);
      rev[v] = static_cast<unsigned char>(r);
    }
  }
} rev8;

// x with its lowest `bits` bits in reverse order, a byte at a time.
unsigned long reverse_bits(unsigned long x, unsigned bits) {
  const unsigned bytes = (bits + 7) / 8;
  unsigned long r = 0;
  for (unsigned b = 0; b < bytes; b++, x >>= 8) r = (r << 8) | rev8.rev[x & 0xFF];
  return r >> (8 * bytes - bits);
}

// Exchanges the elements of `width` floats at a and b; kWidth is the width when it is known
// at compile time (then a complex value moves as one 8-byte unit), 0 when it is not.
template <unsigned long kWidth>
inline void swap_elements(float data[], unsigned long a, unsigned long b, unsigned long width) {
  if constexpr (kWidth == 2) {
    std::uint64_t x, y;
    std::memcpy(&x, data + a, sizeof x);
    std::memcpy(&y, data + b, sizeof y);
    std::memcpy(data + a, &y, sizeof y);
    std::memcpy(data + b, &x, sizeof x);
  } else {
    for (unsigned long p = 0; p < width; p++) std::swap(data[a + p], data[b + p]);
  }
}

// Index bits taken from each end of an index by the tiled reversal: tiles of 16 x 16 elements.
constexpr unsigned tile_bits = 4;

// The bit-reversal permutation of each of `runs` consecutive runs of 2^bits elements, each
// element `width` consecutive floats (data addressed from 1): element x of a run trades places
// with element rev(x). The pairs are disjoint, so any order of exchanges moves every float to
// the same place as the classic loop that walks i upwards and swaps when its reversed
// counterpart is larger; only copies are made, so every bit pattern (NaNs too) is kept.
// Long runs go tile by tile: with x = (hi, mid, lo), rev(x) = (rev lo, rev mid, rev hi), so all
// the elements sharing one middle part trade with those of its reversed middle part, 2 x 256
// elements that stay in cache while they are exchanged.
//
// Which elements trade places is listed ahead, so that no branch on the index decides it (such
// a branch goes either way at random and costs more than the exchange): for runs shorter than
// 2^8, the pairs (x, rev x) with x < rev x; for a tile traded with itself, the (hi, lo) whose
// partner (rev lo, rev hi) comes later.
constexpr struct ReversalPairs {
  static constexpr unsigned short_total = 105;  // pairs over bits = 0..7
  static constexpr unsigned tile_total = 120;   // (256 - 16 palindromes) / 2
  unsigned char first[2 * tile_bits + 1];       // pairs of `bits` at first[bits]..first[bits + 1]
  unsigned char x[short_total], y[short_total];
  unsigned char hi[tile_total], lo[tile_total];
  unsigned tile_count;
  constexpr ReversalPairs() : first(), x(), y(), hi(), lo(), tile_count(0) {
    unsigned n = 0;
    for (unsigned bits = 0; bits < 2 * tile_bits; bits++) {
      first[bits] = static_cast<unsigned char>(n);
      for (unsigned v = 0; v < (1u << bits); v++) {
        const unsigned r = rev8.rev[v] >> (8 - bits);
        if (v < r) x[n] = static_cast<unsigned char>(v), y[n++] = static_cast<unsigned char>(r);
      }
    }
    first[2 * tile_bits] = static_cast<unsigned char>(n);
    n = 0;
    for (unsigned h = 0; h < (1u << tile_bits); h++)
      for (unsigned l = 0; l < (1u << tile_bits); l++) {
        const unsigned rh = rev8.rev[h] >> (8 - tile_bits), rl = rev8.rev[l] >> (8 - tile_bits);
        if (h < rl || (h == rl && l < rh)) hi[n] = static_cast<unsigned char>(h), lo[n++] = static_cast<unsigned char>(l);
      }
    tile_count = n;
  }
} reversal_pairs;
static_assert(reversal_pairs.first[2 * tile_bits] == ReversalPairs::short_total &&
                  reversal_pairs.tile_count == ReversalPairs::tile_total,
              "every exchange listed");

// The tiled reversal of one run of complex values (8 bytes each, moved whole) in
// (hi, mid, lo) order: both tiles of a pair are read into a buffer row by row, then written
// back row by row, each element from its partner: X[hi][lo] <- Y[rev lo][rev hi] and
// Y[h][l] <- X[rev l][rev h]. Every row of 16 values is read once and written once, whole,
// however far apart the rows lie (a power of two apart, they share cache sets).
void reverse_complex_tiles(float run[], unsigned mid_bits, const unsigned long rev_side[]) {
  constexpr unsigned long side = 1ul << tile_bits;
  const unsigned high_shift = mid_bits + tile_bits;
  std::uint64_t x[side][side], y[side][side];
  const auto row = [&](unsigned long r, unsigned long m) {
    return run + 2 * ((r << high_shift) | (m << tile_bits));
  };
  for (unsigned long mid = 0; mid < (1ul << mid_bits); mid++) {
    const unsigned long rmid = reverse_bits(mid, mid_bits);
    if (rmid < mid) continue;  // this pair of tiles was exchanged from the other side
    for (unsigned long r = 0; r < side; r++) std::memcpy(x[r], row(r, mid), sizeof x[r]);
    if (rmid != mid)
      for (unsigned long r = 0; r < side; r++) std::memcpy(y[r], row(r, rmid), sizeof y[r]);
    const std::uint64_t(*from_y)[side] = rmid != mid ? y : x;  // a tile traded with itself
    for (unsigned long hi = 0; hi < side; hi++) {
      std::uint64_t out[side];
      for (unsigned long lo = 0; lo < side; lo++) out[lo] = from_y[rev_side[lo]][rev_side[hi]];
      std::memcpy(row(hi, mid), out, sizeof out);
    }
    if (rmid != mid) {
      for (unsigned long h = 0; h < side; h++) {
        std::uint64_t out[side];
        for (unsigned long l = 0; l < side; l++) out[l] = x[rev_side[l]][rev_side[h]];
        std::memcpy(row(h, rmid), out, sizeof out);
      }
    }
  }
}

template <unsigned long kWidth>
void bit_reverse_runs_of(float data[], unsigned long width, unsigned bits, unsigned long runs) {
  const unsigned long count = 1ul << bits;
  const unsigned long span = width * count;
  const ReversalPairs &pairs = reversal_pairs;
  if (bits < 2 * tile_bits) {
    for (unsigned long k = 0; k < runs; k++) {
      float *run = data + 1 + k * span;
      for (unsigned p = pairs.first[bits]; p < pairs.first[bits + 1]; p++)
        swap_elements<kWidth>(run, pairs.x[p] * width, pairs.y[p] * width, width);
    }
    return;
  }
  const unsigned mid_bits = bits - 2 * tile_bits;
  const unsigned high_shift = mid_bits + tile_bits;
  const unsigned long side = 1ul << tile_bits;
  unsigned long rev_side[1u << tile_bits];       // rev(v) as the low part
  unsigned long rev_side_high[1u << tile_bits];  // rev(v) as the high part
  for (unsigned long v = 0; v < side; v++) {
    rev_side[v] = reverse_bits(v, tile_bits);
    rev_side_high[v] = rev_side[v] << high_shift;
  }
  // Rows 2^(mid_bits + 4) complex values apart, 4 KiB or more, share cache sets: complex
  // values then go through a buffer a row at a time.
  if (kWidth == 2 && mid_bits >= 5) {
    for (unsigned long k = 0; k < runs; k++)
      reverse_complex_tiles(data + 1 + k * span, mid_bits, rev_side);
    return;
  }
  for (unsigned long k = 0; k < runs; k++) {
    float *run = data + 1 + k * span;
    for (unsigned long mid = 0; mid < (1ul << mid_bits); mid++) {
      const unsigned long rmid = reverse_bits(mid, mid_bits);
      if (rmid < mid) continue;  // this pair of tiles was exchanged from the other side
      if (rmid == mid) {         // a tile traded with itself: each pair once
        for (unsigned p = 0; p < ReversalPairs::tile_total; p++) {
          const unsigned long x = (static_cast<unsigned long>(pairs.hi[p]) << high_shift) |
                                  (mid << tile_bits) | pairs.lo[p];
          const unsigned long y = rev_side_high[pairs.lo[p]] | (mid << tile_bits) | rev_side[pairs.hi[p]];
          swap_elements<kWidth>(run, x * width, y * width, width);
        }
        continue;
      }
      for (unsigned long hi = 0; hi < side; hi++) {
        const unsigned long x_row = (hi << high_shift) | (mid << tile_bits);
        const unsigned long y_col = (rmid << tile_bits) | rev_side[hi];
        for (unsigned long lo = 0; lo < side; lo++)
          swap_elements<kWidth>(run, (x_row | lo) * width, (rev_side_high[lo] | y_col) * width, width);
      }
    }
  }
}

void bit_reverse_runs(float data[], unsigned long width, unsigned bits, unsigned long runs) {
  if (width == 2)
    bit_reverse_runs_of<2>(data, width, bits, runs);
  else
    bit_reverse_runs_of<0>(data, width, bits, runs);
}

// The recurrence coefficients of a stage whose transforms have len points, computed the one way
// every stage of four1 computes them.
void four1_stage_coefficients(unsigned long len, int isign, double &alpha, double &beta) {
  const double theta = (two_pi_decimal / static_cast<double>(len)) * static_cast<double>(isign);
  const double u = kw_crmath::cr_sin(theta / 2.0);
  alpha = -2.0 * u * u;
  beta = kw_crmath::cr_sin(theta);
}

// Stores the next count twiddles of the recurrence, spread out for the kernels (re = (wr, wr),
// im = (-wi, wi) per twiddle), advancing (wr, wi) once after each: the very sequence of values
// the butterfly loops would otherwise produce one at a time.
// The recurrence runs in locals: through the references, every store to the tables could
// alias (wr, wi), and each step would wait for its own stores to be read back.
void fill_twiddles(double &wr, double &wi, double alpha, double beta, unsigned long count,
                   double re[], double im[]) {
  double r = wr, i = wi;
  for (unsigned long c = 0; c < count; c++) {
    re[2 * c] = r;
    re[2 * c + 1] = r;
    im[2 * c] = -i;
    im[2 * c + 1] = i;
    advance_twiddle(r, i, alpha, beta);
  }
  wr = r;
  wi = i;
}

// Twiddle sequences kept from one call to the next. A stage's twiddles depend only on its
// length and direction, and the recurrence that makes them is a chain of dependent double
// operations, each waiting for the last: at a few cycles per step it costs more than the
// butterflies the twiddles feed. So each sequence is made once per process, on first use, by
// that very recurrence, and read from then on; the bits are those of a sequence made afresh.
//
// Only the directions +1 and -1 are kept (another direction is made per call). Direction -1's
// sequence is exactly the conjugate of +1's: its angle is exactly -theta, the correctly rounded
// sine is odd, alpha = -2u*u is unchanged and every step of the recurrence maps (wr, wi) to
// (wr, -wi) exactly, negation being exact. So one run of real parts serves both, with the
// imaginary parts kept for each direction. Sequences up to 2^(kSlots - 1) twiddles are kept; a
// slot is filled under std::call_once and never changes afterwards, so concurrent calls read it
// freely. Pages of a slot never used are never touched.
template <unsigned kSlots>
class KeptTwiddles {
 public:
  // The run in slot `slot` (up to 2^(slot - 1) twiddles) for direction isign; fill(re, im)
  // makes direction +1's run on first use. A null run for a direction other than +1 or -1, or
  // a slot too large.
  template <class Fill>
  kw_simd::TwiddleRun get(int isign, unsigned slot, Fill fill) {
    if ((isign != 1 && isign != -1) || slot >= kSlots) return {nullptr, nullptr};
    // Slot s occupies doubles 2^s - 2 .. 2^(s+1) - 3 of each array.
    const unsigned long first = (1ul << slot) - 2;
    if (!ready_[slot].load(std::memory_order_acquire)) {
      std::call_once(made_[slot], [&] {
        fill(re_ + first, im_[0] + first);
        for (unsigned long k = 0; k < (1ul << slot); k++) im_[1][first + k] = -im_[0][first + k];
      });
      ready_[slot].store(true, std::memory_order_release);
    }
    return {re_ + first, im_[isign == 1 ? 0 : 1] + first};
  }

 private:
  std::atomic<bool> ready_[kSlots];  // set once the slot is filled: the common path
  std::once_flag made_[kSlots];
  double re_[1ul << kSlots];
  double im_[2][1ul << kSlots];
};

// Slot log2(len): four1's stage of len floats, len/2 twiddles, up to transforms of 2^16 points.
KeptTwiddles<18> four1_kept;
// Slot log2(n/2): realft's untangling of n floats, n/4 - 1 twiddles, up to n = 2^16.
KeptTwiddles<16> realft_kept;

// The len/2 twiddles of four1's stage of len floats for direction isign, kept; a null run when
// they are not kept.
kw_simd::TwiddleRun four1_kept_twiddles(unsigned long len, int isign) {
  return four1_kept.get(isign, log2_of(len), [&](double *re, double *im) {
    double alpha, beta;
    four1_stage_coefficients(len, 1, alpha, beta);
    double wr = 1.0;
    double wi = 0.0;
    fill_twiddles(wr, wi, alpha, beta, len >> 1, re, im);
  });
}

// The longest transform whose bit reversal goes with its first stages, through a buffer of
// 16 KiB on the stack (window numbers of at most 8 bits).
constexpr unsigned long fused_reversal_points = 2048;

// Floats of one block that four1 carries through all its short stages before the next block
// (4 KiB, so the block stays in the first-level cache), and the twiddles computed ahead per pass
// of a long stage when they are not kept.
constexpr unsigned long four1_block_floats = 1024;
constexpr unsigned long twiddle_chunk = 256;

// The Danielson-Lanczos stages of four1 on n floats. Within a stage the butterflies touch
// disjoint pairs of values, so their order is free; each value still meets the stages in
// ascending order with the twiddle the recurrence gives it, so every bit is that of the plain
// loop (m outer, i inner, one twiddle step per m).
// When `unreversed` is given, data holds nothing yet: the bit reversal of the n floats at
// `unreversed` is done on the way in, with the first three stages (n / 2 >= 32 points).
void four1_stages(float data[], unsigned long n, int isign, const float *unreversed = nullptr) {
  // Short stages (transform step 2*len within one block): every block runs through all of them
  // while it is in cache. short_w[len - 2 ..] points to stage len's len/2 twiddles.
  const kw_simd::Kernels &simd = kw_simd::kernels();
  const unsigned long block = n < four1_block_floats ? n : four1_block_floats;
  kw_simd::TwiddleRun short_w[32];  // by log2(len)
  double made_re[four1_block_floats], made_im[four1_block_floats];  // a direction not kept
  for (unsigned long len = 2; len < block; len <<= 1) {
    kw_simd::TwiddleRun run = four1_kept_twiddles(len, isign);
    if (run.re == nullptr) {
      double alpha, beta;
      four1_stage_coefficients(len, isign, alpha, beta);
      double wr = 1.0;
      double wi = 0.0;
      fill_twiddles(wr, wi, alpha, beta, len >> 1, made_re + len - 2, made_im + len - 2);
      run = {made_re + len - 2, made_im + len - 2};
    }
    short_w[log2_of(len)] = run;
  }
  // The first three stages go together, in registers, when the block holds them.
  const unsigned long first_len = block >= 16 ? 16 : 2;
  if (unreversed != nullptr) {
    const unsigned window_bits = log2_of(n >> 4);  // windows of 8 complex values
    simd.four1_reverse_first_stages(unreversed, data + 1, n >> 1, rev8.rev, 8 - window_bits,
                                    short_w[1], short_w[2], short_w[3]);
  }
  for (unsigned long base = 1; base < n; base += block) {
    if (first_len == 16 && unreversed == nullptr)
      simd.four1_first_stages(data + base, block, short_w[1], short_w[2], short_w[3]);
    for (unsigned long len = first_len; len < block; len <<= 1)
      simd.four1_runs(data + base, block / (len << 1), len << 1, len, len >> 1,
                      short_w[log2_of(len)]);
  }

  // Long stages, one at a time, consecutive twiddles to consecutive values across the whole
  // array; when they are not kept, a chunk of twiddles is made ahead of each pass.
  double long_re[2 * twiddle_chunk], long_im[2 * twiddle_chunk];
  for (unsigned long len = block; len < n; len <<= 1) {
    const unsigned long step = len << 1;
    const kw_simd::TwiddleRun kept = four1_kept_twiddles(len, isign);
    if (kept.re != nullptr) {
      simd.four1_runs(data + 1, n / step, step, len, len >> 1, kept);
      continue;
    }
    double alpha, beta;
    four1_stage_coefficients(len, isign, alpha, beta);
    double wr = 1.0;
    double wi = 0.0;
    for (unsigned long first = 0; first < (len >> 1); first += twiddle_chunk) {
      const unsigned long count =
          (len >> 1) - first < twiddle_chunk ? (len >> 1) - first : twiddle_chunk;
      fill_twiddles(wr, wi, alpha, beta, count, long_re, long_im);
      simd.four1_runs(data + 1 + 2 * first, n / step, step, len, count, {long_re, long_im});
    }
  }
}


// fourn's butterfly on the complex values at float positions y and z: unlike four1, the twiddle
// comes in already rounded to single and the whole butterfly stays single.
inline void fourn_butterfly(float data[], unsigned long y, unsigned long z, float wr, float wi) {
  const float tr = wr * data[z] - wi * data[z + 1];
  const float ti = wr * data[z + 1] + wi * data[z];
  data[z] = data[y] - tr;
  data[z + 1] = data[y + 1] - ti;
  data[y] = data[y] + tr;
  data[y + 1] = data[y + 1] + ti;
}

// fourn's butterflies for `width` consecutive floats at y (a whole stride: the same twiddle for
// each) against those at y + half. Two complex values at a time, all loads before the stores,
// so that the compiler may pair them in vector registers; the two butterflies touch disjoint
// floats (half >= width), and each lane does exactly the single-precision steps of one
// butterfly.
inline void fourn_butterfly_run(float data[], unsigned long y, unsigned long half,
                                unsigned long width, float wr, float wi) {
  if (width == 2) {
    fourn_butterfly(data, y, y + half, wr, wi);
    return;
  }
  if (width >= 16) {
    kw_simd::kernels().fourn_run(data + y, half, width, wr, wi);
    return;
  }
  for (unsigned long p = 0; p < width; p += 4) {
    float *top = data + y + p;
    float *bot = top + half;
    const float b0 = bot[0], b1 = bot[1], b2 = bot[2], b3 = bot[3];
    const float t0 = top[0], t1 = top[1], t2 = top[2], t3 = top[3];
    const float tr0 = wr * b0 - wi * b1;
    const float ti0 = wr * b1 + wi * b0;
    const float tr1 = wr * b2 - wi * b3;
    const float ti1 = wr * b3 + wi * b2;
    bot[0] = t0 - tr0;
    bot[1] = t1 - ti0;
    bot[2] = t2 - tr1;
    bot[3] = t3 - ti1;
    top[0] = t0 + tr0;
    top[1] = t1 + ti0;
    top[2] = t2 + tr1;
    top[3] = t3 + ti1;
  }
}

// fourn's butterflies of one block: `count` twiddles (interleaved real, imaginary), each
// serving a whole stride of floats from y0 + t*stride against the floats half further on. With
// a stride of one complex value the pairing goes across consecutive twiddles instead (as in
// four1): at full width when there are enough of them, else two at a time with all loads
// before the stores; the two butterflies touch disjoint floats (half >= 4 when count >= 2).
inline void fourn_block(float data[], unsigned long y0, unsigned long half, unsigned long stride,
                        unsigned long count, const float tw[]) {
  if (stride > 2 || count == 1) {
    for (unsigned long t = 0; t < count; t++)
      fourn_butterfly_run(data, y0 + t * stride, half, stride, tw[2 * t], tw[2 * t + 1]);
    return;
  }
  if (count >= 8) {
    kw_simd::kernels().fourn_pairs(data + y0, half, count, tw);
    return;
  }
  for (unsigned long t = 0; t < count; t += 2) {
    float *top = data + y0 + 2 * t;
    float *bot = top + half;
    const float w0r = tw[2 * t], w0i = tw[2 * t + 1], w1r = tw[2 * t + 2], w1i = tw[2 * t + 3];
    const float b0 = bot[0], b1 = bot[1], b2 = bot[2], b3 = bot[3];
    const float t0 = top[0], t1 = top[1], t2 = top[2], t3 = top[3];
    const float tr0 = w0r * b0 - w0i * b1;
    const float ti0 = w0r * b1 + w0i * b0;
    const float tr1 = w1r * b2 - w1i * b3;
    const float ti1 = w1r * b3 + w1i * b2;
    bot[0] = t0 - tr0;
    bot[1] = t1 - ti0;
    bot[2] = t2 - tr1;
    bot[3] = t3 - ti1;
    top[0] = t0 + tr0;
    top[1] = t1 + ti0;
    top[2] = t2 + tr1;
    top[3] = t3 + ti1;
  }
}

// The recurrence coefficients of a stage of fourn whose transforms have `points` points (the
// direction enters before the division here, after it in four1).
void fourn_stage_coefficients(unsigned long points, int isign, double &alpha, double &beta) {
  const double theta = (static_cast<double>(isign) * two_pi_decimal) / static_cast<double>(points);
  const double u = kw_crmath::cr_sin(theta / 2.0);
  alpha = -2.0 * u * u;
  beta = kw_crmath::cr_sin(theta);
}

// The next count twiddles of the recurrence, each rounded to single as fourn's butterflies take
// them, advancing (wr, wi) in double once after each.
void fill_single_twiddles(double &wr, double &wi, double alpha, double beta, unsigned long count,
                          float table[]) {
  for (unsigned long c = 0; c < count; c++) {
    table[2 * c] = static_cast<float>(wr);
    table[2 * c + 1] = static_cast<float>(wi);
    advance_twiddle(wr, wi, alpha, beta);
  }
}

// Floats of one block that fourn carries through all the short stages of a dimension before the
// next block.
constexpr unsigned long fourn_block_floats = 1024;

// The Danielson-Lanczos stages of fourn along one dimension: neighbours `stride` floats apart,
// runs of `span` floats, `floats` in all. A stage with half-length `half` pairs the value at y
// with the one at y + half, with the twiddle numbered by (y mod 2*half) / stride; the butterflies
// of a stage touch disjoint pairs, so they may run in any order, and every value still meets the
// stages in ascending order with the twiddle the recurrence gives it: the bits are those of the
// plain loop (twiddle outer, then the stride's floats, then the blocks across the array).
void fourn_stages(float data[], unsigned long stride, unsigned long span, unsigned long floats,
                  int isign) {
  // Short stages (blocks of 2*half floats no longer than one cache block): every cache block
  // runs through all of them in turn. Their twiddles follow one another in one table.
  const unsigned long block = floats < fourn_block_floats ? floats : fourn_block_floats;
  float short_w[fourn_block_floats];
  unsigned long half = stride;
  unsigned long used = 0;
  for (; half < span && (half << 1) <= block; half <<= 1) {
    double alpha, beta;
    fourn_stage_coefficients((half << 1) / stride, isign, alpha, beta);
    double wr = 1.0;
    double wi = 0.0;
    fill_single_twiddles(wr, wi, alpha, beta, half / stride, short_w + 2 * used);
    used += half / stride;
  }
  const unsigned long short_end = half;
  if (short_end > stride) {
    for (unsigned long base = 1; base <= floats; base += block) {
      unsigned long offset = 0;
      for (unsigned long h = stride; h < short_end; h <<= 1) {
        const unsigned long twiddles = h / stride;
        for (unsigned long y0 = base; y0 < base + block; y0 += h << 1)
          fourn_block(data, y0, h, stride, twiddles, short_w + 2 * offset);
        offset += twiddles;
      }
    }
  }

  // Long stages, one at a time: a chunk of twiddles computed ahead, then applied block by block
  // across the whole array.
  float long_w[2 * twiddle_chunk];
  for (; half < span; half <<= 1) {
    const unsigned long step = half << 1;
    const unsigned long twiddles = half / stride;
    double alpha, beta;
    fourn_stage_coefficients(step / stride, isign, alpha, beta);
    double wr = 1.0;
    double wi = 0.0;
    for (unsigned long first = 0; first < twiddles; first += twiddle_chunk) {
      const unsigned long count = twiddles - first < twiddle_chunk ? twiddles - first : twiddle_chunk;
      fill_single_twiddles(wr, wi, alpha, beta, count, long_w);
      for (unsigned long y0 = 1 + first * stride; y0 <= floats; y0 += step)
        fourn_block(data, y0, half, stride, count, long_w);
    }
  }
}
}  // namespace

void four1(float data[], unsigned long nn, int isign) {
  // A length that is not a power of two sends the bit reversal and the butterflies past the
  // end of the array; refuse it before touching anything.
  if (!is_power_of_two(nn) || nn > max_complex_count)
    nrerror("four1: number of points is not a power of two");

  const unsigned long n = nn << 1;  // float count

  // Short transforms read their values in bit-reversed order straight into the first stages,
  // into a buffer that is copied back at the end: one pass over the data less.
  if (nn >= 32 && nn <= fused_reversal_points) {
    float work[2 * fused_reversal_points + 1];  // addressed from 1, as data
    four1_stages(work, n, isign, data + 1);
    std::memcpy(data + 1, work + 1, n * sizeof(float));
    return;
  }

  // Bit reversal of the nn complex values.
  bit_reverse_runs(data, 2, log2_of(nn), 1);

  four1_stages(data, n, isign);
}

void fourn(float data[], unsigned long nn[], int ndim, int isign) {
  // A zero length would divide by zero below, and any other length that is not a power of two
  // sends the bit reversal past the array.
  if (!valid_dims(nn, ndim)) nrerror("fourn: a dimension length is not a power of two");

  unsigned long count = 1;  // complex values in all
  for (int r = 1; r <= ndim; r++) count *= nn[r];

  unsigned long done = 1;  // product of the lengths already transformed
  for (int r = ndim; r >= 1; r--) {
    const unsigned long n = nn[r];
    const unsigned long rest = count / (n * done);  // product of the lengths still to do
    const unsigned long stride = done << 1;         // floats between neighbours along r
    const unsigned long span = stride * n;          // floats in one full run along r
    const unsigned long floats = span * rest;       // 2 * count

    // Bit reversal along dimension r, carried across every other dimension at once.
    bit_reverse_runs(data, stride, log2_of(n), rest);
    fourn_stages(data, stride, span, floats, isign);
    done *= n;
  }
}

namespace {

// One untangling step shared by realft and rlft3: the value (d1, d2) at frequency q and its
// mirror (d3, d4) give the halves s and a in single precision; then each output is summed in
// double from the widened values, left to right, and rounded once.
void untangle(float &d1, float &d2, float &d3, float &d4, float k1, float k2, double wr,
              double wi) {
  const float sr = k1 * (d1 + d3);
  const float si = k1 * (d2 - d4);
  const float ar = -k2 * (d2 + d4);
  const float ai = k2 * (d1 - d3);
  const double srd = static_cast<double>(sr);
  const double sid = static_cast<double>(si);
  const double ard = static_cast<double>(ar);
  const double aid = static_cast<double>(ai);
  d1 = static_cast<float>(srd + ard * wr - aid * wi);
  d2 = static_cast<float>(sid + aid * wr + ard * wi);
  d3 = static_cast<float>(srd - ard * wr + aid * wi);
  d4 = static_cast<float>(-sid + aid * wr + ard * wi);
}

}  // namespace

void realft(float data[], unsigned long n, int isign) {
  // Below 2 the final step reads and writes data[2], past a one-element array (or both past an
  // empty one); other lengths that are not powers of two overrun inside four1.
  if (n < 2 || !is_power_of_two(n)) nrerror("realft: length is not a power of two of at least 2");

  const unsigned long half = n >> 1;
  const float k1 = 0.5f;
  float k2;
  double theta = pi_double / static_cast<double>(half);
  if (isign == 1) {
    k2 = -0.5f;
    four1(data, half, 1);
  } else {
    k2 = 0.5f;
    theta = -theta;
  }
  // Frequencies 1 .. n/4 - 1 against their mirrors n/2 - 1 .. n/4 + 1 (float positions 2f + 1
  // and n + 1 - 2f), each value touched once, so in any order. The pair at frequency n/4 is
  // its own mirror and already holds its final value.
  const kw_simd::Kernels &simd = kw_simd::kernels();
  const unsigned long quarter = n >> 2;
  // The untangling's recurrence starts at exp(i*theta), frequency 1.
  const auto start = [](double angle, double &wr, double &wi, double &alpha, double &beta) {
    const double u = kw_crmath::cr_sin(angle / 2.0);
    alpha = -2.0 * u * u;
    beta = kw_crmath::cr_sin(angle);
    wr = 1.0 + alpha;
    wi = beta;
  };
  double wr, wi, alpha, beta;
  kw_simd::TwiddleRun kept = {nullptr, nullptr};
  if (quarter > 1) {
    // Kept as direction +1 (positive angle); the inverse reads the conjugates.
    kept = realft_kept.get(isign == 1 ? 1 : -1, log2_of(half), [&](double *re, double *im) {
      start(pi_double / static_cast<double>(half), wr, wi, alpha, beta);
      fill_twiddles(wr, wi, alpha, beta, quarter - 1, re, im);
    });
  }
  if (kept.re != nullptr) {
    simd.untangle_run(data + 3, data + n - 1, quarter - 1, k1, k2, kept);
  } else if (quarter > 1) {
    // Not kept: the twiddles are made ahead a chunk at a time.
    start(theta, wr, wi, alpha, beta);
    double re[2 * twiddle_chunk], im[2 * twiddle_chunk];
    for (unsigned long first = 1; first < quarter; first += twiddle_chunk) {
      const unsigned long count = quarter - first < twiddle_chunk ? quarter - first : twiddle_chunk;
      fill_twiddles(wr, wi, alpha, beta, count, re, im);
      simd.untangle_run(data + 2 * first + 1, data + n + 1 - 2 * first, count, k1, k2, {re, im});
    }
  }
  const float h = data[1];
  if (isign == 1) {
    data[1] = h + data[2];
    data[2] = h - data[2];
  } else {
    data[1] = k1 * (h + data[2]);
    data[2] = k1 * (h - data[2]);
    four1(data, half, -1);
  }
}

void rlft3(float ***data, float **speq, unsigned long nn1, unsigned long nn2, unsigned long nn3,
           int isign) {
  unsigned long dims[4] = {0, nn1, nn2, nn3 >> 1};
  // len3 below 2 would hand fourn a zero length, and a zero len1 or len2 would make the
  // contiguity check below read row pointers that do not exist; refuse them first. An odd len3
  // whose half is a power of two stays in bounds but is refused like every other length that
  // is not a power of two.
  if (nn3 < 2 || !is_power_of_two(nn3) || !valid_dims(dims, 3))
    nrerror("rlft3: lengths are not powers of two with len3 at least 2");

  // The element block must be one contiguous run of len1*len2*len3 floats. The distance is
  // taken on addresses, as the two elements need not belong to one block when it fails. The
  // process ends without a word, unless a guard asks for an exception with a reason.
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(&data[1][1][1]);
  const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(&data[nn1][nn2][nn3]);
  if (last < first || (last - first) % sizeof(float) != 0 ||
      (last - first) / sizeof(float) + 1 != nn1 * nn2 * nn3)
    kw_fatal::exit_silently("rlft3: data is not one contiguous block of nn1*nn2*nn3 floats");

  const float k1 = 0.5f;
  const float k2 = static_cast<float>(-0.5 * static_cast<double>(isign));
  const double theta = (two_pi_decimal / static_cast<double>(nn3)) * static_cast<double>(isign);
  const double u = kw_crmath::cr_sin(theta / 2.0);
  const double alpha = -2.0 * u * u;
  const double beta = kw_crmath::cr_sin(theta);
  float *block = &data[1][1][1] - 1;  // addressed from 1

  if (isign == 1) {
    fourn(block, dims, 3, isign);
    for (unsigned long i1 = 1; i1 <= nn1; i1++) {
      for (unsigned long i2 = 1; i2 <= nn2; i2++) {
        speq[i1][2 * i2 - 1] = data[i1][i2][1];
        speq[i1][2 * i2] = data[i1][i2][2];
      }
    }
  }

  // Per row i1, with its mirror row r1: the q3 = 0 plane, then the columns q3 = 1 .. len3/4 - 1
  // against their mirrors len3/2 - q3, then the middle column q3 = len3/4, its own mirror. The
  // plane and the middle column visit each value twice (from both of its rows), so they keep
  // the row-by-row order; the other columns touch each value once and run along the rows.
  const kw_simd::Kernels &simd = kw_simd::kernels();
  const unsigned long quarter = nn3 >> 2;
  double tw_re[2 * twiddle_chunk], tw_im[2 * twiddle_chunk];
  for (unsigned long i1 = 1; i1 <= nn1; i1++) {
    const unsigned long r1 = (i1 != 1 ? nn1 - i1 + 2 : 1);  // mirror row
    // The q3 = 0 plane, paired with the Nyquist plane kept in speq; twiddle 1.
    for (unsigned long i2 = 1; i2 <= nn2; i2++) {
      const unsigned long r2 = (i2 != 1 ? 2 * (nn2 - i2) + 3 : 1);
      float *d = data[i1][i2];
      const float sr = k1 * (d[1] + speq[r1][r2]);
      const float si = k1 * (d[2] - speq[r1][r2 + 1]);
      const float ai = k2 * (d[1] - speq[r1][r2]);
      const float ar = -k2 * (d[2] + speq[r1][r2 + 1]);
      d[1] = sr + ar;
      d[2] = si + ai;
      speq[r1][r2] = sr - ar;
      speq[r1][r2 + 1] = ai - si;
    }
    if (quarter == 0) continue;
    double wr = 1.0;
    double wi = 0.0;
    advance_twiddle(wr, wi, alpha, beta);  // frequency 1
    for (unsigned long first = 1; first < quarter; first += twiddle_chunk) {
      const unsigned long count = quarter - first < twiddle_chunk ? quarter - first : twiddle_chunk;
      fill_twiddles(wr, wi, alpha, beta, count, tw_re, tw_im);
      for (unsigned long i2 = 1; i2 <= nn2; i2++) {
        const unsigned long r2 = (i2 != 1 ? nn2 - i2 + 2 : 1);
        simd.untangle_run(data[i1][i2] + 2 * first + 1, data[r1][r2] + nn3 + 1 - 2 * first, count,
                          k1, k2, {tw_re, tw_im});
      }
    }
    const unsigned long mid = 2 * quarter + 1;
    for (unsigned long i2 = 1; i2 <= nn2; i2++) {
      const unsigned long r2 = (i2 != 1 ? nn2 - i2 + 2 : 1);
      untangle(data[i1][i2][mid], data[i1][i2][mid + 1], data[r1][r2][mid], data[r1][r2][mid + 1],
               k1, k2, wr, wi);
    }
  }

  if (isign == -1) fourn(block, dims, 3, isign);
}
