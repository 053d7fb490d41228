// A header field folded for the wire, and the whole header block of a mail
// whose subject and sender name are the input.
#include <string>
#include <string_view>

#include "notify/compose/header_folding.h"
#include "notify/compose/mail_header.h"
#include "tests/fuzz/input_reader.h"

namespace {

std::string WithoutBreaks(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "\r\n ") == 0) {
            out += ' ';
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Squeezed(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const char blank = c == '\t' ? ' ' : c;
        if (!(blank == ' ' && !out.empty() && out.back() == ' ')) {
            out += blank;
        }
    }
    return out;
}

}  // namespace

FUZZ_TARGET(header_folding) {
    using namespace raid;
    fuzz::InputReader in(input);
    const std::size_t width = 10 + in.Byte() % 100;
    const std::string name = in.Text('\n');
    const std::string value = in.Text('\n');
    const bool clean = value.find_first_of("\r\n") == std::string::npos &&
                       name.find_first_of("\r\n") == std::string::npos;
    const std::string folded = FoldHeader(name, value, width);
    if (clean) {
        // Every break is CR LF and a blank; unfolded, only blanks changed.
        FUZZ_CHECK(WithoutBreaks(folded).find_first_of("\r\n") == std::string::npos);
        std::string whole = name + ": " + value;
        // Blanks at the end are kept only on the last piece; compare without them.
        FUZZ_CHECK(Squeezed(WithoutBreaks(folded)) == Squeezed(whole) ||
                   Squeezed(WithoutBreaks(folded)) + " " == Squeezed(whole) ||
                   Squeezed(WithoutBreaks(folded)) == Squeezed(whole) + " ");
    }
    // The header block refuses nothing: whatever the subject holds, the wire
    // gets CR LF line ends only.
    MailMessage message;
    message.fromName = name;
    message.fromAddress = "raid@example.com";
    message.recipients = {"ops@example.com"};
    message.subject = value;
    message.messageId = "1.2@example.com";
    if (clean) {
        const std::string block = MailHeaderBlock(message, "Sun, 6 Dec 2026 18:00:00 +0800", true);
        for (std::size_t i = 0; i < block.size(); ++i) {
            FUZZ_CHECK(block[i] != '\r' || (i + 1 < block.size() && block[i + 1] == '\n'));
            FUZZ_CHECK(block[i] != '\n' || (i > 0 && block[i - 1] == '\r'));
        }
    }
}
