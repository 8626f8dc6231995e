// Text for the MSI log. MsiProcessMessage reads field 0 as a formatted template: "[name]" is replaced by
// a property's value, and "{...}" may vanish. A report line such as "Found! [USB\VID_...]" must reach the
// log as it is, so each bracket and brace is written as the one-character escape "[\x]".
#pragma once

#include <cstddef>
#include <string>

std::string MsiLiteral(const char* pText, size_t Length);
