// A server's byte stream cut into lines and replies, and the EHLO features read
// from each reply, as the mail exchange does.
#include "device/safe_text.h"
#include "notify/smtp/ehlo_features.h"
#include "notify/smtp/smtp_reply.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(smtp_reply) {
    using namespace raid;
    ReplyLineSplitter splitter;
    SmtpReplyAssembler assembler;
    // Arrives in chunks cut where the input has a 0x00: lines span them.
    std::string_view stream = fuzz::AsText(input);
    while (!stream.empty()) {
        const std::size_t cut = std::min(stream.find('\0'), stream.size());
        splitter.Append(stream.substr(0, cut));
        stream.remove_prefix(std::min(cut + 1, stream.size()));
        std::string line;
        for (;;) {
            const auto next = splitter.Next(line);
            if (next != ReplyLineSplitter::Result::Line) {
                break;
            }
            FUZZ_CHECK(line.size() <= kMaxReplyLineBytes);
            FUZZ_CHECK(line.find('\n') == std::string::npos);
            const bool complete = assembler.Add(std::move(line));
            if (complete || assembler.Full()) {
                const SmtpReply reply = assembler.Take();
                FUZZ_CHECK(reply.lines.size() <= kMaxReplyLines);
                FUZZ_CHECK(reply.code >= 0 && reply.code <= 999);
                const EhloFeatures features = ParseEhloReply(reply.lines);
                (void)features;
                const std::string shown = SafeText(reply.Text());
                // What is shown is text already: filtering it again changes nothing.
                FUZZ_CHECK(SafeText(shown) == shown);
                FUZZ_CHECK(shown.find_first_of("\r\n\x1B") == std::string::npos);
            }
        }
    }
}
