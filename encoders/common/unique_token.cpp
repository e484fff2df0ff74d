#include "encoders/common/unique_token.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>

namespace encoders {
namespace {

std::uint64_t mix(std::uint64_t x) {  // splitmix64's finaliser: a bijection
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

}  // namespace

std::uint64_t uniqueToken() {
  static const std::uint64_t seed = [] {
    std::uint64_t s = static_cast<std::uint64_t>(::getpid()) << 32;
    s ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
      std::random_device device;
      s ^= (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {
      // No entropy source: the clock and the process id still separate runs.
    }
    return s;
  }();
  static std::atomic<std::uint64_t> counter{0};
  // Distinct counters give distinct tokens, since mix is a bijection.
  return mix(seed + counter.fetch_add(1, std::memory_order_relaxed));
}

}  // namespace encoders
