// Turns a fuzzer's bytes into the library's inputs.
#ifndef KELVARINWIZARD_FUZZ_INPUT_H
#define KELVARINWIZARD_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kwfuzz {

class Input {
 public:
  Input(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  std::size_t remaining() const { return size_; }
  std::uint8_t byte() {
    if (size_ == 0) return 0;
    size_--;
    return *data_++;
  }
  // Any bit pattern: not-a-numbers, infinities and subnormals included.
  float any_float() {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; i++) u = (u << 8) | byte();
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
  }
  // A finite value of moderate size, so that sums and products stay meaningful.
  float moderate_float() {
    const std::int16_t v = static_cast<std::int16_t>((byte() << 8) | byte());
    return static_cast<float>(v) / 256.0f;
  }

 private:
  const std::uint8_t *data_;
  std::size_t size_;
};

// A property that must hold: on failure, names the source line and aborts, which libFuzzer
// reports as a crash with the input that caused it.
inline void require(bool ok, const char *file, int line) {
  if (ok) return;
  std::fprintf(stderr, "property failed at %s:%d\n", file, line);
  std::abort();
}

}  // namespace kwfuzz

#define KWFUZZ_REQUIRE(condition) kwfuzz::require((condition), __FILE__, __LINE__)

#endif  // KELVARINWIZARD_FUZZ_INPUT_H
