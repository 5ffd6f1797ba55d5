#pragma once
// Opening a web address with the desktop's opener (xdg-open). Addresses come from show
// archives, which anyone can make, so only web and mail schemes are handed on; the opener
// is started directly (no shell) and not waited for.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace shell {

// Starts a program: argv[0] is looked up in PATH unless it holds a '/'. Returns once the
// program has been executed (false when it could not be), without waiting for it to end;
// it is left to init, so no zombie remains.
bool SpawnDetached(const std::vector<std::string>& argv);

// Runs argv; tests install their own to see what would be started.
using Launcher = std::function<bool(const std::vector<std::string>& argv)>;
// Installs a launcher (an empty one restores SpawnDetached); returns the previous one.
Launcher SetUrlLauncher(Launcher launcher);

// True for http, https, ftp and mailto addresses (scheme in any case) without control
// characters; mailto addresses that ask for attachments are refused.
bool IsOpenableUrl(std::string_view url);

// Opens the address with "xdg-open <url>"; false when it is refused or cannot be started.
bool OpenUrl(const std::string& url);

}  // namespace shell
