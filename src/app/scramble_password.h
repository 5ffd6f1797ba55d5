#pragma once
// The stored form of a password. Stored passwords stay valid only while this is reproduced
// exactly: seed, generator, positions and filler.

#include <string>
#include <string_view>

namespace app {

// Longest password the dialogs take.
inline constexpr size_t kMaxPasswordLength = 51;

// The password's bytes times four at every step-th position counted down from 51, printable
// filler elsewhere, 'x' first; ends at the first zero byte. Reseeds the calling thread's
// runtime generator. Only the first 51 bytes of a longer text count.
std::string ScramblePassword(std::string_view password);

}  // namespace app
