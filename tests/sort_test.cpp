// Sorting and selection: results against std::sort and std::nth_element on many input shapes,
// companions kept with their keys, the work-stack bound, and pinned output bits.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "kw_test.h"
#include "stat.h"
#include "stat_internal.h"

namespace {

// A float vector addressed 1..n in a block of exactly n elements, so that the sanitized build
// catches any access to index 0 or n + 1.
class Keys {
 public:
  explicit Keys(const std::vector<float> &values)
      : n_(values.size()), v_(vector(1, static_cast<long>(n_))) {
    for (std::size_t i = 0; i < n_; i++) v_[i + 1] = values[i];
  }
  ~Keys() { free_vector(v_, 1, static_cast<long>(n_)); }
  Keys(const Keys &) = delete;
  Keys &operator=(const Keys &) = delete;
  float *one_based() { return v_; }
  std::vector<float> values() const { return std::vector<float>(v_ + 1, v_ + 1 + n_); }

 private:
  std::size_t n_;
  float *v_;
};

using Shape = std::function<std::vector<float>(std::size_t, kwtest::Rng &)>;

struct NamedShape {
  const char *name;
  Shape make;
};

const std::vector<NamedShape> &shapes() {
  static const std::vector<NamedShape> all = {
      {"random", [](std::size_t n, kwtest::Rng &r) {
         std::vector<float> v(n);
         for (auto &x : v) x = r.uniform(-1000.0f, 1000.0f);
         return v;
       }},
      {"few distinct", [](std::size_t n, kwtest::Rng &r) {
         std::vector<float> v(n);
         for (auto &x : v) x = static_cast<float>(r.next() % 5) - 2.0f;
         return v;
       }},
      {"ascending", [](std::size_t n, kwtest::Rng &) {
         std::vector<float> v(n);
         for (std::size_t i = 0; i < n; i++) v[i] = static_cast<float>(i) * 0.5f;
         return v;
       }},
      {"descending", [](std::size_t n, kwtest::Rng &) {
         std::vector<float> v(n);
         for (std::size_t i = 0; i < n; i++) v[i] = static_cast<float>(n - i);
         return v;
       }},
      {"constant", [](std::size_t n, kwtest::Rng &) { return std::vector<float>(n, 3.25f); }},
      {"organ pipe", [](std::size_t n, kwtest::Rng &) {
         std::vector<float> v(n);
         for (std::size_t i = 0; i < n; i++) v[i] = static_cast<float>(std::min(i, n - 1 - i));
         return v;
       }},
      {"sawtooth", [](std::size_t n, kwtest::Rng &) {
         std::vector<float> v(n);
         for (std::size_t i = 0; i < n; i++) v[i] = static_cast<float>(i % 17);
         return v;
       }},
  };
  return all;
}

const std::size_t kSizes[] = {1, 2, 3, 6, 7, 8, 9, 31, 100, 1000, 4099};

std::string label(const char *shape, std::size_t n) {
  return std::string(shape) + ", n = " + std::to_string(n);
}

std::vector<float> sorted_copy(std::vector<float> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Companion values 0, 1, 2, ... are exact in single precision for the sizes used here.
std::vector<float> positions(std::size_t n) {
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; i++) v[i] = static_cast<float>(i);
  return v;
}

// Every companion names a distinct original position, and it still sits next to its key.
::testing::AssertionResult pairs_kept(const std::vector<float> &original,
                                      const std::vector<float> &keys,
                                      const std::vector<float> &companion) {
  std::vector<bool> seen(original.size(), false);
  for (std::size_t i = 0; i < keys.size(); i++) {
    const std::size_t p = static_cast<std::size_t>(companion[i]);
    if (p >= original.size() || seen[p])
      return ::testing::AssertionFailure() << "companion at " << i << " repeats or is lost";
    seen[p] = true;
    if (kwtest::bits(original[p]) != kwtest::bits(keys[i]))
      return ::testing::AssertionFailure() << "key at " << i << " lost its companion";
  }
  return ::testing::AssertionSuccess();
}

// Sorts every shape at every size with the given in-place sort and compares with std::sort.
void expect_sorts_like_std(void (*sort_in_place)(unsigned long, float[]), std::uint64_t seed) {
  kwtest::Rng rng(seed);
  for (const auto &shape : shapes()) {
    for (std::size_t n : kSizes) {
      const std::vector<float> input = shape.make(n, rng);
      Keys keys(input);
      sort_in_place(n, keys.one_based());
      EXPECT_EQ(keys.values(), sorted_copy(input)) << label(shape.name, n);
    }
  }
}

TEST(Quicksort, MatchesStdSortOnEveryShape) { expect_sorts_like_std(sort, 11); }

TEST(Quicksort, Sort2KeepsEveryCompanionWithItsKey) {
  kwtest::Rng rng(12);
  for (const auto &shape : shapes()) {
    for (std::size_t n : kSizes) {
      const std::vector<float> input = shape.make(n, rng);
      Keys keys(input);
      Keys companion(positions(n));
      sort2(n, keys.one_based(), companion.one_based());
      EXPECT_EQ(keys.values(), sorted_copy(input)) << label(shape.name, n);
      EXPECT_TRUE(pairs_kept(input, keys.values(), companion.values())) << label(shape.name, n);
    }
  }
}

TEST(Quicksort, Sort2MovesKeysExactlyAsSort) {
  // Signed zeros compare equal, so their final order shows every move the sort made.
  kwtest::Rng rng(13);
  for (std::size_t n : {9u, 100u, 2000u}) {
    std::vector<float> zeros(n);
    for (auto &x : zeros) x = (rng.next() % 3 == 0) ? -0.0f : 0.0f;
    Keys alone(zeros);
    Keys paired(zeros);
    Keys companion(positions(n));
    sort(n, alone.one_based());
    sort2(n, paired.one_based(), companion.one_based());
    const auto a = alone.values();
    const auto b = paired.values();
    EXPECT_EQ(kwtest::hash_bits(a.data(), n), kwtest::hash_bits(b.data(), n)) << "n = " << n;
  }
}

TEST(Quicksort, SmallArraysKeepTheOrderOfEqualKeys) {
  // Up to seven elements go to straight insertion alone, which is stable.
  for (std::size_t n = 2; n <= 7; n++) {
    std::vector<float> input(n);
    for (std::size_t i = 0; i < n; i++) input[i] = static_cast<float>((n - i) % 2);
    Keys keys(input);
    Keys companion(positions(n));
    sort2(n, keys.one_based(), companion.one_based());
    const auto c = companion.values();
    const auto k = keys.values();
    for (std::size_t i = 1; i < n; i++) {
      ASSERT_LE(k[i - 1], k[i]) << "n = " << n;
      if (k[i - 1] == k[i]) {
        EXPECT_LT(c[i - 1], c[i]) << "n = " << n << ", i = " << i;
      }
    }
  }
}

TEST(Quicksort, Sort2SmallExample) {
  Keys keys({3.0f, 1.0f, 2.0f});
  Keys companion({30.0f, 10.0f, 20.0f});
  sort2(3, keys.one_based(), companion.one_based());
  EXPECT_EQ(keys.values(), (std::vector<float>{1.0f, 2.0f, 3.0f}));
  EXPECT_EQ(companion.values(), (std::vector<float>{10.0f, 20.0f, 30.0f}));
}

TEST(Quicksort, ZeroCountTouchesNothing) {
  // An empty block: any read or write of it is an error in the sanitized build.
  float *empty = vector(1, 0);
  float *also_empty = vector(1, 0);
  sort(0, empty);
  sort2(0, empty, also_empty);
  // And around a live block, nothing before index 1 changes.
  std::vector<float> guarded = {7.0f, 9.0f, 8.0f};
  sort(0, guarded.data() + 1);
  sort2(0, guarded.data() + 1, guarded.data() + 1);
  EXPECT_EQ(guarded, (std::vector<float>{7.0f, 9.0f, 8.0f}));
  free_vector(empty, 1, 0);
  free_vector(also_empty, 1, 0);
}

TEST(Quicksort, NotANumberStaysInBoundsAndKeepsTheValues) {
  // No order is promised with NaN keys, but the scans must stay inside 1..n and no value may
  // be lost or duplicated.
  kwtest::Rng rng(14);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (std::size_t n : {2u, 5u, 8u, 9u, 64u, 1000u}) {
    for (std::uint64_t every : {2u, 3u, 7u}) {
      std::vector<float> input(n);
      for (std::size_t i = 0; i < n; i++) input[i] = (i % every == 0) ? nan : rng.uniform();
      Keys keys(input);
      Keys companion(positions(n));
      sort2(n, keys.one_based(), companion.one_based());
      const auto k = keys.values();
      const auto c = companion.values();
      std::vector<bool> seen(n, false);
      for (std::size_t i = 0; i < n; i++) {
        const std::size_t p = static_cast<std::size_t>(c[i]);
        ASSERT_LT(p, n);
        ASSERT_FALSE(seen[p]);
        seen[p] = true;
        EXPECT_EQ(kwtest::bits(k[i]), kwtest::bits(input[p])) << "n = " << n;
      }
    }
  }
}

// The largest number of pending pairs any input of n elements can cause (see sort.cpp): a push
// that makes d pairs needs a subarray of at least 8 elements and at most n / 2^(d-1).
unsigned long pair_bound(unsigned long n) {
  unsigned long d = 0;
  while ((n >> d) >= 8) d++;
  return d;
}

TEST(Quicksort, WorkStackStaysWithinItsBound) {
  kwtest::Rng rng(15);
  for (const auto &shape : shapes()) {
    for (std::size_t n : {100u, 5000u, 65536u}) {
      std::vector<float> input = shape.make(n, rng);
      const unsigned long peak =
          kw_sort_detail::quicksort_peak(n, input.data() - 1, nullptr, 128, "overflow");
      EXPECT_LE(peak / 2, pair_bound(n)) << label(shape.name, n);
    }
  }
  // Constant keys split every subarray into halves: the deepest stack there is. It comes
  // within one pair of the bound, so the bound is tight.
  for (std::size_t n : {1000u, 1u << 18}) {
    std::vector<float> same(n, 1.0f);
    const unsigned long peak =
        kw_sort_detail::quicksort_peak(n, same.data() - 1, nullptr, 128, "overflow");
    EXPECT_GE(peak / 2 + 1, pair_bound(n)) << "n = " << n;
    EXPECT_LE(peak / 2, pair_bound(n)) << "n = " << n;
  }
  // 64 pairs cover every 64-bit count.
  EXPECT_LE(pair_bound(~0ul), 61u);
}

TEST(Quicksort, OverflowGuardEndsTheProcess) {
  // Only reachable with a stack smaller than the library's; it must fail loudly, not write
  // past the stack.
  std::vector<float> same(4096, 1.0f);
  const unsigned long peak =
      kw_sort_detail::quicksort_peak(same.size(), same.data() - 1, nullptr, 128, "overflow");
  ASSERT_GE(peak, 4u);
  KW_EXPECT_NRERROR(kw_sort_detail::quicksort_peak(same.size(), same.data() - 1, nullptr,
                                                   peak - 2, "NSTACK too small in sort."),
                    "NSTACK too small in sort.");
  std::vector<float> companion(same.size(), 0.0f);
  KW_EXPECT_NRERROR(kw_sort_detail::quicksort_peak(same.size(), same.data() - 1,
                                                   companion.data() - 1, peak - 2,
                                                   "NSTACK too small in sort2."),
                    "NSTACK too small in sort2.");
}

TEST(Quicksort, PinnedOutputBits) {
  // Keys with many ties and signed zeros, so that the exact sequence of moves shows in both
  // the key bits and the companion order.
  struct Case {
    std::size_t n;
    std::uint64_t seed;
    std::uint64_t keys_hash;
    std::uint64_t companion_hash;
  };
  const Case cases[] = {
      {50, 21, 9277537171248377328ull, 7806716995522762438ull},
      {1000, 22, 7918551871966882871ull, 15444311357802153258ull},
      {20000, 23, 3991667750664672371ull, 1742224591113855742ull},
  };
  for (const Case &c : cases) {
    kwtest::Rng rng(c.seed);
    std::vector<float> input(c.n);
    for (auto &x : input) {
      const std::uint64_t r = rng.next();
      x = (r % 4 == 0) ? ((r & 16) ? -0.0f : 0.0f) : static_cast<float>(r % 97) - 48.0f;
    }
    Keys keys(input);
    Keys companion(positions(c.n));
    sort2(c.n, keys.one_based(), companion.one_based());
    const auto k = keys.values();
    const auto p = companion.values();
    EXPECT_EQ(kwtest::hash_bits(k.data(), k.size()), c.keys_hash) << "n = " << c.n;
    EXPECT_EQ(kwtest::hash_bits(p.data(), p.size()), c.companion_hash) << "n = " << c.n;
  }
}

TEST(Heapsort, MatchesStdSortOnEveryShape) { expect_sorts_like_std(hpsort, 31); }

TEST(Heapsort, ZeroAndOneTouchNothing) {
  float *empty = vector(1, 0);
  hpsort(0, empty);
  free_vector(empty, 1, 0);
  std::vector<float> guarded = {7.0f, 9.0f, 8.0f};
  hpsort(0, guarded.data() + 1);
  hpsort(1, guarded.data());
  EXPECT_EQ(guarded, (std::vector<float>{7.0f, 9.0f, 8.0f}));
}

TEST(Heapsort, PinnedOutputBits) {
  // Signed zeros among ties show the exact sequence of moves.
  const std::pair<std::size_t, std::uint64_t> cases[] = {
      {50, 8423053917045302999ull}, {1000, 18254849687984946191ull}, {20000, 9079927203868632379ull}};
  kwtest::Rng rng(32);
  for (const auto &c : cases) {
    std::vector<float> input(c.first);
    for (auto &x : input) {
      const std::uint64_t r = rng.next();
      x = (r % 4 == 0) ? ((r & 16) ? -0.0f : 0.0f) : static_cast<float>(r % 97) - 48.0f;
    }
    Keys keys(input);
    hpsort(c.first, keys.one_based());
    const auto k = keys.values();
    EXPECT_EQ(k, sorted_copy(input));
    EXPECT_EQ(kwtest::hash_bits(k.data(), k.size()), c.second) << "n = " << c.first;
  }
}

// The ranks to try for n elements: both ends, the median, and a few inside.
std::vector<unsigned long> ranks(unsigned long n, kwtest::Rng &rng) {
  std::vector<unsigned long> k = {1, n, (n + 1) / 2};
  for (int i = 0; i < 3; i++) k.push_back(1 + rng.next() % n);
  return k;
}

// keys is a permutation of input holding the k-th smallest at k, with nothing larger before it
// and nothing smaller after it.
template <class T>
::testing::AssertionResult selected(const std::vector<T> &input, const std::vector<T> &keys,
                                    unsigned long k) {
  std::vector<T> a = input, b = keys;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  if (a != b) return ::testing::AssertionFailure() << "not a permutation of the input";
  for (unsigned long i = 0; i < keys.size(); i++) {
    if (i + 1 < k && keys[i] > keys[k - 1])
      return ::testing::AssertionFailure() << "larger element before position k at " << i + 1;
    if (i + 1 > k && keys[i] < keys[k - 1])
      return ::testing::AssertionFailure() << "smaller element after position k at " << i + 1;
  }
  return ::testing::AssertionSuccess();
}

TEST(Select, MatchesNthElementOnEveryShape) {
  kwtest::Rng rng(41);
  for (const auto &shape : shapes()) {
    for (std::size_t n : kSizes) {
      const std::vector<float> input = shape.make(n, rng);
      for (unsigned long k : ranks(n, rng)) {
        std::vector<float> want = input;
        std::nth_element(want.begin(), want.begin() + static_cast<long>(k - 1), want.end());
        Keys keys(input);
        const float got = select(k, n, keys.one_based());
        EXPECT_EQ(got, want[k - 1]) << label(shape.name, n) << ", k = " << k;
        EXPECT_EQ(kwtest::bits(got), kwtest::bits(keys.values()[k - 1]));
        EXPECT_TRUE(selected(input, keys.values(), k)) << label(shape.name, n) << ", k = " << k;
      }
    }
  }
}

TEST(Select, UnsignedShortMatchesNthElement) {
  kwtest::Rng rng(42);
  for (std::size_t n : kSizes) {
    for (unsigned modulus : {3u, 65536u}) {
      std::vector<unsigned short> input(n);
      for (auto &x : input) x = static_cast<unsigned short>(rng.next() % modulus);
      for (unsigned long k : ranks(n, rng)) {
        std::vector<unsigned short> want = input, keys = input;
        std::nth_element(want.begin(), want.begin() + static_cast<long>(k - 1), want.end());
        EXPECT_EQ(select_ushort(k, n, keys.data() - 1), static_cast<int>(want[k - 1]))
            << "n = " << n << ", k = " << k;
        EXPECT_TRUE(selected(input, keys, k)) << "n = " << n << ", k = " << k;
      }
    }
  }
}

TEST(Select, UnsignedShortComparesAsUnsigned) {
  std::vector<unsigned short> keys = {40000, 1};
  EXPECT_EQ(select_ushort(1, 2, keys.data() - 1), 1);
  EXPECT_EQ(keys, (std::vector<unsigned short>{1, 40000}));
  EXPECT_EQ(select_ushort(2, 2, keys.data() - 1), 40000);
  std::vector<unsigned short> top = {65535, 65535, 0, 65535};
  EXPECT_EQ(select_ushort(4, 4, top.data() - 1), 65535);
}

TEST(Select, EqualElementsAndSmallCounts) {
  Keys same(std::vector<float>(9, -2.5f));
  EXPECT_EQ(select(5, 9, same.one_based()), -2.5f);
  EXPECT_EQ(same.values(), std::vector<float>(9, -2.5f));
  Keys one({4.0f});
  EXPECT_EQ(select(1, 1, one.one_based()), 4.0f);
  Keys two({2.0f, -1.0f});
  EXPECT_EQ(select(2, 2, two.one_based()), 2.0f);
  EXPECT_EQ(two.values(), (std::vector<float>{-1.0f, 2.0f}));
}

TEST(Select, RankOutsideOneToNTouchesNothing) {
  // Exactly sized blocks: the sanitized build flags any access outside 1..n.
  const std::vector<float> input = {3.0f, 1.0f, 2.0f};
  const struct {
    unsigned long k, n;
  } cases[] = {{1, 0}, {0, 0}, {0, 3}, {4, 3}, {~0ul, 3}};
  for (const auto &c : cases) {
    std::vector<float> prefix(input.begin(), input.begin() + static_cast<long>(c.n));
    Keys keys(prefix);
    EXPECT_TRUE(std::isnan(select(c.k, c.n, keys.one_based()))) << "k = " << c.k << ", n = " << c.n;
    EXPECT_EQ(keys.values(), prefix);
    std::vector<unsigned short> shorts = {5, 0, 9};
    EXPECT_EQ(select_ushort(c.k, c.n, shorts.data() - 1), -1) << "k = " << c.k << ", n = " << c.n;
    EXPECT_EQ(shorts, (std::vector<unsigned short>{5, 0, 9}));
  }
}

TEST(Select, PinnedOutputBits) {
  // The rearranged array after each selection, ties and signed zeros included.
  struct Case {
    std::size_t n;
    unsigned long k;
    std::uint64_t float_hash;
    std::uint64_t ushort_hash;
  };
  const Case cases[] = {{50, 25, 11261504806908224210ull, 618004338385060682ull},
                        {1000, 1, 12494782249170634830ull, 16883499201374102110ull},
                        {1000, 700, 5076812913042296080ull, 9166628142223471637ull},
                        {20001, 10001, 4757113984168807403ull, 5634172839960804868ull}};
  kwtest::Rng rng(43);
  for (const Case &c : cases) {
    std::vector<float> input(c.n);
    std::vector<unsigned short> shorts(c.n);
    for (std::size_t i = 0; i < c.n; i++) {
      const std::uint64_t r = rng.next();
      input[i] = (r % 4 == 0) ? ((r & 16) ? -0.0f : 0.0f) : static_cast<float>(r % 97) - 48.0f;
      shorts[i] = static_cast<unsigned short>((r >> 8) % 1000);
    }
    Keys keys(input);
    select(c.k, c.n, keys.one_based());
    select_ushort(c.k, c.n, shorts.data() - 1);
    const auto k = keys.values();
    EXPECT_EQ(kwtest::hash_bits(k.data(), k.size()), c.float_hash) << "n = " << c.n;
    EXPECT_EQ(kwtest::hash_bits(shorts.data(), shorts.size()), c.ushort_hash) << "n = " << c.n;
  }
}

}  // namespace

// --- Adversarial inputs ------------------------------------------------------------------------

namespace {

// McIlroy's adversary against median-of-three partitioning: every item starts as "gas" (larger
// than anything fixed so far); a comparison between two gas items fixes one of them (the one
// not taking part as the last pivot candidate) at the next smallest value. Driving the plain
// algorithm with it yields an input on which that algorithm splits off the least it can.
class Adversary {
 public:
  explicit Adversary(long n) : gas_(n), val_(n, n) {}
  bool less(long x, long y) {
    if (val_[x] == gas_ && val_[y] == gas_) val_[x == candidate_ ? x : y] = solid_++;
    if (val_[x] == gas_)
      candidate_ = x;
    else if (val_[y] == gas_)
      candidate_ = y;
    return val_[x] < val_[y];
  }
  // The input: every item still gas is fixed above all others.
  std::vector<float> values() {
    std::vector<float> v(val_.size());
    for (std::size_t i = 0; i < v.size(); i++) v[i] = static_cast<float>(val_[i] == gas_ ? solid_++ : val_[i]);
    return v;
  }

 private:
  long gas_, solid_ = 0, candidate_ = -1;
  std::vector<long> val_;
};

// The quicksort's and the selection's partition steps, plain, on item numbers compared through
// the adversary; returns the number of elements partitioned.
unsigned long partition_step(std::vector<long> &ids, unsigned long l, unsigned long ir, Adversary &adv,
                             unsigned long *i_out, unsigned long *j_out) {
  std::swap(ids[l + (ir - l) / 2], ids[l + 1]);
  if (adv.less(ids[ir], ids[l])) std::swap(ids[l], ids[ir]);
  if (adv.less(ids[ir], ids[l + 1])) std::swap(ids[l + 1], ids[ir]);
  if (adv.less(ids[l + 1], ids[l])) std::swap(ids[l], ids[l + 1]);
  unsigned long i = l + 1, j = ir;
  const long a = ids[l + 1];
  for (;;) {
    do i++;
    while (adv.less(ids[i], a));
    do j--;
    while (adv.less(a, ids[j]));
    if (j < i) break;
    std::swap(ids[i], ids[j]);
  }
  ids[l + 1] = ids[j];
  ids[j] = a;
  *i_out = i;
  *j_out = j;
  return ir - l + 1;
}

std::vector<float> quicksort_killer(unsigned long n, unsigned long *plain_work) {
  Adversary adv((long)n);
  std::vector<long> ids(n + 1);
  for (unsigned long p = 1; p <= n; p++) ids[p] = (long)p - 1;
  std::vector<std::pair<unsigned long, unsigned long>> pending;
  unsigned long l = 1, ir = n, i, j;
  *plain_work = 0;
  for (;;) {
    if (ir - l < 7) {
      for (unsigned long q = l + 1; q <= ir; q++) {
        const long a = ids[q];
        unsigned long p = q;
        for (; p > l && adv.less(a, ids[p - 1]); p--) ids[p] = ids[p - 1];
        ids[p] = a;
      }
      if (pending.empty()) break;
      std::tie(l, ir) = pending.back();
      pending.pop_back();
      continue;
    }
    *plain_work += partition_step(ids, l, ir, adv, &i, &j);
    if (ir - i + 1 >= j - l) {
      pending.emplace_back(i, ir);
      ir = j - 1;
    } else {
      pending.emplace_back(l, j - 1);
      l = i;
    }
  }
  return adv.values();
}

std::vector<float> select_killer(unsigned long k, unsigned long n, unsigned long *plain_work) {
  Adversary adv((long)n);
  std::vector<long> ids(n + 1);
  for (unsigned long p = 1; p <= n; p++) ids[p] = (long)p - 1;
  unsigned long l = 1, ir = n, i, j;
  *plain_work = 0;
  while (ir > l + 1) {
    *plain_work += partition_step(ids, l, ir, adv, &i, &j);
    if (j >= k) ir = j - 1;
    if (j <= k) l = i;
  }
  if (ir == l + 1) adv.less(ids[ir], ids[l]);
  return adv.values();
}

}  // namespace

TEST(Adversarial, SortAndSelectStayWithinNLogN) {
  // The crafted inputs make the plain partitioning quadratic (n^2 / 8 and more elements
  // partitioned); sort, sort2 and select finish such parts by heapsort and stay within
  // 4 n log2 n, with exact results. kstwo and spear sort through the same code.
  for (unsigned long n : {1000ul, 20000ul}) {
    const double bound = 4.0 * (double)n * std::log2((double)n);
    unsigned long plain;
    const std::vector<float> input = quicksort_killer(n, &plain);
    EXPECT_GT((double)plain, (double)n * (double)n / 8) << "n = " << n;
    std::vector<float> want = input;
    std::sort(want.begin(), want.end());
    for (bool with_companion : {false, true}) {
      Keys keys(input), companion(positions(n));
      const unsigned long work =
          kw_sort_detail::sort_work(n, keys.one_based(), with_companion ? companion.one_based() : nullptr);
      EXPECT_LT((double)work, bound) << "n = " << n;
      EXPECT_EQ(keys.values(), want);
      if (with_companion) {
        EXPECT_TRUE(pairs_kept(input, keys.values(), companion.values()));
      }
    }
    for (unsigned long k : {1ul, n / 3, n / 2, n}) {
      const std::vector<float> sel_input = select_killer(k, n, &plain);
      if (k == n / 2) {
        EXPECT_GT((double)plain, (double)n * (double)n / 8) << "n = " << n;
      }
      Keys keys(sel_input);
      float result;
      const unsigned long work = kw_sort_detail::select_work(k, n, keys.one_based(), &result);
      EXPECT_LT((double)work, bound) << "n = " << n << " k = " << k;
      EXPECT_EQ(result, (float)(k - 1)) << "n = " << n << " k = " << k;  // values are 0..n-1
      const std::vector<float> after = keys.values();
      for (unsigned long q = 0; q < n; q++)
        ASSERT_TRUE(q + 1 < k ? after[q] <= result : q + 1 > k ? after[q] >= result : after[q] == result);
    }
  }
}

TEST(Adversarial, WorkOnEveryShape) {
  // Random, sorted, reversed, constant and few-valued inputs partition in balance: 0.8 to 1.5
  // n log2 n (the pins above show their bits are those of before). The organ pipe unbalances
  // median-of-three partitioning (without the heapsort it passed 2 n log2 n at 50000 and grew
  // faster); it stays within the adversarial bound.
  kwtest::Rng rng(77);
  for (const auto &shape : shapes()) {
    const std::size_t n = 50000;
    std::vector<float> input = shape.make(n, rng);
    Keys keys(input);
    const unsigned long work = kw_sort_detail::sort_work(n, keys.one_based(), nullptr);
    const double factor = std::string(shape.name) == "organ pipe" ? 4.0 : 2.0;
    EXPECT_LT((double)work, factor * (double)n * std::log2((double)n)) << label(shape.name, n);
  }
}
