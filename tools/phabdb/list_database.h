// The listing that `phabdb list` prints: the module directory, then each module's widget tree.
#pragma once

#include <string>

#include "photon/db/widget_db.h"

namespace phabdb {

std::string listDatabase(const photon::db::Database& database);

}  // namespace phabdb
