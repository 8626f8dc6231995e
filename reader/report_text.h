// Pieces of the report's text that every rendering of a verdict shares: numbers, Windows errors, text
// from a record made safe for a terminal or a JSON document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

void AppendNumber(std::string* pOut, uint64_t Value);
void AppendHex(std::string* pOut, uint32_t Value); // "0x1f"

// "1 run", "2 runs".
void AppendCount(std::string* pOut, size_t Count, const char* pOne, const char* pMany);

// Text from the record, with anything unprintable escaped.
void AppendEscaped(std::string* pOut, const std::string& Text);

// "error 2 ERROR_FILE_NOT_FOUND: meaning", in the base the tool printed it in; without the meaning
// when `WithMeaning` is false (a list that gave it already).
void AppendError(std::string* pOut, uint32_t Code, bool Hex, bool WithMeaning = true);

// A JSON string: the text escaped as for the terminal (so the document is ASCII, whatever the record
// held), then quoted.
void AppendJsonString(std::string* pOut, const std::string& Text);
