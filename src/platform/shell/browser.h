#pragma once
// Where the web browser is, from its command keys below HKEY_CLASSES_ROOT\HTTP.

#include <string>
#include <string_view>

#include "platform/store/registry.h"

namespace shell {

// The executable of a browser command line: leading blanks and quotation marks removed,
// cut at a remaining quotation mark, blanks removed again, lower case, cut after the first
// ".exe".
std::string CleanBrowserCommand(std::string_view command);

// The command of the default verb ("HTTP\shell" default value) cleaned; empty when a key
// or value is missing or longer than its 260-byte buffer.
std::string DefaultBrowserPath(store::Store& store);

// The command of "HTTP\shell\open\command" cleaned; empty when missing.
std::string OpenCommandBrowserPath(store::Store& store);

}  // namespace shell
