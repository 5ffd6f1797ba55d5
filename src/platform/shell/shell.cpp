#include "platform/shell/shell.h"

#include <sys/stat.h>

namespace shell {

std::string DirectoryOf(std::string_view path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string DisplayName(std::string_view executablePath) {
  size_t slash = executablePath.find_last_of('/');
  std::string_view name =
      slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
  size_t dot = name.rfind('.');
  // A leading dot marks a hidden file, not an extension.
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::string(name);
}

int GetPlatformClass() { return 0; }

}  // namespace shell
