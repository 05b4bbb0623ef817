// The image browser's list: the "ssdv*.jpg" pictures of a folder.
#pragma once

#include <string>
#include <vector>

namespace quorbel {

// The names of the folder's files whose name starts with "ssdv" and ends with ".jpg" (either
// case), sorted. A folder that cannot be listed, or a listing that fails midway, gives the names
// found so far.
std::vector<std::string> ListImageFiles(const std::string& folder);

}  // namespace quorbel
