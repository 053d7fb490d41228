// The mail client's text parts: what it reads from a server and what it writes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>
#include <algorithm>
#include <chrono>

#include <string>
#include <vector>

#include "notify/compose/encoded_words.h"
#include "notify/compose/header_folding.h"
#include "notify/compose/mail_body.h"
#include "notify/compose/mail_date.h"
#include "notify/compose/mail_header.h"
#include "notify/compose/quoted_printable.h"
#include "notify/smtp/base64.h"
#include "notify/smtp/dot_stuffing.h"
#include "notify/smtp/ehlo_features.h"
#include "notify/smtp/smtp_reply.h"
#include "tests/support/environment.h"

namespace raid {
namespace {

using Lines = std::vector<std::string>;

TEST(Base64, EncodesTheRfc4648Vectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xff\xfe\xfd", "//79"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(Base64Encode(in), out) << in;
    }
}

// Feeds `stream` in one piece and collects the lines until the splitter wants more.
Lines SplitAll(const std::string& stream, ReplyLineSplitter::Result& last) {
    ReplyLineSplitter splitter;
    splitter.Append(stream);
    Lines lines;
    std::string line;
    while ((last = splitter.Next(line)) == ReplyLineSplitter::Result::Line) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ReplyLineSplitter, CutsAtLineEndsAndBoundsALine) {
    using R = ReplyLineSplitter::Result;
    const std::string cap(kMaxReplyLineBytes, 'x');
    struct Case {
        const char* name;
        std::string stream;
        Lines lines;
        R last;
    };
    const Case cases[] = {
        {"CR LF", "220 a\r\n250 b\r\n", {"220 a", "250 b"}, R::NeedMore},
        {"bare LF", "220 a\n", {"220 a"}, R::NeedMore},
        {"partial line waits", "220 a\r\n250 b", {"220 a"}, R::NeedMore},
        {"empty line", "\r\n", {""}, R::NeedMore},
        {"line at the cap", cap + "\r\n", {cap}, R::NeedMore},
        {"line over the cap", cap + "x\r\n", {}, R::TooLong},
        {"endless line", cap + "x", {}, R::TooLong},
    };
    for (const Case& c : cases) {
        R last = R::Line;
        EXPECT_EQ(SplitAll(c.stream, last), c.lines) << c.name;
        EXPECT_EQ(last, c.last) << c.name;
    }
}

TEST(SmtpReplyAssembler, EndsMultiLineRepliesAsTheServerMeantThem) {
    struct Case {
        const char* name;
        Lines feed;
        std::size_t used;  // lines taken before the reply was complete
        int code;
        std::string text;
    };
    const Case cases[] = {
        {"one line", {"250 OK", "x"}, 1, 250, "OK"},
        {"multi-line", {"250-a", "250-b", "250 c", "x"}, 3, 250, "c"},
        {"other code inside", {"250-a", "220 b", "250 c"}, 3, 250, "c"},
        // Text without a code is shown whole: it is all the server said.
        {"short line ends it", {"250-a", "25", "250 c"}, 2, 0, "25"},
        {"code only", {"354"}, 1, 354, ""},
        {"no digits", {"abc def"}, 1, 0, "abc def"},
    };
    for (const Case& c : cases) {
        SmtpReplyAssembler assembler;
        std::size_t used = 0;
        for (const std::string& line : c.feed) {
            ++used;
            if (assembler.Add(line)) {
                break;
            }
        }
        const SmtpReply reply = assembler.Take();
        EXPECT_EQ(used, c.used) << c.name;
        EXPECT_EQ(reply.code, c.code) << c.name;
        EXPECT_EQ(reply.Text(), c.text) << c.name;
    }
}

TEST(SmtpReplyAssembler, ReportsAReplyThatNeverEnds) {
    SmtpReplyAssembler assembler;
    bool complete = false;
    while (!assembler.Full()) {
        complete = assembler.Add("250-more");
        ASSERT_FALSE(complete);
    }
    EXPECT_EQ(assembler.Take().lines.size(), kMaxReplyLines);
}

TEST(EhloFeatures, ReadsLoginAndStartTls) {
    struct Case {
        const char* name;
        Lines reply;
        bool login;
        bool startTls;
    };
    const Case cases[] = {
        {"AUTH with blank", {"250-mx", "250-AUTH LOGIN PLAIN", "250 HELP"}, true, false},
        {"AUTH=", {"250-mx", "250-AUTH=PLAIN LOGIN", "250 8BITMIME"}, true, false},
        {"lower case, second AUTH line",
         {"250-mx", "250-auth=plain", "250 AUTH cram-md5 login"},
         true,
         false},
        {"blanks around", {"250-mx", "250 AUTH   LOGIN  "}, true, false},
        {"no LOGIN", {"250-mx", "250 AUTH PLAIN LOGINX XLOGIN"}, false, false},
        {"LOGIN outside AUTH", {"250-mx", "250 LOGIN"}, false, false},
        {"first line is the greeting", {"250 AUTH LOGIN"}, false, false},
        {"AUTHX is not AUTH", {"250-mx", "250 AUTHX LOGIN"}, false, false},
        {"STARTTLS", {"250-mx", "250-STARTTLS", "250 AUTH PLAIN"}, false, true},
        {"STARTTLS last, trailing blank", {"250-mx", "250 starttls "}, false, true},
        {"not STARTTLSX", {"250-mx", "250 STARTTLSX"}, false, false},
        {"short lines", {"250-mx", "250", "250 ", "250-A"}, false, false},
    };
    for (const Case& c : cases) {
        const EhloFeatures features = ParseEhloReply(c.reply);
        EXPECT_EQ(features.authLogin, c.login) << c.name;
        EXPECT_EQ(features.startTls, c.startTls) << c.name;
    }
}

// The largest reply a server may send (1024 lines of 64 KiB of AUTH words) is read before the
// time-out could stop it: it must take no time. Every line holds the same distinct words, so a
// search of the words seen so far for each word would take hours.
TEST(EhloFeatures, TheLargestReplyIsReadQuickly) {
    std::string words;
    for (unsigned word = 0; words.size() + 16 < kMaxReplyLineBytes - 9; ++word) {
        words += " M" + std::to_string(word);
    }
    Lines reply{"250-mx"};
    for (std::size_t i = 1; i + 1 < kMaxReplyLines; ++i) {
        reply.push_back("250-AUTH" + words);
    }
    reply.push_back("250 AUTH" + words + " LOGIN");
    const auto start = std::chrono::steady_clock::now();
    const EhloFeatures features = ParseEhloReply(reply);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(features.authLogin);
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(MailDate, FormatsTheDateHeader) {
    struct Case {
        MailDateParts parts;
        const char* text;
    };
    const Case cases[] = {
        {{0, 6, 12, 2026, 23, 47, 58, 480}, "Sun, 6 Dec 2026 23:47:58 +0800"},
        {{6, 31, 1, 2027, 0, 0, 0, 0}, "Sat, 31 Jan 2027 00:00:00 +0000"},
        {{3, 1, 7, 2026, 9, 5, 7, -210}, "Wed, 1 Jul 2026 09:05:07 -0330"},
        {{1, 2, 3, 2026, 1, 2, 3, -30}, "Mon, 2 Mar 2026 01:02:03 -0030"},
        {{5, 9, 10, 2026, 12, 0, 0, 345}, "Fri, 9 Oct 2026 12:00:00 +0545"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMailDate(c.parts), c.text);
    }
}

TEST(MailDate, LocalTimeCarriesTheZoneOffset) {
    const char* saved = std::getenv("TZ");
    const std::string before = saved != nullptr ? saved : "";
    struct Case {
        const char* tz;  // POSIX zones, no time zone database needed
        const char* date;
    };
    const Case cases[] = {
        {"UTC0", "Sun, 6 Dec 2026 10:00:00 +0000"},
        {"CST-8", "Sun, 6 Dec 2026 18:00:00 +0800"},
        {"NST3:30", "Sun, 6 Dec 2026 06:30:00 -0330"},
        {"XST11", "Sat, 5 Dec 2026 23:00:00 -1100"},
    };
    for (const Case& c : cases) {
        testing::SetEnvironment("TZ", c.tz);
        ::tzset();
        // 2026-12-06 10:00:00 UTC.
        EXPECT_EQ(FormatMailDate(LocalMailDateParts(1796551200)), c.date) << c.tz;
    }
    if (saved != nullptr) {
        testing::SetEnvironment("TZ", before.c_str());
    } else {
        testing::UnsetEnvironment("TZ");
    }
    ::tzset();
}

TEST(HeaderFolding, BreaksLongFieldsAtBlanks) {
    const std::string word60(60, 'w');
    const std::string word90(90, 'w');
    struct Case {
        const char* name;
        std::string value;
        std::string folded;
    };
    const Case cases[] = {
        {"short", "hello world", "Subject: hello world"},
        {"exactly 78", std::string(69, 'a'), "Subject: " + std::string(69, 'a')},
        {"one break", word60 + " tail end of it and more words",
         "Subject: " + word60 + " tail end\r\n of it and more words"},
        {"trailing blanks of a piece go", word60 + "          next part of it",
         "Subject: " + word60 + "\r\n next part of it"},
        {"long word breaks after it", word90 + " rest", "Subject: " + word90 + "\r\n rest"},
        {"long word alone stays", word90, "Subject: " + word90},
        {"two breaks", word60 + " " + word60 + " " + word60,
         "Subject: " + word60 + "\r\n " + word60 + "\r\n " + word60},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoldHeader("Subject", c.value), c.folded) << c.name;
        for (std::size_t start = 0;;) {
            const std::size_t end = c.folded.find("\r\n", start);
            const std::string line = c.folded.substr(start, end - start);
            if (line.find(' ') != std::string::npos && line.find("www") == std::string::npos) {
                EXPECT_LE(line.size(), kHeaderFoldWidth) << c.name;
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
    }
}

// An outbox file may hold a subject of 4 MiB; every send attempt folds it.
TEST(HeaderFolding, TheLargestSubjectIsFoldedQuicklyAndWhole) {
    std::string value;
    for (unsigned i = 0; value.size() < (4u << 20); ++i) {
        value += "word" + std::to_string(i % 1000) + (i % 7 == 0 ? "  " : " ");
    }
    value += "end";
    const auto start = std::chrono::steady_clock::now();
    const std::string folded = FoldHeader("Subject", value);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(5));
    // Unfolded, it is the field again, with only the blanks at the breaks changed.
    std::string unfolded;
    std::size_t longest = 0;
    for (std::size_t pos = 0;;) {
        const std::size_t end = folded.find("\r\n", pos);
        const std::string_view line = std::string_view(folded).substr(pos, end - pos);
        longest = std::max(longest, line.size());
        unfolded.append(line);
        if (end == std::string::npos) {
            break;
        }
        pos = end + 2;
    }
    EXPECT_LE(longest, kHeaderFoldWidth);
    const auto squeezed = [](std::string text) {
        text.erase(std::unique(text.begin(), text.end(),
                               [](char a, char b) { return a == ' ' && b == ' '; }),
                   text.end());
        return text;
    };
    EXPECT_EQ(squeezed(unfolded), squeezed("Subject: " + value));
}

TEST(EncodedWords, EncodesOnlyWhatIsNotPlainAscii) {
    struct Case {
        const char* name;
        std::string text;
        std::string encoded;
    };
    const Case cases[] = {
        {"ASCII stays", "Drive failed", "Drive failed"},
        {"one word", "Festplatte ausgefällt", "Festplatte =?UTF-8?B?YXVzZ2Vmw6RsbHQ=?="},
        {"neighbours share one word with their blank", "Grüße Köln",
         "=?UTF-8?B?R3LDvMOfZSBLw7Zsbg==?="},
        {"plain word between", "Grüße aus Köln",
         "=?UTF-8?B?R3LDvMOfZQ==?= aus =?UTF-8?B?S8O2bG4=?="},
        {"look-alike is encoded", "=?x?=", "=?UTF-8?B?PT94Pz0=?="},
        {"control character", "a\tb", "=?UTF-8?B?YQli?="},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeHeaderText(c.text), c.encoded) << c.name;
    }
}

TEST(EncodedWords, LongTextStaysWithinWordLimitsAndWholeCharacters) {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += "ü";  // two bytes each: 80 bytes, cut at 44
    }
    const std::string encoded = EncodeHeaderText(text);
    EXPECT_EQ(encoded, "=?UTF-8?B?" + Base64Encode(text.substr(0, 44)) + "?= =?UTF-8?B?" +
                           Base64Encode(text.substr(44)) + "?=");
    EXPECT_LE(encoded.find(' '), 75u);
    EXPECT_LE(encoded.size() - encoded.find(' ') - 1, 75u);
}

TEST(FromHeader, QuotesOrEncodesTheDisplayName) {
    struct Case {
        std::string name;
        std::string value;
    };
    const Case cases[] = {
        {"", "raid@example.com"},
        {"RAID Monitor", "\"RAID Monitor\" <raid@example.com>"},
        {"The \"Box\"", "\"The \\\"Box\\\"\" <raid@example.com>"},
        {"back\\slash", "\"back\\\\slash\" <raid@example.com>"},
        {"Jörg", "=?UTF-8?B?SsO2cmc=?= <raid@example.com>"},
        {"Jörg \"Box\"", "=?UTF-8?B?SsO2cmcgIkJveCI=?= <raid@example.com>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FromHeaderValue(c.name, "raid@example.com"), c.value) << c.name;
    }
}

TEST(MailHeader, WritesTheFieldsInOrderAndLeavesEmptyOnesOut) {
    MailMessage message;
    message.fromAddress = "raid@example.com";
    message.recipients = {"a@example.com", "b@example.com"};
    const std::string date = "Sun, 6 Dec 2026 18:00:00 +0800";
    EXPECT_EQ(MailHeaderBlock(message, date, false),
              "From: raid@example.com\r\n"
              "To: a@example.com, b@example.com\r\n"
              "Date: Sun, 6 Dec 2026 18:00:00 +0800\r\n"
              "X-Priority: 3\r\n"
              "X-Library: Indy 8.0.25\r\n");
    message.subject = "Zustand: fällt aus";
    EXPECT_EQ(MailHeaderBlock(message, date, true),
              "From: raid@example.com\r\n"
              "Subject: Zustand: =?UTF-8?B?ZsOkbGx0?= aus\r\n"
              "To: a@example.com, b@example.com\r\n"
              "Content-Type: text/plain; charset=UTF-8\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "MIME-Version: 1.0\r\n"
              "Date: Sun, 6 Dec 2026 18:00:00 +0800\r\n"
              "X-Priority: 3\r\n"
              "X-Library: Indy 8.0.25\r\n");
}

TEST(DotStuffing, DoublesALeadingDot) {
    const std::pair<const char*, const char*> cases[] = {
        {".", ".."}, {"..", "..."}, {".x", "..x"}, {"x.", "x."}, {"", ""}, {" .", " ."},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(DotStuffed(in), out) << in;
    }
}

TEST(QuotedPrintable, EncodesAndCutsLines) {
    struct Case {
        const char* name;
        std::string line;
        Lines out;
    };
    const Case cases[] = {
        {"plain", "Temperatur ok", {"Temperatur ok"}},
        {"umlaut and equals", "Lüfter = aus", {"L=C3=BCfter =3D aus"}},
        {"blank at the end", "ende ", {"ende=20"}},
        {"tab at the end", "ende\t", {"ende=09"}},
        {"76 fit", std::string(76, 'a'), {std::string(76, 'a')}},
        {"77 break", std::string(77, 'a'), {std::string(75, 'a') + "=", "aa"}},
        {"escape not split", std::string(74, 'a') + "ü", {std::string(74, 'a') + "=", "=C3=BC"}},
        {"empty", "", {""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(QuotedPrintableLines(c.line), c.out) << c.name;
    }
}

TEST(MailBody, SplitsStoredLineBreaksAndEncodesOnlyNonAsciiBodies) {
    struct Case {
        const char* name;
        Lines stored;
        Lines wire;
        bool quotedPrintable;
    };
    const Case cases[] = {
        {"ASCII as stored",
         {"Device1 over heat.", "  HDD1 is present.(SATA3G)"},
         {"Device1 over heat.", "  HDD1 is present.(SATA3G)"},
         false},
        {"leading line feed", {"a", "\nCPU: x"}, {"a", "", "CPU: x"}, false},
        {"CR LF and CR inside", {"a\r\nb\rc"}, {"a", "b", "c"}, false},
        {"a dot after a stored line feed is stuffed", {"x\n.\nend"}, {"x", "..", "end"}, false},
        {"non-ASCII", {"Lüfter", ".dot"}, {"L=C3=BCfter", "..dot"}, true},
        {"NUL is not sent raw", {std::string("a\0b", 3)}, {"a=00b"}, true},
        {"empty body", {}, {}, false},
    };
    for (const Case& c : cases) {
        const WireBody body = PrepareBody(c.stored);
        EXPECT_EQ(body.lines, c.wire) << c.name;
        EXPECT_EQ(body.quotedPrintable, c.quotedPrintable) << c.name;
    }
}

}  // namespace
}  // namespace raid
