#pragma once
// Text from archives, command lines and files goes into messages; a terminal must only ever
// see it, never obey it.

#include <string>
#include <string_view>

namespace sys {

// text with every control character (below 0x20, 0x7F, and U+0080 to U+009F written in
// UTF-8) replaced by \xNN.
std::string EscapeControls(std::string_view text);

}  // namespace sys
