// Sorting and selection: quicksort with and without a companion array, heapsort, and
// selection of the k-th smallest float or unsigned 16-bit value.
#include "../stat.h"

#include <limits>

#include "../stat_internal.h"
#include "work_storage.h"

namespace {

// Subarrays of at most this many elements (right - left <= 6) are finished by insertion.
constexpr unsigned long kInsertionLimit = 7;

// Work-stack entries. The stack holds (left, right) pairs of the larger parts still to do while
// the smaller part is continued. With d pairs pending, the current subarray holds at most
// n / 2^d elements (each continued part is at most half of its parent minus the pivot, each
// pushed part at most its whole parent), and a push needs a subarray of at least 8 elements.
// So a push that makes d + 1 pairs needs 8 * 2^d <= n, i.e. d + 1 <= log2(n) - 2 < 62 for every
// 64-bit n: 61 pairs at most, 122 entries. 128 entries of 64 bits can therefore never overflow,
// whatever the array; the overflow check below stays as a guard only.
constexpr unsigned long kStackEntries = 128;
constexpr unsigned long kMaxPendingPairs = 64;

// Median-of-three partitioning can be driven to split off one or two elements at a time by a
// crafted input, which makes the sort quadratic. A partition whose smaller part holds less than
// an eighth of its subarray counts as unbalanced; a subarray reached through floor(log2 n) of
// them is finished by heapsort instead, so no input costs more than O(n log n). Inputs whose
// partitions stay balanced never reach the limit and keep every move they had.
unsigned log2_floor(unsigned long n) {
  unsigned d = 0;
  while (n >>= 1) d++;
  return d;
}
bool unbalanced(unsigned long smaller, unsigned long size) { return smaller < size / 8; }

// Heapsort of elements l..r (the same sift as hpsort, on positions offset by l - 1), moving
// companions along. Adds the number of sift steps to *work.
template <class Elements>
void heapsort_range(const Elements &e, unsigned long l, unsigned long r, unsigned long *work) {
  const auto *arr = e.arr;
  const unsigned long base = l - 1;
  const unsigned long n = r - l + 1;
  unsigned long h = n / 2 + 1;
  unsigned long end = n;
  for (;;) {
    typename Elements::Held v;
    if (h > 1) {
      v = e.hold(base + --h);
    } else {
      v = e.hold(base + end);
      e.move(base + 1, base + end);
      if (--end == 1) {
        e.put(v, base + 1);
        return;
      }
    }
    unsigned long p = h;
    unsigned long q = h + h;
    while (q <= end) {
      (*work)++;
      if (q < end && arr[base + q] < arr[base + q + 1]) q++;
      if (v.key < arr[base + q]) {
        e.move(base + q, base + p);
        p = q;
        q += q;
      } else {
        q = end + 1;
      }
    }
    e.put(v, base + p);
  }
}

// Keys alone, or keys with a companion array that follows every move of the keys.
template <class T>
struct Plain {
  T *arr;
  void swap(unsigned long i, unsigned long j) const {
    const float t = arr[i];
    arr[i] = arr[j];
    arr[j] = t;
  }
  struct Held {
    T key;
  };
  Held hold(unsigned long i) const { return Held{arr[i]}; }
  void move(unsigned long from, unsigned long to) const { arr[to] = arr[from]; }
  void put(const Held &h, unsigned long i) const { arr[i] = h.key; }
};
using KeysOnly = Plain<float>;

struct KeysWithCompanion {
  float *arr;
  float *brr;
  void swap(unsigned long i, unsigned long j) const {
    const float t = arr[i];
    arr[i] = arr[j];
    arr[j] = t;
    const float u = brr[i];
    brr[i] = brr[j];
    brr[j] = u;
  }
  struct Held {
    float key;
    float companion;
  };
  Held hold(unsigned long i) const { return Held{arr[i], brr[i]}; }
  void move(unsigned long from, unsigned long to) const {
    arr[to] = arr[from];
    brr[to] = brr[from];
  }
  void put(const Held &h, unsigned long i) const {
    arr[i] = h.key;
    brr[i] = h.companion;
  }
};

// The non-recursive median-of-three quicksort over elements 1..n (n >= 1). Returns the peak
// number of stack entries in use; adds the elements partitioned and the heapsort's sift steps
// to *work. Ends the process through nrerror if nstack entries do not suffice (never with
// kStackEntries, see above).
template <class Elements>
unsigned long quicksort(unsigned long n, const Elements &e, unsigned long nstack,
                        const char *overflow_message, unsigned long *work) {
  const float *arr = e.arr;
  const kw_work::Vector<unsigned long> istack(1, (long)nstack);
  // Unbalanced partitions still allowed on the way to each pending pair (at most 61 pairs).
  unsigned char budgets[kMaxPendingPairs];
  unsigned char budget = (unsigned char)log2_floor(n);
  unsigned long jstack = 0;
  unsigned long peak = 0;
  unsigned long l = 1;
  unsigned long ir = n;
  for (;;) {
    if (ir - l < kInsertionLimit || budget == 0) {
      if (ir - l < kInsertionLimit) {
        // Straight insertion: the scan stops at the first key <= a, so equal keys keep their
        // order, and a not-a-number key is moved past (no comparison with it is true).
        for (unsigned long j = l + 1; j <= ir; j++) {
          const typename Elements::Held a = e.hold(j);
          unsigned long i = j;
          while (i > l && !(arr[i - 1] <= a.key)) {
            e.move(i - 1, i);
            i--;
          }
          e.put(a, i);
        }
      } else {
        heapsort_range(e, l, ir, work);
      }
      if (jstack == 0) break;
      ir = istack[jstack];
      l = istack[jstack - 1];
      budget = budgets[jstack / 2 - 1];
      jstack -= 2;
    } else {
      *work += ir - l + 1;
      // (l + ir) / 2 without the sum, which could wrap for 64-bit bounds; the same value.
      const unsigned long mid = l + (ir - l) / 2;
      e.swap(mid, l + 1);
      if (arr[l] > arr[ir]) e.swap(l, ir);
      if (arr[l + 1] > arr[ir]) e.swap(l + 1, ir);
      if (arr[l] > arr[l + 1]) e.swap(l, l + 1);
      // arr[l] <= pivot <= arr[ir] now bound both scans.
      unsigned long i = l + 1;
      unsigned long j = ir;
      const typename Elements::Held a = e.hold(l + 1);
      for (;;) {
        do i++;
        while (arr[i] < a.key);
        do j--;
        while (arr[j] > a.key);
        if (j < i) break;
        e.swap(i, j);
      }
      e.move(j, l + 1);
      e.put(a, j);
      const unsigned long left_size = j - l, right_size = ir - i + 1;
      if (unbalanced(left_size < right_size ? left_size : right_size, ir - l + 1)) budget--;
      jstack += 2;
      if (jstack > nstack) nrerror(overflow_message);
      if (jstack > peak) peak = jstack;
      budgets[jstack / 2 - 1] = budget;
      // Push the larger part (the right one on a tie), continue with the smaller.
      if (ir - i + 1 >= j - l) {
        istack[jstack] = ir;
        istack[jstack - 1] = i;
        ir = j - 1;
      } else {
        istack[jstack] = j - 1;
        istack[jstack - 1] = l;
        l = i;
      }
    }
  }
  return peak;
}

}  // namespace

// Not exported (declared in the internal header).
unsigned long kw_sort_detail::quicksort_peak(unsigned long n, float arr[], float brr[],
                                             unsigned long nstack, const char *overflow_message) {
  if (n == 0) return 0;
  unsigned long work = 0;
  if (brr == nullptr) return quicksort(n, KeysOnly{arr}, nstack, overflow_message, &work);
  return quicksort(n, KeysWithCompanion{arr, brr}, nstack, overflow_message, &work);
}

unsigned long kw_sort_detail::sort_work(unsigned long n, float arr[], float brr[]) {
  unsigned long work = 0;
  if (n == 0) return 0;
  if (brr == nullptr) quicksort(n, KeysOnly{arr}, kStackEntries, "NSTACK too small in sort.", &work);
  else quicksort(n, KeysWithCompanion{arr, brr}, kStackEntries, "NSTACK too small in sort2.", &work);
  return work;
}


void sort(unsigned long n, float arr[]) {
  if (n == 0) return;  // nothing to sort, and 1..0 must not be scanned as a huge range
  unsigned long work = 0;
  quicksort(n, KeysOnly{arr}, kStackEntries, "NSTACK too small in sort.", &work);
}

void sort2(unsigned long n, float arr[], float brr[]) {
  if (n == 0) return;
  unsigned long work = 0;
  quicksort(n, KeysWithCompanion{arr, brr}, kStackEntries, "NSTACK too small in sort2.", &work);
}

void hpsort(unsigned long n, float ra[]) {
  if (n < 2) return;
  unsigned long h = n / 2 + 1;  // next position to sift down while the heap is built
  unsigned long r = n;          // last position still in the heap
  for (;;) {
    float v;
    if (h > 1) {
      v = ra[--h];
    } else {
      v = ra[r];
      ra[r] = ra[1];
      if (--r == 1) {
        ra[1] = v;
        return;
      }
    }
    unsigned long p = h;
    unsigned long q = h + h;
    while (q <= r) {
      if (q < r && ra[q] < ra[q + 1]) q++;  // the larger child; the left one on a tie
      if (v < ra[q]) {
        ra[p] = ra[q];
        p = q;
        q += q;
      } else {
        q = r + 1;
      }
    }
    ra[p] = v;
  }
}

namespace {

// Quickselect over keys 1..n with 1 <= k <= n: leaves keys[k] in its sorted place, everything
// before it <= and everything after it >= it. A range reached through floor(log2 n) unbalanced
// partitions is heapsorted instead (see quicksort). Adds the elements partitioned and the
// heapsort's sift steps to *work.
template <class T>
T select_in_place(unsigned long k, unsigned long n, T arr[], unsigned long *work) {
  auto exchange = [arr](unsigned long x, unsigned long y) {
    const T t = arr[x];
    arr[x] = arr[y];
    arr[y] = t;
  };
  unsigned budget = log2_floor(n);
  unsigned long l = 1;
  unsigned long ir = n;
  for (;;) {
    if (ir <= l + 1) {
      if (ir == l + 1 && arr[ir] < arr[l]) exchange(l, ir);
      return arr[k];
    }
    if (budget == 0) {
      heapsort_range(Plain<T>{arr}, l, ir, work);
      return arr[k];
    }
    *work += ir - l + 1;
    const unsigned long mid = l + (ir - l) / 2;  // (l + ir) / 2 without a wrapping sum
    exchange(mid, l + 1);
    if (arr[l] > arr[ir]) exchange(l, ir);
    if (arr[l + 1] > arr[ir]) exchange(l + 1, ir);
    if (arr[l] > arr[l + 1]) exchange(l, l + 1);
    unsigned long i = l + 1;
    unsigned long j = ir;
    const T a = arr[l + 1];
    for (;;) {
      do i++;
      while (arr[i] < a);
      do j--;
      while (arr[j] > a);
      if (j < i) break;
      exchange(i, j);
    }
    arr[l + 1] = arr[j];
    arr[j] = a;
    const unsigned long left_size = j - l, right_size = ir - i + 1;
    if (unbalanced(left_size < right_size ? left_size : right_size, ir - l + 1)) budget--;
    if (j >= k) ir = j - 1;
    if (j <= k) l = i;
  }
}

}  // namespace

// Not exported (declared in the internal header).
unsigned long kw_sort_detail::select_work(unsigned long k, unsigned long n, float arr[], float *result) {
  unsigned long work = 0;
  *result = select_in_place(k, n, arr, &work);
  return work;
}

float select(unsigned long k, unsigned long n, float arr[]) {
  // No k-th element exists (this covers n = 0): answer NaN and touch nothing.
  if (k < 1 || k > n) return std::numeric_limits<float>::quiet_NaN();
  unsigned long work = 0;
  return select_in_place(k, n, arr, &work);
}

int select_ushort(unsigned long k, unsigned long n, unsigned short arr[]) {
  // No k-th element exists: -1 lies outside every valid result 0..65535; nothing is touched.
  if (k < 1 || k > n) return -1;
  unsigned long work = 0;
  return static_cast<int>(select_in_place(k, n, arr, &work));
}
