#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace photon::testing {

// Writes pixels 0x00RRGGBB, row after row, as an RGB PNG file. False when it cannot.
bool writePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height);

}  // namespace photon::testing
