// The message catalogue: 232 fixed German texts (ISO-8859-1), looked up by number.
// Some texts are printf formats; callers pass exactly the values their placeholders take.
#pragma once

inline constexpr int kCatalogueSize = 232;

// The text of entry `number`; "" for an unused entry or a number outside 0..231.
const char* catalogueText(int number);
