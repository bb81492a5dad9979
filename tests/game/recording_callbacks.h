#pragma once

#include <string>
#include <vector>

// Names of the callbacks fired since the list was last cleared, in order.
std::vector<std::string>& firedCallbacks();
