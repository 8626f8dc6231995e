#include "companion/companion_main.h"

int main() {
    return CompanionMain();
}
