#include "uninstall/uninstall.h"

const char UninstallWord[] = "/uninstall";
