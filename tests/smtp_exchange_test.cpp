// The mail exchange over a scripted connection, for what a real server will not do on demand.
#include "notify/smtp/smtp_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "notify/smtp/smtp_reply.h"
#include "tests/support/scripted_connection.h"

namespace raid {
namespace {

MailMessage Message() {
    MailMessage message;
    message.fromAddress = "raid@example.com";
    message.recipients = {"ops@example.com"};
    message.subject = "Drive failed";
    message.bodyLines = {"text"};
    return message;
}

SmtpServer Server() {
    SmtpServer server;
    server.host = "mail.example.com";
    server.security = MailSecurity::Auto;
    return server;
}

SmtpOutcome Exchange(ScriptedConnection& connection, const SmtpServer& server,
                     const MailMessage& message, const std::string& localHost = "raid.test") {
    return RunSmtpExchange(connection, server, message, "Sun, 6 Dec 2026 18:00:00 +0800", localHost,
                           SmtpEvents{});
}

TEST(SmtpExchange, RefusesWhatWouldBreakTheCommandsBeforeConnecting) {
    struct Case {
        const char* name;
        void (*change)(MailMessage&);
        const char* localHost;
        const char* error;
    };
    const Case cases[] = {
        {"line feed in the subject", [](MailMessage& m) { m.subject = "a\nRCPT to:<x@y>"; },
         "raid.test", "message: the subject contains a line break"},
        {"carriage return in the name", [](MailMessage& m) { m.fromName = "a\rb"; }, "raid.test",
         "message: the sender name contains a line break"},
        {"NUL in a recipient",
         [](MailMessage& m) { m.recipients = {std::string("ops@example.com\0x", 17)}; },
         "raid.test",
         "message: a recipient address is empty or contains a blank, a line break or <>"},
        {"angle bracket in the sender", [](MailMessage& m) { m.fromAddress = "a>@b"; }, "raid.test",
         "message: the sender address is empty or contains a blank, a line break or <>"},
        {"blank in a recipient", [](MailMessage& m) { m.recipients = {"a b@c"}; }, "raid.test",
         "message: a recipient address is empty or contains a blank, a line break or <>"},
        {"no sender", [](MailMessage& m) { m.fromAddress.clear(); }, "raid.test",
         "message: the sender address is empty or contains a blank, a line break or <>"},
        {"no recipient", [](MailMessage& m) { m.recipients.clear(); }, "raid.test",
         "rcpt to: no recipient"},
        {"line break in the host name", [](MailMessage&) {}, "raid\r\nRCPT to:<x@y>",
         "message: the local host name is empty or contains a blank or a line break"},
    };
    for (const Case& c : cases) {
        ScriptedConnection connection;
        MailMessage message = Message();
        c.change(message);
        const SmtpOutcome outcome = Exchange(connection, Server(), message, c.localHost);
        EXPECT_FALSE(outcome.accepted) << c.name;
        EXPECT_EQ(outcome.ErrorText(), c.error) << c.name;
        EXPECT_TRUE(connection.calls.empty()) << c.name;
    }
}

TEST(SmtpExchange, PlainBytesAfterTheStartTlsReplyAreNotTakenForAnswersUnderTls) {
    ScriptedConnection connection;
    connection.incoming = {"220 mx\r\n", "250-mx\r\n250 STARTTLS\r\n",
                           // A man in the middle appends a forged EHLO answer without AUTH.
                           "220 go ahead\r\n250 forged\r\n", "250-mx\r\n250 AUTH LOGIN\r\n",
                           "250 reset\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
                           "235 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
                           "250 queued\r\n"};
    SmtpServer server = Server();
    server.login = true;
    server.user = "alice";
    server.password = "s3cret";
    const SmtpOutcome outcome = Exchange(connection, server, Message());
    EXPECT_TRUE(outcome.accepted) << outcome.ErrorText();
    EXPECT_EQ(connection.sent.substr(0, connection.sent.find("Mail from")),
              "ehlo raid.test\r\nSTARTTLS\r\n<TLS>ehlo raid.test\r\nRset\r\n"
              "auth LOGIN\r\nYWxpY2U=\r\nczNjcmV0\r\n");
}

TEST(SmtpExchange, ServerTextIsMadePrintableAndShortBeforeItIsShown) {
    ScriptedConnection connection;
    connection.incoming = {"220 mx\r\n", "250 mx\r\n", "250 reset\r\n",
                           "550 bad \x1b[31mred\x7f \xC2\x9B\xFF \xC3\xBC\r\n"};
    SmtpOutcome outcome = Exchange(connection, Server(), Message());
    // A C1 control and a byte that is no UTF-8 are replaced; a letter stays.
    EXPECT_EQ(outcome.ErrorText(), "mail from: 550 bad ?[31mred? ?? \xC3\xBC");

    ScriptedConnection chatty;
    chatty.incoming = {"220 mx\r\n", "250 mx\r\n", "250 reset\r\n",
                       "550 " + std::string(2000, 'x') + "\r\n"};
    outcome = Exchange(chatty, Server(), Message());
    EXPECT_EQ(outcome.replyText, std::string(512, 'x'));

    // The cut never leaves half a character behind.
    ScriptedConnection cut;
    cut.incoming = {"220 mx\r\n", "250 mx\r\n", "250 reset\r\n",
                    "550 " + std::string(511, 'x') + "\xC3\xBC\r\n"};
    outcome = Exchange(cut, Server(), Message());
    EXPECT_EQ(outcome.replyText, std::string(511, 'x') + "?");
}

TEST(SmtpExchange, RepliesArriveInAnyPiecesButNotWithoutEnd) {
    ScriptedConnection dribble;
    for (const char c : std::string("220 mx\r\n250-mx\r\n250 HELP\r\n250 a\r\n250 b\r\n"
                                    "250 c\r\n354 d\r\n250 e\r\n")) {
        dribble.incoming.emplace_back(1, c);
    }
    EXPECT_TRUE(Exchange(dribble, Server(), Message()).accepted);

    ScriptedConnection endless;
    std::string lines;
    for (std::size_t i = 0; i < kMaxReplyLines + 5; ++i) {
        lines += "250-more\r\n";
    }
    endless.incoming = {"220 mx\r\n", lines};
    EXPECT_EQ(Exchange(endless, Server(), Message()).ErrorText(),
              "ehlo: the server's reply has too many lines");
    // A broken stream gets no Quit.
    EXPECT_EQ(endless.sent, "ehlo raid.test\r\n");
    EXPECT_EQ(endless.calls, (std::vector<std::string>{"connect", "close"}));
}

TEST(SmtpExchange, AutoSecurityOnPort465StartsWithTls) {
    const std::pair<int, const char*> cases[] = {{465, "<TLS>ehlo raid.test\r\n"},
                                                 {587, "ehlo raid.test\r\n"}};
    for (const auto& [port, start] : cases) {
        ScriptedConnection connection;
        connection.incoming = {"220 mx\r\n", "250 mx\r\n", "250 reset\r\n", "250 ok\r\n",
                               "250 ok\r\n", "354 go\r\n", "250 queued\r\n"};
        SmtpServer server = Server();
        server.port = port;
        EXPECT_TRUE(Exchange(connection, server, Message()).accepted) << port;
        EXPECT_EQ(connection.sent.rfind(start, 0), 0u) << port;
    }
}

TEST(SmtpExchange, SilenceEndsAtTheTimeOutThatWasSet) {
    const std::pair<int, const char*> cases[] = {{0, "greeting: no reply within 30 s"},
                                                 {7, "greeting: no reply within 7 s"}};
    for (const auto& [seconds, error] : cases) {
        ScriptedConnection connection;
        connection.whenEmpty = SmtpIo::Kind::Timeout;
        SmtpServer server = Server();
        server.timeoutSeconds = seconds;
        EXPECT_EQ(Exchange(connection, server, Message()).ErrorText(), error);
    }
}

}  // namespace
}  // namespace raid
