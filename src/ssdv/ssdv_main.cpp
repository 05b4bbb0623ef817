// Entry point of the ssdv program: encodes a JPEG into SSDV packets or decodes packets to a JPEG.
// It holds the program's one exception boundary.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli.hpp"

int main(int argc, char** argv) {
    try {
        std::ios::sync_with_stdio(false);
        const std::vector<std::string> args(argv + 1, argv + argc);
        return quorbel::ssdv::RunSsdv(args, std::cin, std::cout, std::cerr);
    } catch (const std::bad_alloc&) {
        std::cerr << "ssdv: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "ssdv: " << error.what() << "\n";
    } catch (...) {
        std::cerr << "ssdv: unexpected error\n";
    }
    return quorbel::ssdv::kExitFailure;
}
