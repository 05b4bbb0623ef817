// Fuzzes the program's picture path: frames of identifier 500 whose packet bytes come from the
// input, most of them resealed with small, in-range header fields so that they pass the packet
// checks, through the packet table, the packet files, the listing and the picture decoded from
// the table after every packet; now and then a decoding run. Short frames exercise the packet
// tail taken from the frame buffer.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "sample_frames.hpp"
#include "shell/app_state.hpp"
#include "shell/commands/commands.hpp"
#include "ssdv/packet.hpp"
#include "support/fake_platform.hpp"

namespace {

constexpr std::size_t kPacketSize = 118;

// Small images keep one decode cheap; the MCU index and offset are brought into range.
void SealSmallPacket(std::span<std::uint8_t> packet) {
    using quorbel::ssdv::PacketType;
    packet[0] = 0x55;
    const PacketType type = packet[1] & 1 ? PacketType::NoFec : PacketType::Fec;
    packet[1] = static_cast<std::uint8_t>(type);
    packet[6] %= 4;                   // four images
    packet[9] = 1 + packet[9] % 4;    // 16 to 64 pixels wide
    packet[10] = 1 + packet[10] % 4;  // and high
    if (const auto header = quorbel::ssdv::ParsePacketHeader(packet);
        header && header->HasMcuStart()) {
        const int index = header->mcuIndex % header->McuCount();
        packet[13] = static_cast<std::uint8_t>(index >> 8);
        packet[14] = static_cast<std::uint8_t>(index & 0xFF);
        const std::size_t payload = *quorbel::ssdv::ComputePayloadLength(type, kPacketSize);
        packet[12] = static_cast<std::uint8_t>(packet[12] % payload);
    }
    quorbel::ssdv::SealPacket(type, packet);
}

struct Session {
    quorbel::testing::FakePlatform platform;
    quorbel::AppState app{platform};
    std::filesystem::path folder;
    int inputs = 0;

    Session() {
        folder = std::filesystem::temp_directory_path() / "quorbel-fuzz-ssdv";
        std::filesystem::create_directories(folder);
        app.settings.appDir = folder.string();
    }
    // The table and the files begin again every few inputs, so one input stays cheap.
    void Restart() {
        app.ssdvPackets = quorbel::SsdvPacketTable();
        app.ui.Text6.clear();
        platform.started.clear();
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
            std::filesystem::remove(entry.path(), ignored);
        inputs = 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Session session;
    if (++session.inputs > 16)
        session.Restart();
    if (size < 1)
        return 0;
    const std::uint8_t control = data[0];
    const std::span<const std::uint8_t> body(data + 1, size - 1);
    for (std::size_t at = 0; at < body.size(); at += kPacketSize) {
        std::vector<std::uint8_t> packet(kPacketSize, 0);
        const std::size_t taken = std::min(kPacketSize, body.size() - at);
        std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(at), taken, packet.begin());
        if ((control & 0x03) != 0)  // three in four inputs pass the packet checks
            SealSmallPacket(packet);
        std::vector<std::uint8_t> frame = quorbel::samples::MakeSsdvFrame(22, packet);
        if (control & 0x04)  // a frame cut short inside the packet
            frame.resize(8 + 1 + packet[2] % kPacketSize);
        quorbel::ReceiveFrame(session.app, frame);
    }
    if ((control & 0xF8) == 0x08)  // one input in 32 ends with a decoding run
        quorbel::DecodeSsdvImages(session.app);
    if (session.app.ui.Text6.size() > 100000)
        session.app.ui.Text6.clear();
    return 0;
}
