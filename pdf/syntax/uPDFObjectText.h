#pragma once
// The pieces of an indirect object's text that are not values: its head "n g obj" and where
// a stream's data lie. Both readers (the direct-access engine and the document model) read
// object text through these functions.
#include <cstddef>
#include <cstdint>
#include <string_view>

struct TPDFStreamBounds {
  size_t Start = 0;           // first byte of the data in the object's text
  size_t Length = 0;          // bytes of data
  bool LengthAgreed = false;  // the declared length led to "endstream"
};

// text is the object's text and dictEnd the position just after its dictionary's ">>" (where
// the parse of the dictionary ended). The object is a stream when the next token after the
// dictionary (white space and comments skipped) is the keyword "stream"; the data start after
// that keyword's end of line. declaredLength is the dictionary's /Length (-1 when it has none
// that reads as a number): it is taken when "endstream" follows the data it gives; otherwise
// the data run up to the first "endstream" after their start.
// False when the object is no stream.
bool FindStreamData(std::string_view text, size_t dictEnd, int64_t declaredLength, TPDFStreamBounds& bounds);
// True when the keyword "stream" follows the dictionary that ends at dictEnd (the first step
// of FindStreamData, for callers that must resolve /Length only for streams).
bool StreamKeywordFollows(std::string_view text, size_t dictEnd);

// Where the value starts in an object's text: after "n g obj" with the numbers given (bytes
// that are no digits may come before the numbers; "obj" may be glued to the value that
// follows it). npos when the text does not start as that object.
size_t ObjectValueStart(std::string_view text, int64_t objNum, int64_t genNum);
