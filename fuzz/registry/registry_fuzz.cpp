// Settings files are read back from disk, where anything may have been put.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/store/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  store::ParseError error{};
  auto tree = store::Parse(text, &error);
  if (!tree) return 0;
  // Whatever was accepted must be written back to an equal tree.
  auto again = store::Parse(store::Serialize(*tree), &error);
  if (!again || !(*again == *tree)) std::abort();
  return 0;
}
