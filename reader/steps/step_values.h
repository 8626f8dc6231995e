// What a step takes from its messages: their values as text and errors, and which of the package's files
// a path names.
#pragma once

#include "reader/tool_messages.h"

#include <cstdint>
#include <string>

// Beyond these, device nodes and store files are counted but not kept one by one.
enum { MaxNodesKept = 200 };

std::string ValueText(const MessageValue& Value);
// A %d error value, 0 when it is not a number.
uint32_t DecimalError(const MessageValue& Value);
// A %x error value, 0 when it is not a number.
uint32_t HexError(const MessageValue& Value);
// The index in `pNames` of the file name at the end of `Value` (a path or a bare name), or -1.
int NameIndex(const MessageValue& Value, const char* const* pNames, int Count);
// "folder\name" of a path too long, as the two values of its message.
std::string JoinedPath(const MessageValue& Folder, const MessageValue& Name);
