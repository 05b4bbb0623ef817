// The logs that grow with every received frame (the message log, the SSDV packet listing) keep
// their newest lines only, so a station that listens for weeks holds a bounded amount of text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorbel {

// A log grows to kMaxLogBytes; past that its oldest lines are dropped until it holds at most
// kTrimmedLogBytes, so the window redraws it whole only once per quarter megabyte of new text.
inline constexpr std::size_t kMaxLogBytes = 1024 * 1024;
inline constexpr std::size_t kTrimmedLogBytes = kMaxLogBytes * 3 / 4;

// The first line of a log whose oldest lines were dropped: "[earlier lines dropped: N]".
std::string DroppedLinesNotice(unsigned long long dropped);
// The number of lines a log's notice says were dropped; 0 for a log without one.
unsigned long long DroppedLinesOf(std::string_view log);

// What to cut from a log of `size` bytes to keep its newest lines: the bytes after the notice
// (`noticeLength`, 0 for none) up to a line end, and how many lines they hold. Nothing while the
// log is within kMaxLogBytes.
struct LogCut {
    std::size_t from = 0;
    std::size_t length = 0;
    unsigned long long lines = 0;
};
LogCut CutOldestLines(std::string_view log, std::size_t noticeLength);

// Appends the text to the log and drops its oldest lines when it grew past kMaxLogBytes.
void AppendToBoundedLog(std::string& log, std::string_view text);

}  // namespace quorbel
