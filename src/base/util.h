// The date-and-time text of the product's log and script headers.
#pragma once

#include <string>

// ctime() of the current time: "Mon Dec  7 14:15:39 2026\n", newline included.
std::string nowText();
