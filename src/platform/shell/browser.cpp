#include "platform/shell/browser.h"

#include <optional>

namespace shell {
namespace {

// Both lookups read into 260-byte buffers: a longer value (with its zero) does not fit.
constexpr size_t kBufferBytes = 260;

std::optional<std::string> ReadDefault(store::Store& store, const std::string& path) {
  auto key = store::RegistryKey::Open(store, store::Root::ClassesRoot, path);
  if (!key) return std::nullopt;
  auto text = key->ReadString("");
  if (!text || text->size() + 1 > kBufferBytes) return std::nullopt;
  return text;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

void TrimLeadingBlanks(std::string_view& text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
}

}  // namespace

std::string CleanBrowserCommand(std::string_view command) {
  TrimLeadingBlanks(command);
  while (!command.empty() && command.front() == '"') command.remove_prefix(1);
  size_t quote = command.find('"');
  if (quote != std::string_view::npos) command = command.substr(0, quote);
  TrimLeadingBlanks(command);
  std::string out(command);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  size_t exe = out.find(".exe");
  if (exe != std::string::npos) out.resize(exe + 4);
  return out;
}

std::string DefaultBrowserPath(store::Store& store) {
  auto verb = ReadDefault(store, "HTTP\\shell");
  // An empty verb would name "HTTP\shell\\command", which no registry opens.
  if (!verb || verb->empty()) return {};
  auto command = ReadDefault(store, "HTTP\\shell\\" + *verb + "\\command");
  return command ? CleanBrowserCommand(*command) : std::string();
}

std::string OpenCommandBrowserPath(store::Store& store) {
  auto command = ReadDefault(store, "HTTP\\shell\\open\\command");
  return command ? CleanBrowserCommand(*command) : std::string();
}

}  // namespace shell
