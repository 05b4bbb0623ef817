// Tools > "Crop SatNOGS CSV -> Image Data": the lines of a SatNOGS export that carry image-data
// frames, newest last, copied to a "_new" file beside it.
#pragma once

#include <string>
#include <string_view>

namespace quorbel {

// The first 17 bytes of an image-data frame in upper-case hexadecimal: the AX.25 addresses
// CQ and VEXON, control 03, protocol F0 and the first information byte 03.
inline constexpr std::string_view kImageDataMarker = "86A24040404060AC8AB09E9C406103F003";
inline constexpr const char* kCropSuffix = "_new";
inline constexpr const char* kCropFilter = "Apps (*.csv)|*.csv|All files (*.*)|*.*";

struct CropResult {
    std::string text;  // the copied lines, each ended by CR LF
    int copiedLines = 0;
    int lastCopiedLine = -1;  // number of the line copied last, lines counted from 0
};

// Every line of the export, from the last to the first, that holds the marker (exact, case kept).
CropResult CropImageDataLines(std::string_view exportText);

}  // namespace quorbel
