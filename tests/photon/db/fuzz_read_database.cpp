// Fuzz target for the widget database reader. Any input must give a database or an error, never
// a crash, a hang or a sanitizer report; what reads must write, and read back equal.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "photon/db/widget_db.h"
#include "photon/db/widget_db_write.h"

namespace {

using namespace photon::db;

void requireDatabaseRoundTrip(std::span<const uint8_t> bytes) {
    auto database = readDatabase(bytes);
    if (!database.ok())
        return;
    auto written = writeDatabase(*database);
    if (!written.ok())
        std::abort();
    auto again = readDatabase(*written);
    if (!again.ok() || !(*again == *database))
        std::abort();
}

void requireModuleRoundTrip(std::span<const uint8_t> bytes) {
    auto module = readModuleText(bytes, "fuzz.wgtw");
    if (!module.ok())
        return;
    auto written = writeModuleText(*module);
    if (!written.ok())
        std::abort();
    auto again = readModuleText(*written, "fuzz.wgtw");
    if (!again.ok() || again->widgets != module->widgets)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> bytes(data, size);
    if (size >= 4 && std::memcmp(data,
                                 "\x7F"
                                 "ELF",
                                 4) == 0) {
        auto section = readElfSection(bytes, kDatabaseSection);
        if (section.ok())
            requireDatabaseRoundTrip(*section);
        return 0;
    }
    requireDatabaseRoundTrip(bytes);
    requireModuleRoundTrip(bytes);
    return 0;
}
