// Dropping the oldest lines of a log, with one line that counts them.
#include "common/bounded_log.hpp"

#include <charconv>

namespace quorbel {
namespace {

constexpr std::string_view kNoticeHead = "[earlier lines dropped: ";
constexpr std::string_view kNoticeTail = "]\r\n";

}  // namespace

std::string DroppedLinesNotice(unsigned long long dropped) {
    return std::string(kNoticeHead) + std::to_string(dropped) + std::string(kNoticeTail);
}

unsigned long long DroppedLinesOf(std::string_view log) {
    if (!log.starts_with(kNoticeHead))
        return 0;
    unsigned long long dropped = 0;
    const char* first = log.data() + kNoticeHead.size();
    const auto [end, error] = std::from_chars(first, log.data() + log.size(), dropped);
    if (error != std::errc() ||
        !std::string_view(end, log.data() + log.size() - end).starts_with(kNoticeTail))
        return 0;
    return dropped;
}

LogCut CutOldestLines(std::string_view log, std::size_t noticeLength) {
    if (log.size() <= kMaxLogBytes || noticeLength >= log.size())
        return {};
    // Cut at the first line end that leaves the log within kTrimmedLogBytes.
    const std::size_t excess = log.size() - kTrimmedLogBytes;
    std::size_t end = log.find('\n', noticeLength + excess - 1);
    end = end == std::string_view::npos ? log.size() : end + 1;
    LogCut cut{noticeLength, end - noticeLength, 0};
    for (std::size_t i = cut.from; i < end; ++i)
        cut.lines += log[i] == '\n';
    if (end == log.size() || log[end - 1] != '\n')
        ++cut.lines;  // a last line without its end goes too
    return cut;
}

void AppendToBoundedLog(std::string& log, std::string_view text) {
    log.append(text);
    const unsigned long long dropped = DroppedLinesOf(log);
    const std::size_t noticeLength = dropped > 0 ? DroppedLinesNotice(dropped).size() : 0;
    const LogCut cut = CutOldestLines(log, noticeLength);
    if (cut.length == 0)
        return;
    log.replace(0, cut.from + cut.length, DroppedLinesNotice(dropped + cut.lines));
}

}  // namespace quorbel
