// Small databases, pictures and module texts built in code for the widget database tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "photon/db/widget_db.h"

namespace photon::db::testing {

// A palette picture whose pixel (x, y) has index (x + y) % entries, zero filler.
Picture palettePicture(uint16_t width, uint16_t height, uint32_t entries,
                       std::optional<uint8_t> transparent = std::nullopt);

// A direct-colour picture with a simple gradient.
Picture directPicture(uint16_t width, uint16_t height);

// Bytes of a database assembled from raw module texts (name, text) in the given order, laid out
// as the writer lays them out: directory, each text at the next multiple of 4, "0\n" after it.
std::vector<uint8_t> assembleDatabase(const std::vector<std::pair<std::string, std::string>>& texts,
                                      uint32_t timeStamp = 972591765);

// A module of a few widgets that uses every type word.
Module sampleModule(std::string fileName = "sample.wgtw");

std::vector<uint8_t> bytesOf(const std::string& text);

// A fresh empty directory under the system's temporary directory, removed by the destructor.
class TemporaryDirectory {
  public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace photon::db::testing
