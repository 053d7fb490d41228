#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace raid {

// Bounds on what one server reply may occupy: a line longer than this, or a reply with more
// lines, is a broken or hostile server, not mail.
constexpr std::size_t kMaxReplyLineBytes = 64 * 1024;
constexpr std::size_t kMaxReplyLines = 1024;

struct SmtpReply {
    int code = 0;                    // first three characters of the last line; 0 if not digits
    std::vector<std::string> lines;  // without their line ends
    // The last line after its code and separator, e.g. "No such user"; the whole line when
    // it has no code.
    std::string Text() const;
};

// Cuts the server's byte stream into lines. Holds only the bytes of the line being read
// plus whatever arrived after it, so memory stays bounded whatever the server sends.
class ReplyLineSplitter {
  public:
    enum class Result { Line, NeedMore, TooLong };
    void Append(std::string_view bytes) { pending_.append(bytes); }
    // A line ends at LF; one CR before it is dropped.
    Result Next(std::string& line);

  private:
    std::string pending_;
};

// Gathers the lines of one reply: a line whose fourth character is "-" announces more, up to a
// line that starts with the same three characters and a blank, or one shorter than four.
class SmtpReplyAssembler {
  public:
    // Returns true when `line` completed the reply.
    bool Add(std::string line);
    bool Full() const { return reply_.lines.size() >= kMaxReplyLines; }
    SmtpReply Take();

  private:
    SmtpReply reply_;
};

int ReplyCodeOf(std::string_view line);

}  // namespace raid
