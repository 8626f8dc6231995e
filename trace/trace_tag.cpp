#include "trace/trace.h"

const char TraceTag[] = "..Install or Uninstall - Vostrel";
