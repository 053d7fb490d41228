#include "notify/smtp/smtp_reply.h"

#include <utility>

namespace raid {

std::string SmtpReply::Text() const {
    if (lines.empty()) {
        return {};
    }
    const std::string& last = lines.back();
    // A line without a code is not SMTP: all of it is what the server said.
    if (ReplyCodeOf(last) == 0) {
        return last;
    }
    return last.size() > 4 ? last.substr(4) : std::string();
}

ReplyLineSplitter::Result ReplyLineSplitter::Next(std::string& line) {
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos) {
        return pending_.size() > kMaxReplyLineBytes ? Result::TooLong : Result::NeedMore;
    }
    std::size_t length = end;
    if (length > 0 && pending_[length - 1] == '\r') {
        --length;
    }
    if (length > kMaxReplyLineBytes) {
        return Result::TooLong;
    }
    line.assign(pending_, 0, length);
    pending_.erase(0, end + 1);
    return Result::Line;
}

bool SmtpReplyAssembler::Add(std::string line) {
    reply_.lines.push_back(std::move(line));
    const std::string& first = reply_.lines.front();
    if (first.size() < 4 || first[3] != '-') {
        return true;
    }
    if (reply_.lines.size() == 1) {
        return false;
    }
    const std::string& last = reply_.lines.back();
    if (last.size() < 4) {
        return true;
    }
    return last.compare(0, 3, first, 0, 3) == 0 && last[3] == ' ';
}

SmtpReply SmtpReplyAssembler::Take() {
    SmtpReply reply = std::move(reply_);
    reply_ = {};
    reply.code = reply.lines.empty() ? 0 : ReplyCodeOf(reply.lines.back());
    return reply;
}

int ReplyCodeOf(std::string_view line) {
    if (line.size() < 3) {
        return 0;
    }
    int code = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return 0;
        }
        code = code * 10 + (line[i] - '0');
    }
    return code;
}

}  // namespace raid
