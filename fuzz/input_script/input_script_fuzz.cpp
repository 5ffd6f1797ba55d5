// Input scripts are files anyone may hand the player.
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/ui/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto script = ui::ParseInputScript(text, &error);
  if (!script) {
    if (error.empty()) std::abort();
    return 0;
  }
  // Every accepted script plays to its end once its waits are over, whatever it clicks.
  double waited = 0;
  for (const auto& e : script->events) {
    if (e.kind == ui::InputEvent::Kind::Wait) {
      if (!(e.seconds >= 0 && e.seconds <= ui::kMaxInputWait)) std::abort();
      waited += e.seconds;
    }
  }
  const auto start = std::chrono::steady_clock::time_point{};
  ui::InputPlayer player(std::move(*script), start);
  const auto end = start + std::chrono::seconds(static_cast<int64_t>(waited) + 1);
  ui::Message m;
  std::string warning;
  auto locate = [](int id) -> std::optional<std::pair<int32_t, int32_t>> {
    if (id % 2) return std::make_pair(id, -id);
    return std::nullopt;
  };
  size_t taken = 0;
  while (!player.Done()) {
    if (!player.TakeNext(end, locate, m, &warning) && warning.empty()) std::abort();
    warning.clear();
    if (++taken > 8 * size + 8) std::abort();  // more messages than the text can say
  }
  return 0;
}
