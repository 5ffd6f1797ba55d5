#pragma once
// Small shell helpers on file names and the system.

#include <string>
#include <string_view>

namespace shell {

// The path up to and including its last '/' or '\'; empty when there is none.
std::string DirectoryOf(std::string_view path);

// True when a file (not a folder) exists at path.
bool FileExists(const std::string& path);

// The name the desktop shows for a file: its last path component without the extension.
std::string DisplayName(std::string_view executablePath);

// The player's Windows-version class (0 to 4); none of the old Windows families applies
// here, so always 0.
int GetPlatformClass();

}  // namespace shell
