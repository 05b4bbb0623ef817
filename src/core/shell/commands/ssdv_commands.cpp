// SSDV packets into the table, the packet files, the listing and the picture box; the decoding
// run over the packet files.
#include "shell/commands/ssdv_commands.hpp"

#include <chrono>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "common/append_file.hpp"
#include "common/bounded_log.hpp"
#include "common/files.hpp"
#include "decode/ssdv_packet.hpp"
#include "shell/app_state.hpp"
#include "view/received_picture.hpp"

namespace quorbel {
namespace {

// How often the picture box follows the packets while a file is read: decoding the image for
// every packet of a long capture would cost more than the read itself.
constexpr std::chrono::milliseconds kPictureInterval{500};

constexpr const char* kDecoderName = "ssdv";
// The decoder's exit status when it found no valid packet: it writes no picture and the previous
// one stays. The satellite's packets held no picture; the run did not fail.
constexpr int kDecoderFoundNoPacket = 1;

std::string SsdvFileName(int imageId, const char* extension) {
    std::string number = std::to_string(imageId);
    if (number.size() < 3)
        number.insert(0, 3 - number.size(), '0');
    return "ssdv_" + number + extension;
}

// The image file, when the picture box can show it; the box keeps its picture otherwise.
void ShowImageFile(AppState& app, int imageId) {
    const std::string path = SsdvImageFilePath(app.settings.appDir, imageId);
    if (app.platform.CanLoadPicture(path))
        app.ui.picture = {path, {}, SsdvFileName(imageId, ".jpg")};
}

void ShowReceivedPicture(AppState& app, int imageId) {
    ReceivedPicture picture = DecodeReceivedPicture(app.ssdvPackets, imageId);
    if (picture.jpeg.empty()) {
        ShowImageFile(app, imageId);  // none of its packets decodes: the decoder's file, if any
        return;
    }
    app.ui.picture.caption = DescribeReceivedPicture(picture);
    app.ui.picture.jpeg = std::move(picture.jpeg);
    app.ui.picture.path.clear();
}

// What became of an image's packet file before its decoder is started.
struct PacketFile {
    bool written = false;                   // replaced by the table's packets
    bool decodable = false;                 // holds packets for the decoder
    std::optional<CommandProblem> problem;  // what failed
};

// True when the file holds exactly these bytes: a clean pass appends its packets once each in
// order, and rewriting (and flushing to disk) the same bytes again would only cost time.
bool HoldsExactly(const std::string& path, const std::string& bytes) {
    std::error_code error;
    if (std::filesystem::file_size(path, error) != bytes.size() || error)
        return false;
    const std::optional<std::string> held = ReadWholeFile(path);
    return held && *held == bytes;
}

// The table's packets of the image, in packet ID order, in place of what the file held; or the
// file as it stands when the table has none (packets of earlier runs), an empty one deleted.
PacketFile PreparePacketFile(const AppState& app, int imageId, const std::string& path) {
    const std::string packets = app.ssdvPackets.PacketsInOrder(imageId);
    if (!packets.empty()) {
        if (HoldsExactly(path, packets))
            return {true, true, {}};
        int failure = 0;
        if (!WriteFileAtomically(path, packets, failure)) {
            return {
                false, false,
                CommandProblem{CommandProblem::Kind::NotWritten, path, SystemErrorText(failure)}};
        }
        return {true, true, {}};
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return {};
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > 0)
        return {false, !error, {}};
    if (!std::filesystem::remove(path, error)) {
        return {false, false,
                CommandProblem{CommandProblem::Kind::NotDeleted, path, error.message()}};
    }
    return {};
}

}  // namespace

std::string SsdvPacketFilePath(const std::string& appDir, int imageId) {
    return JoinPath(appDir, SsdvFileName(imageId, ".bin"));
}

std::string SsdvImageFilePath(const std::string& appDir, int imageId) {
    return JoinPath(appDir, SsdvFileName(imageId, ".jpg"));
}

void HandleSsdvPacket(AppState& app, const SsdvPacket& packet, CommandOutcome* outcome) {
    const bool kept = app.ssdvPackets.Store(packet.imageId, packet.packetId, packet.bytes);
    const std::string packetPath = SsdvPacketFilePath(app.settings.appDir, packet.imageId);
    const std::string imagePath = SsdvImageFilePath(app.settings.appDir, packet.imageId);
    // Every packet, repetitions and packet IDs beyond the table included, in arrival order.
    int failure = 0;
    if (!AppendToFile(packetPath,
                      std::string_view(reinterpret_cast<const char*>(packet.bytes.data()),
                                       packet.bytes.size()),
                      failure) &&
        outcome != nullptr)
        outcome->AddNotWritten(packetPath, failure);
    AppendToBoundedLog(app.ui.ssdvListing, ListSsdvPacket(packet, packetPath, imagePath));

    if (!kept) {
        ShowImageFile(app, packet.imageId);
        return;
    }
    app.receivedPicture.pendingImage = packet.imageId;
    if (app.ui.reading) {
        const auto now = app.platform.Now();
        const auto& last = app.receivedPicture.lastShown;
        if (last && now - *last < kPictureInterval)
            return;
        app.receivedPicture.lastShown = now;
    }
    ShowPendingPicture(app);
}

void ShowPendingPicture(AppState& app) {
    const std::optional<int> imageId = app.receivedPicture.pendingImage;
    if (!imageId)
        return;
    app.receivedPicture.pendingImage.reset();
    ShowReceivedPicture(app, *imageId);
}

CommandOutcome DecodeSsdvImages(AppState& app) {
    CommandOutcome outcome;
    std::optional<std::string> decoder;  // sought at the first image with packets
    for (int imageId = 0; imageId < SsdvPacketTable::kImageCount; ++imageId) {
        const std::string packetPath = SsdvPacketFilePath(app.settings.appDir, imageId);
        const PacketFile file = PreparePacketFile(app, imageId, packetPath);
        if (file.written)
            outcome.AddWritten(packetPath);
        if (file.problem)
            outcome.AddProblem(*file.problem);
        if (!file.decodable)
            continue;
        if (!decoder)
            decoder = app.platform.FindProgram(kDecoderName);
        if (decoder->empty()) {
            outcome.AddProblem({CommandProblem::Kind::DecoderNotFound, kDecoderName, {}});
            continue;
        }
        const std::string picturePath = SsdvImageFilePath(app.settings.appDir, imageId);
        const std::vector<std::string> arguments = {"-d", "-l", std::to_string(kSsdvPacketSize),
                                                    packetPath, picturePath};
        const std::optional<int> started = app.platform.StartProgram(*decoder, arguments);
        if (started)
            app.runningDecoders[*started] = picturePath;
        else
            outcome.AddProblem({CommandProblem::Kind::DecoderNotStarted, *decoder, {}});
    }
    return ShowOutcome(app, std::move(outcome));
}

CommandOutcome FinishSsdvDecoder(AppState& app, const ProgramEnd& end) {
    const auto running = app.runningDecoders.find(end.id);
    if (running == app.runningDecoders.end())
        return {};
    CommandOutcome outcome;
    if (end.exitStatus != 0 && end.exitStatus != kDecoderFoundNoPacket) {
        outcome.AddProblem(
            {CommandProblem::Kind::DecoderFailed, running->second, {}, end.exitStatus});
    }
    app.runningDecoders.erase(running);
    return ShowOutcome(app, std::move(outcome));
}

}  // namespace quorbel
