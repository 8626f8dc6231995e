#include "companion/companion_main.h"

int main(int argc, char** argv) {
    return CompanionRun(argc, argv);
}
