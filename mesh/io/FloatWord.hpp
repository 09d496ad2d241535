#pragma once
// One word of a text file read as a number the way C's "%f" conversion reads
// it (strtof): an optional sign, a decimal or hexadecimal number, inf or nan,
// rounded once from the text to float. The attribute file and ASCII PLY
// properties read their numbers this way, so a value reads the same from both.

#include <string_view>

namespace vornel {

enum class FloatWordStatus { Number, NotANumber, NotFinite };

/// Converts the whole of word (not empty) into value. NotFinite for inf, nan
/// and numbers beyond the float range (value is then not finite); NotANumber
/// when the word is not wholly a number.
FloatWordStatus readFloatWord(std::string_view word, float& value);

} // namespace vornel
