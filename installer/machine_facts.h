// Reads this machine's facts for a record's header.
#pragma once

#include "installer/record_header.h"

void ReadHeaderFacts(HeaderFacts* pFacts);
