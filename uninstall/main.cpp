#include "uninstall/uninstall.h"

int main() {
    return UninstallMain();
}
