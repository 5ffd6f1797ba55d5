#include "app/scramble_password.h"

#include <array>

#include "platform/sys/crt_rand.h"

namespace app {

std::string ScramblePassword(std::string_view password) {
  // The dialogs refuse longer texts; a longer one must not divide by zero below.
  if (password.size() > kMaxPasswordLength) password = password.substr(0, kMaxPasswordLength);
  const size_t n = password.size();
  if (n == 0) return std::string();
  sys::CrtSrand(7349);
  std::array<char, 52> out{};
  out[0] = 'x';
  const size_t step = kMaxPasswordLength / n;
  size_t next = 0;
  for (size_t i = kMaxPasswordLength; i >= 1; --i) {
    if (i % step == 0 && next < n) {
      out[i] = static_cast<char>(static_cast<unsigned char>(password[next++]) * 4u);
    } else {
      out[i] = static_cast<char>(sys::CrtRand() % 94 + 32);
    }
  }
  std::string result;
  for (char c : out) {
    if (c == '\0') break;
    result += c;
  }
  return result;
}

}  // namespace app
