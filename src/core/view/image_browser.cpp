// The image browser's list of pictures.
#include "view/image_browser.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/text.hpp"

namespace quorbel {
namespace {

bool IsImageFileName(const std::string& name) {
    if (name.size() < 4)
        return false;
    return ToUpperLatin1(name.substr(0, 4)) == "SSDV" &&
           ToUpperLatin1(name.substr(name.size() - 4)) == ".JPG";
}

}  // namespace

std::vector<std::string> ListImageFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    // Stepping with an error code: a folder that vanishes or cannot be read midway ends the list
    // instead of throwing.
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsImageFileName(name))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quorbel
