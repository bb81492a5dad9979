// Reading sections of a program file without reading the whole file: the file is mapped and
// only the section's pages are touched.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "photon/db/widget_db.h"

namespace photon {

// The bytes of section `name` of the ELF file at `path`. A file that is not ELF yields its
// whole contents when `wholeIfNotElf` is set (a packed database on its own), an error
// otherwise.
db::Result<std::vector<uint8_t>> readProgramSection(const std::string& path, std::string_view name,
                                                    bool wholeIfNotElf);

}  // namespace photon
