#pragma once
// Embedded pictures and media go to a temporary file for the services that want a name.

#include <cstddef>
#include <string>

namespace scene {

// Writes size bytes to a new "Ssd" temporary file (mode 0600) and puts its full name into
// outName; the caller owns the file from then on. On any failure nothing is left behind,
// outName is emptied, message 34014 is shown and the result is false.
bool WriteTempFile(const void* data, size_t size, std::string& outName);

}  // namespace scene
