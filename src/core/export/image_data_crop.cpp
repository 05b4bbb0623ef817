// The image-data crop of a SatNOGS export.
#include "export/image_data_crop.hpp"

#include "common/text.hpp"

namespace quorbel {

CropResult CropImageDataLines(std::string_view exportText) {
    std::vector<std::string_view> lines = SplitLines(exportText);
    CropResult result;
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (lines[i].find(kImageDataMarker) == std::string_view::npos)
            continue;
        result.text.append(lines[i]);
        result.text.append("\r\n");
        ++result.copiedLines;
        result.lastCopiedLine = static_cast<int>(i);
    }
    return result;
}

}  // namespace quorbel
