// Uses the installed headers and library the way a plug-in author does; exits 0 on success.
#include <kelvarinwizard/stat.h>

#include <cstdio>

int main() {
  float **a = matrix(1, 2, 1, 3);
  for (long i = 1; i <= 2; i++)
    for (long j = 1; j <= 3; j++) a[i][j] = static_cast<float>(i * j);
  const bool ok = a[2][3] == 6.0f && &a[2][1] == &a[1][3] + 1;
  free_matrix(a, 1, 2, 1, 3);
  std::printf("consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
