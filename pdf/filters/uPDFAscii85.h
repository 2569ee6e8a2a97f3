#pragma once
// ASCII85 decoding.
#include <string>

// Decoded bytes; input that does not end with "~>" (after filtering) gives empty output.
std::string DecodeASCII85(const std::string& text);
