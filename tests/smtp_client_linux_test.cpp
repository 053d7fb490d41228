// The mail client against a real SMTP server (aiosmtpd in tests/smtp/smtp_peer.py).
#include "notify/smtp/smtp_client.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/smtp_peer.h"

namespace raid {
namespace {

using testing::SmtpPeer;

// The virtual clock's calendar start, 2026-12-06 10:00:00 UTC, in a zone 8 hours east.
constexpr char kDate[] = "Date: Sun, 6 Dec 2026 18:00:00 +0800\r\n";

class SmtpClientTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        python_ = testing::AiosmtpdPython();
        certs_ = std::make_unique<testing::ScratchDir>("raid-smtp-certs");
        certsMade_ =
            testing::MakeCertificate(certs_->path(), "localhost", "DNS:localhost,IP:127.0.0.1") &&
            testing::MakeCertificate(certs_->path(), "mail.other.test", "DNS:mail.other.test");
        const char* tz = std::getenv("TZ");
        savedTz_ = tz != nullptr ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "CST-8", 1);
        ::tzset();
    }
    static void TearDownTestSuite() {
        if (savedTz_) {
            ::setenv("TZ", savedTz_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
        certs_.reset();
    }

    void SetUp() override {
        if (!python_ || !certsMade_) {
            const char* what = !python_ ? "python3-aiosmtpd is not installed"
                                        : "the openssl command could not make a certificate";
            if (testing::InCi()) {
                FAIL() << what << "; CI must run the mail tests (scripts/install-deps.sh test)";
            }
            GTEST_SKIP() << what << "; scripts/install-deps.sh test installs what is needed";
        }
    }

    std::filesystem::path Cert(const std::string& name) const {
        return certs_->path() / (name + ".pem");
    }

    std::unique_ptr<SmtpPeer> StartPeer(const std::string& mode,
                                        const std::string& certName = "localhost") {
        auto peer = std::make_unique<SmtpPeer>(*python_, mode, Cert(certName),
                                               certs_->path() / (certName + ".key"));
        EXPECT_NE(peer->port(), 0) << "the SMTP peer did not start in mode " << mode;
        return peer;
    }

    static SmtpServer ServerAt(int port) {
        SmtpServer server;
        server.host = "127.0.0.1";
        server.port = port;
        server.security = MailSecurity::None;
        server.timeoutSeconds = 10;
        server.localHost = "raid.test";
        return server;
    }

    static MailMessage Notification() {
        MailMessage message;
        message.fromName = "RAID Monitor";
        message.fromAddress = "raid@example.com";
        message.recipients = {"ops@example.com", "admin@example.com"};
        message.subject = "[RAID GUI v0.50.11-5b Message] Drive failed";
        message.bodyLines = {"Device1 P1 Hard Disk Drive fail.", ".", ".hidden line",
                             "\nCPU: test"};
        return message;
    }

    SmtpOutcome Send(const SmtpServer& server, const MailMessage& message) {
        SmtpEvents events;
        events.connected = [this] { raised_.push_back("connected"); };
        events.disconnected = [this] { raised_.push_back("disconnected"); };
        events.workBegin = [this] { raised_.push_back("workBegin"); };
        events.workEnd = [this] { raised_.push_back("workEnd"); };
        return SendMail(server, message, clock_, events);
    }

    VirtualClock clock_;
    std::vector<std::string> raised_;

    static inline std::optional<std::string> python_;
    static inline std::unique_ptr<testing::ScratchDir> certs_;
    static inline bool certsMade_ = false;
    static inline std::optional<std::string> savedTz_;
};

const std::string kEnvelope =
    "Rset\r\n"
    "Mail from:<raid@example.com>\r\n"
    "RCPT to:<ops@example.com>\r\n"
    "RCPT to:<admin@example.com>\r\n"
    "Data\r\n";
const std::string kContent = std::string(
                                 "From: \"RAID Monitor\" <raid@example.com>\r\n"
                                 "Subject: [RAID GUI v0.50.11-5b Message] Drive failed\r\n"
                                 "To: ops@example.com, admin@example.com\r\n") +
                             kDate +
                             "X-Priority: 3\r\n"
                             "X-Library: Indy 8.0.25\r\n"
                             "\r\n"
                             "Device1 P1 Hard Disk Drive fail.\r\n"
                             "..\r\n"
                             "..hidden line\r\n"
                             "\r\n"
                             "CPU: test\r\n";

TEST_F(SmtpClientTest, PlainExchangeReachesTheServerByteForByte) {
    const auto peer = StartPeer("plain");
    const SmtpOutcome outcome = Send(ServerAt(peer->port()), Notification());

    EXPECT_TRUE(outcome.accepted) << outcome.ErrorText();
    EXPECT_EQ(outcome.ErrorText(), "");
    EXPECT_EQ(peer->Received(), "ehlo raid.test\r\n" + kEnvelope + kContent + ".\r\nQuit\r\n");
    EXPECT_EQ(raised_,
              (std::vector<std::string>{"connected", "workBegin", "workEnd", "disconnected"}));
    // The server undid the dot-stuffing: the stored body has the lines as written.
    const std::string stored = peer->Stored();
    EXPECT_NE(stored.find("\r\n.\r\n.hidden line\r\n"), std::string::npos) << stored;
}

TEST_F(SmtpClientTest, NonAsciiTextReachesTheReaderIntact) {
    const auto peer = StartPeer("plain");
    MailMessage message = Notification();
    message.fromName = "Überwachung \"RAID\"";
    message.recipients = {"ops@example.com"};
    message.subject =
        "[RAID GUI v0.50.11-5b Message] Gerät 1: Festplatte ausgefallen, bitte prüfen Sie die "
        "Laufwerke und tauschen Sie das defekte Laufwerk schnell";
    message.bodyLines = {"Lüfter ausgefallen.", ".", "\nTemperatur = 61 °C"};
    const SmtpOutcome outcome = Send(ServerAt(peer->port()), message);
    ASSERT_TRUE(outcome.accepted) << outcome.ErrorText();

    const std::string received = peer->Received();
    const std::size_t data = received.find("Data\r\n");
    ASSERT_NE(data, std::string::npos) << received;
    const std::string content = received.substr(data + 6);
    EXPECT_EQ(content.substr(0, content.find("Date: ")),
              "From: =?UTF-8?B?w5xiZXJ3YWNodW5nICJSQUlEIg==?= <raid@example.com>\r\n"
              "Subject: [RAID GUI v0.50.11-5b Message] =?UTF-8?B?R2Vyw6R0?= 1: Festplatte\r\n"
              " ausgefallen, bitte =?UTF-8?B?cHLDvGZlbg==?= Sie die Laufwerke und tauschen\r\n"
              " Sie das defekte Laufwerk schnell\r\n"
              "To: ops@example.com\r\n"
              "Content-Type: text/plain; charset=UTF-8\r\n"
              "Content-Transfer-Encoding: quoted-printable\r\n"
              "MIME-Version: 1.0\r\n");
    EXPECT_NE(content.find("\r\n\r\nL=C3=BCfter ausgefallen.\r\n..\r\n\r\n"
                           "Temperatur =3D 61 =C2=B0C\r\n.\r\nQuit\r\n"),
              std::string::npos)
        << content;
    EXPECT_EQ(peer->Decoded(), "Überwachung \"RAID\" <raid@example.com>\n" + message.subject +
                                   "\nLüfter ausgefallen.\r\n.\r\n\r\nTemperatur = 61 °C\r\n");
}

TEST_F(SmtpClientTest, LoginIsSentOnlyWhenAskedForAndOffered) {
    struct Case {
        const char* name;
        const char* mode;
        bool login;
        const char* password;
        bool accepted;
        const char* error;
        const char* auth;  // the AUTH exchange expected between Rset and Mail from
    };
    const Case cases[] = {
        {"offered and asked", "auth", true, "s3cret", true, "",
         "auth LOGIN\r\nYWxpY2U=\r\nczNjcmV0\r\n"},
        {"wrong password", "auth", true, "guess", false,
         "auth: 535 5.7.8 Authentication credentials invalid",
         "auth LOGIN\r\nYWxpY2U=\r\nZ3Vlc3M=\r\n"},
        {"offered, not asked", "auth", false, "s3cret", true, "", ""},
        {"asked, LOGIN not offered", "no-login", true, "s3cret", true, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto peer = StartPeer(c.mode);
        SmtpServer server = ServerAt(peer->port());
        server.login = c.login;
        server.user = "alice";
        server.password = c.password;
        const SmtpOutcome outcome = Send(server, Notification());
        EXPECT_EQ(outcome.accepted, c.accepted);
        EXPECT_EQ(outcome.ErrorText(), c.error);
        const std::string received = peer->Received();
        const std::string expectedStart = "ehlo raid.test\r\nRset\r\n" + std::string(c.auth);
        EXPECT_EQ(received.substr(0, expectedStart.size()), expectedStart);
        if (c.accepted) {
            EXPECT_EQ(received.substr(expectedStart.size(), 29), "Mail from:<raid@example.com>\r");
        } else {
            EXPECT_EQ(received.substr(expectedStart.size()), "Quit\r\n");
        }
    }
}

TEST_F(SmtpClientTest, ServerThatRefusesEhloIsGreetedWithHelo) {
    const auto peer = StartPeer("refuse-ehlo");
    const SmtpOutcome outcome = Send(ServerAt(peer->port()), Notification());
    EXPECT_TRUE(outcome.accepted) << outcome.ErrorText();
    EXPECT_EQ(peer->Received(),
              "ehlo raid.test\r\nHelo raid.test\r\n" + kEnvelope + kContent + ".\r\nQuit\r\n");
}

TEST_F(SmtpClientTest, MultiLineRepliesAreReadToTheirLastLine) {
    // MAIL and the final "." get three- and two-line replies; a reader that stopped at the
    // first line would take the rest for the answers to the next commands.
    const auto peer = StartPeer("multiline");
    const SmtpOutcome outcome = Send(ServerAt(peer->port()), Notification());
    EXPECT_TRUE(outcome.accepted) << outcome.ErrorText();
    EXPECT_EQ(peer->Received(), "ehlo raid.test\r\n" + kEnvelope + kContent + ".\r\nQuit\r\n");
}

// The server refuses nobody@ for good (550) and later@ for now (451).
TEST_F(SmtpClientTest, RefusedRecipientsDoNotCostTheOthersTheirMail) {
    struct Case {
        const char* name;
        std::vector<std::string> to;
        bool accepted;
        const char* error;
    };
    const Case cases[] = {
        {"one of three refused for good",
         {"ops@example.com", "nobody@example.com", "admin@example.com"},
         true,
         "rcpt to nobody@example.com: 550 No such user"},
        {"one of three refused for now",
         {"ops@example.com", "later@example.com", "admin@example.com"},
         true,
         "rcpt to later@example.com: 451 4.2.0 Mailbox busy, try again later"},
        {"every one refused",
         {"nobody@example.com", "later@example.com"},
         false,
         "rcpt to nobody@example.com: 550 No such user; "
         "rcpt to later@example.com: 451 4.2.0 Mailbox busy, try again later"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto peer = StartPeer("refuse-rcpt");
        MailMessage message = Notification();
        message.recipients = c.to;
        const SmtpOutcome outcome = Send(ServerAt(peer->port()), message);
        EXPECT_EQ(outcome.accepted, c.accepted);
        EXPECT_EQ(outcome.ErrorText(), c.error);
        ASSERT_FALSE(outcome.refused.empty());
        EXPECT_FALSE(outcome.Permanent());
        std::string rcpts;
        for (const std::string& to : c.to) {
            rcpts += "RCPT to:<" + to + ">\r\n";
        }
        const std::string received = peer->Received();
        const std::string envelope =
            "ehlo raid.test\r\nRset\r\nMail from:<raid@example.com>\r\n" + rcpts;
        EXPECT_EQ(received.substr(0, envelope.size()), envelope);
        if (c.accepted) {
            // The message went to the ones the server took; its To: still names everyone.
            const std::string stored = peer->Stored();
            EXPECT_NE(stored.find("Device1 P1 Hard Disk Drive fail."), std::string::npos);
            EXPECT_EQ(received.substr(envelope.size(), 6), "Data\r\n");
        } else {
            EXPECT_EQ(received.substr(envelope.size()), "Quit\r\n");
        }
    }
}

TEST_F(SmtpClientTest, BrokenServersFailCleanly) {
    struct Case {
        const char* mode;
        int timeoutSeconds;
        const char* error;
    };
    const Case cases[] = {
        {"drop-data", 10, "message: connection closed by the server"},
        {"huge-line", 10, "greeting: the server sent a reply line longer than 65536 bytes"},
        {"no-line-end", 10, "greeting: connection closed by the server"},
        {"silent", 1, "greeting: no reply within 1 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const auto peer = StartPeer(c.mode);
        SmtpServer server = ServerAt(peer->port());
        server.timeoutSeconds = c.timeoutSeconds;
        raised_.clear();
        const SmtpOutcome outcome = Send(server, Notification());
        EXPECT_FALSE(outcome.accepted);
        EXPECT_EQ(outcome.replyCode, 0);
        EXPECT_EQ(outcome.ErrorText(), c.error);
        EXPECT_EQ(raised_.front(), "connected");
        EXPECT_EQ(raised_.back(), "disconnected");
    }
}

TEST_F(SmtpClientTest, SecuritySettingChoosesPlainStartTlsOrImplicitTls) {
    const std::string login = "auth LOGIN\r\nYWxpY2U=\r\nczNjcmV0\r\n";
    const std::string rest = kEnvelope.substr(6) + kContent + ".\r\nQuit\r\n";
    struct Case {
        const char* name;
        const char* mode;
        MailSecurity security;
        const char* host;
        const char* error;
        std::string received;
    };
    const Case cases[] = {
        {"starttls required", "starttls", MailSecurity::StartTls, "127.0.0.1", "",
         "ehlo raid.test\r\nSTARTTLS\r\nehlo raid.test\r\nRset\r\n" + login + rest},
        {"auto takes the offered STARTTLS, host name checked", "starttls", MailSecurity::Auto,
         "localhost", "",
         "ehlo raid.test\r\nSTARTTLS\r\nehlo raid.test\r\nRset\r\n" + login + rest},
        {"none never starts TLS", "starttls", MailSecurity::None, "127.0.0.1",
         "mail from: 530 Must issue a STARTTLS command first",
         "ehlo raid.test\r\nRset\r\nMail from:<raid@example.com>\r\nQuit\r\n"},
        {"starttls required, not offered", "plain", MailSecurity::StartTls, "127.0.0.1",
         "starttls: the server does not offer STARTTLS", "ehlo raid.test\r\nQuit\r\n"},
        {"auto without STARTTLS stays plain", "plain", MailSecurity::Auto, "127.0.0.1", "",
         "ehlo raid.test\r\nRset\r\n" + rest},
        {"implicit TLS", "tls", MailSecurity::Tls, "127.0.0.1", "",
         "ehlo raid.test\r\nRset\r\n" + login + rest},
        // A server (or an attacker in between) that offers AUTH but no STARTTLS.
        {"auto never sends the password in clear", "auth", MailSecurity::Auto, "127.0.0.1",
         "auth: the server does not offer TLS; the password is sent in clear only with security "
         "\"none\"",
         "ehlo raid.test\r\nRset\r\nQuit\r\n"},
        {"none sends it in clear as chosen", "auth", MailSecurity::None, "127.0.0.1", "",
         "ehlo raid.test\r\nRset\r\n" + login + rest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto peer = StartPeer(c.mode);
        SmtpServer server = ServerAt(peer->port());
        server.host = c.host;
        server.security = c.security;
        server.caFile = Cert("localhost").string();
        server.login = true;
        server.user = "alice";
        server.password = "s3cret";
        const SmtpOutcome outcome = Send(server, Notification());
        EXPECT_EQ(outcome.accepted, std::string(c.error).empty());
        EXPECT_EQ(outcome.ErrorText(), c.error);
        EXPECT_EQ(peer->Received(), c.received);
    }
}

TEST_F(SmtpClientTest, CertificateThatDoesNotProveTheServerEndsTheExchange) {
    struct Case {
        const char* name;
        const char* mode;
        MailSecurity security;
        const char* serverCert;
        const char* host;
        std::string caFile;  // empty: the system's trust store
        const char* error;
    };
    const std::string other = Cert("mail.other.test").string();
    const Case cases[] = {
        {"self-signed, system store", "starttls", MailSecurity::StartTls, "localhost", "127.0.0.1",
         "", "tls: certificate not accepted: self-signed certificate"},
        {"self-signed, implicit TLS", "tls", MailSecurity::Tls, "localhost", "127.0.0.1", "",
         "tls: certificate not accepted: self-signed certificate"},
        {"trusted, other name, IP", "starttls", MailSecurity::StartTls, "mail.other.test",
         "127.0.0.1", other, "tls: certificate not accepted: IP address mismatch"},
        {"trusted, other name, host name", "starttls", MailSecurity::Auto, "mail.other.test",
         "localhost", other, "tls: certificate not accepted: hostname mismatch"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto peer = StartPeer(c.mode, c.serverCert);
        SmtpServer server = ServerAt(peer->port());
        server.host = c.host;
        server.security = c.security;
        server.caFile = c.caFile;
        server.login = true;
        server.user = "alice";
        server.password = "s3cret";
        raised_.clear();
        const SmtpOutcome outcome = Send(server, Notification());
        EXPECT_FALSE(outcome.accepted);
        EXPECT_EQ(outcome.ErrorText(), c.error);
        EXPECT_EQ(raised_, (std::vector<std::string>{"connected", "disconnected"}));
        if (c.security != MailSecurity::Tls) {
            // Nothing, not even Quit, goes over a connection whose TLS failed.
            EXPECT_EQ(peer->Received(), "ehlo raid.test\r\nSTARTTLS\r\n");
        }
    }
}

TEST_F(SmtpClientTest, UnreadableCaFileIsReportedWithItsPath) {
    const auto peer = StartPeer("starttls");
    SmtpServer server = ServerAt(peer->port());
    server.security = MailSecurity::StartTls;
    server.caFile = "/nonexistent/ca.pem";
    const SmtpOutcome outcome = Send(server, Notification());
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.step, "tls");
    EXPECT_EQ(outcome.replyText.rfind("cannot load /nonexistent/ca.pem: ", 0), 0u)
        << outcome.replyText;
}

TEST_F(SmtpClientTest, ServerThatResetsDuringALongBodyIsAFailureNotASignal) {
    // Writing on after the reset raises SIGPIPE unless every write of the client, the TLS
    // layer's included, asks the system not to; that signal would end the whole program.
    MailMessage message = Notification();
    message.bodyLines.assign(20000, std::string(100, 'b'));
    const std::pair<const char*, MailSecurity> cases[] = {{"drop-data", MailSecurity::None},
                                                          {"tls-drop-data", MailSecurity::Tls}};
    for (const auto& [mode, security] : cases) {
        SCOPED_TRACE(mode);
        const auto peer = StartPeer(mode);
        SmtpServer server = ServerAt(peer->port());
        server.security = security;
        server.caFile = Cert("localhost").string();
        const SmtpOutcome outcome = Send(server, message);
        EXPECT_FALSE(outcome.accepted);
        EXPECT_EQ(outcome.step, "message");
        EXPECT_EQ(outcome.replyCode, 0);
        EXPECT_FALSE(outcome.replyText.empty());
    }
}

TEST_F(SmtpClientTest, NoServerListeningIsAConnectFailure) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int port = ntohs(address.sin_port);
    ::close(fd);  // nothing listens there now

    const SmtpOutcome outcome = Send(ServerAt(port), Notification());
    EXPECT_FALSE(outcome.accepted);
    EXPECT_EQ(outcome.ErrorText(), "connect: Connection refused");
    EXPECT_TRUE(raised_.empty());
}

}  // namespace
}  // namespace raid
