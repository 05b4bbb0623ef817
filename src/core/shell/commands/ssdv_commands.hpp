// Pictures from the satellite: every SSDV packet kept, appended to its image's packet file and
// listed; the picture box shows the image as far as it has arrived; after each capture file the
// packet files are rewritten in packet order and handed to the SSDV decoder.
#pragma once

#include <string>

#include "shell/command_outcome.hpp"

namespace quorbel {

struct AppState;
struct ProgramEnd;
struct SsdvPacket;

// "<folder>/ssdv_NNN.bin" and "<folder>/ssdv_NNN.jpg", NNN the image ID in three digits.
std::string SsdvPacketFilePath(const std::string& appDir, int imageId);
std::string SsdvImageFilePath(const std::string& appDir, int imageId);

// One received packet: kept in the packet table (packet IDs below 256), appended whole or not at
// all to the image's packet file, listed in ssdvListing, and its image shown in the picture box. A
// step that fails is skipped; the others still run. A packet file that could not be appended to
// is named in `outcome` when one is given (the live client's; a file read rewrites the packet
// files whole afterwards and reports that).
void HandleSsdvPacket(AppState& app, const SsdvPacket& packet, CommandOutcome* outcome = nullptr);

// While a file is read the picture box follows at most twice a second; this shows the picture
// still waiting, if any (the end of a read).
void ShowPendingPicture(AppState& app);

// The decoding run: the packet file of every image with packets in the table is replaced by
// exactly those packets in packet ID order, an empty packet file is deleted, and the decoder
// "ssdv" is started, not waited for, on every non-empty packet file. A failing image is skipped
// and named in statusLine; the others are still written and decoded. The outcome names the packet
// files written and every problem; the decoders' ends come later through FinishSsdvDecoder.
CommandOutcome DecodeSsdvImages(AppState& app);

// A program has ended. When it is a decoder of a decoding run that failed, its picture is named
// in statusLine ("<folder>/ssdv_NNN.jpg could not be written") and in the outcome with the exit
// status; a decoder that succeeded or found no valid packet (status 1: no picture, the previous
// one stays), or a program no run started, changes nothing.
CommandOutcome FinishSsdvDecoder(AppState& app, const ProgramEnd& end);

}  // namespace quorbel
