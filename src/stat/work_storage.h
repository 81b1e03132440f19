// Work arrays that a routine takes from the allocators and gives back on every way out. Not
// installed, not exported.
//
// On the normal path a holder makes exactly the calls the plain code would: the same allocator
// with the same bounds when it is constructed, the matching release routine when it goes out
// of scope (holders in one scope are released in reverse order of allocation). When a fatal
// error throws under kelvarinwizard::throw_on_fatal_error, or a callback throws, the release
// happens as the exception passes. Outside a guard a fatal error ends the process without
// unwinding, so nothing is released on that path, as before.
#ifndef KELVARINWIZARD_WORK_STORAGE_H
#define KELVARINWIZARD_WORK_STORAGE_H

#include "../nrutil.h"

namespace kw_work {

// The allocator and release routine of each element type that routines use for work vectors.
template <class T>
struct VectorRoutines;

template <>
struct VectorRoutines<float> {
  static float *allocate(long lo, long hi) { return ::vector(lo, hi); }
  static void release(float *v, long lo, long hi) { free_vector(v, lo, hi); }
};

template <>
struct VectorRoutines<int> {
  static int *allocate(long lo, long hi) { return ivector(lo, hi); }
  static void release(int *v, long lo, long hi) { free_ivector(v, lo, hi); }
};

template <>
struct VectorRoutines<unsigned long> {
  static unsigned long *allocate(long lo, long hi) { return lvector(lo, hi); }
  static void release(unsigned long *v, long lo, long hi) { free_lvector(v, lo, hi); }
};

// An offset-indexed work vector lo..hi; converts to the handle, so v[i] reads as before.
template <class T>
class Vector {
 public:
  Vector(long lo, long hi) : v_(VectorRoutines<T>::allocate(lo, hi)), lo_(lo), hi_(hi) {}
  ~Vector() { release(); }
  Vector(const Vector &) = delete;
  Vector &operator=(const Vector &) = delete;

  operator T *() const { return v_; }

  // Gives the vector back now, for a routine whose releases follow a fixed order of their
  // own; the destructor then has nothing left to do.
  void release() {
    if (v_ == nullptr) return;
    VectorRoutines<T>::release(v_, lo_, hi_);
    v_ = nullptr;
  }

 private:
  T *v_;
  long lo_, hi_;
};

// An offset-indexed float work matrix rl..rh x cl..ch.
class Matrix {
 public:
  Matrix(long rl, long rh, long cl, long ch) : m_(::matrix(rl, rh, cl, ch)), rl_(rl), rh_(rh), cl_(cl), ch_(ch) {}
  ~Matrix() { release(); }
  Matrix(const Matrix &) = delete;
  Matrix &operator=(const Matrix &) = delete;

  operator float **() const { return m_; }

  void release() {
    if (m_ == nullptr) return;
    free_matrix(m_, rl_, rh_, cl_, ch_);
    m_ = nullptr;
  }

 private:
  float **m_;
  long rl_, rh_, cl_, ch_;
};

}  // namespace kw_work

#endif  // KELVARINWIZARD_WORK_STORAGE_H
