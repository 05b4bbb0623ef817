// The live KISS stream: frames and the records of the capture files.
#include "intake/live_stream.hpp"

namespace quorbel {

LiveFrame ReadLiveFrame(std::span<const std::uint8_t> piece) {
    return {UnescapeKiss(piece)};
}

std::string CaptureFileName(std::string_view utcDate, std::string_view satelliteName) {
    std::string name(utcDate);
    name += '_';
    name += satelliteName;
    name += ".kss";
    return name;
}

std::string BuildCaptureRecord(std::string_view utcStamp, std::span<const std::uint8_t> piece) {
    std::string record;
    record.reserve(utcStamp.size() + piece.size() + 8);
    record += static_cast<char>(kFend);
    record += static_cast<char>(kTimeStampCommand);
    record += utcStamp;
    record += " UTC";
    record += static_cast<char>(kFend);
    record += static_cast<char>(kFend);
    record.append(reinterpret_cast<const char*>(piece.data()), piece.size());
    record += static_cast<char>(kFend);
    return record;
}

}  // namespace quorbel
