#pragma once

#include <string>
#include <vector>

namespace raid {

// The body as it is written after DATA.
struct WireBody {
    std::vector<std::string> lines;  // without line ends, dot-stuffed
    bool quotedPrintable = false;    // the body needed MIME headers (not plain ASCII)
};

// Every CR, LF or CR LF inside a stored line becomes a line break of its own: a bare line end
// in the DATA stream is refused by strict servers and read as a line end by others, where a
// following "." could end the message early. A body that is printable ASCII (and tabs) in lines
// SMTP can carry (998 bytes) goes as it is; any other body goes as quoted-printable UTF-8.
WireBody PrepareBody(const std::vector<std::string>& bodyLines);

}  // namespace raid
