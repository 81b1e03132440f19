// Uses the installed headers and library the way a plug-in author does; exits 0 on success.
#include <kelvarinwizard/stat.h>

#include <cmath>
#include <cstdio>

int main() {
  float **a = matrix(1, 2, 1, 3);
  for (long i = 1; i <= 2; i++)
    for (long j = 1; j <= 3; j++) a[i][j] = static_cast<float>(i * j);
  const bool layout = a[2][3] == 6.0f && &a[2][1] == &a[1][3] + 1;
  free_matrix(a, 1, 2, 1, 3);

  float v[4] = {0.0f, 3.0f, 1.0f, 2.0f};  // v[1..3]
  sort(3, v);
  const bool sorted = v[1] == 1.0f && v[2] == 2.0f && v[3] == 3.0f;
  const bool special = std::fabs(gammln(1.0)) < 1e-9 && betai(0.5f, 0.5f, 0.5f) == 0.5f;

  const bool ok = layout && sorted && special;
  std::printf("consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
