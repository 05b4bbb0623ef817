// The image-data crop of a SatNOGS export.
#include "export/image_data_crop.hpp"

#include <optional>

#include "export/export_file.hpp"
#include "intake/satnogs_text.hpp"
#include "shell/app_state.hpp"
#include "shell/text_file.hpp"

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

bool CropSatnogsImageData(AppState& app, const std::string& path) {
    std::optional<std::string> text = ReadWholeFile(path);
    if (!text) {
        app.ui.Text4 = path + " could not be read";
        return false;
    }
    CropResult result = CropImageDataLines(*text);
    if (result.copiedLines > 0) {
        app.ui.Text2 =
            std::to_string(result.copiedLines) + "/" + std::to_string(result.lastCopiedLine);
    }
    return WriteExportFile(app, path + kCropSuffix, result.text);
}

void MnuSatNogs_Img_Click(AppState& app) {
    FileSelection selection = app.platform.SelectFiles({"Select File", kCropFilter, false});
    if (selection.outcome != FileSelection::Outcome::Chosen || selection.paths.empty())
        return;
    CropSatnogsImageData(app, selection.paths.front());
}

}  // namespace quorbel
