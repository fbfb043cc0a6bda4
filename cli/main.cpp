// kvctl: command-line access to mode files, the filter designer and the processor.
#include "Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    kv::cli::Io io{std::cout, std::cerr};
    return kv::cli::Dispatch(args, io);
}
