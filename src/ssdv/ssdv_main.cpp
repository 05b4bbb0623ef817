// Entry point of the ssdv program: encodes a JPEG into SSDV packets or decodes packets to a JPEG.
#include <iostream>
#include <string>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return quorbel::ssdv::RunSsdv(args, std::cin, std::cout, std::cerr);
}
