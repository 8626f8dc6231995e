// The processor a PE file is built for, in the names the release's messages use.
#pragma once
#include <cstddef>
#include <string>

// "pei-i386", "pei-x86-64", "PE for machine 0xNNNN", or "" for a file that is no PE file.
std::string PeMachine(const unsigned char* data, size_t size);
