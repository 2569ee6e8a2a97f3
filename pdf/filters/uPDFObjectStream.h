#pragma once
// The index of an object stream read straight from the object's text, for the recovery of a
// file whose cross-reference data no longer says which objects its object streams hold.
#include <cstdint>
#include <string_view>
#include <vector>

// The object numbers the header of the object stream lists, in order (a member's index is its
// place). objectText is the object's text from its head "n g obj"; empty when the text is no
// object stream of that number or its data cannot be decoded.
std::vector<int32_t> ObjectStreamMembers(std::string_view objectText, int32_t objNum, int32_t genNum);
