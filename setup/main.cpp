#include "setup/setup_main.h"

int main(int argc, char** argv, char** envp) {
    return SetupMain(argc, argv, envp);
}
