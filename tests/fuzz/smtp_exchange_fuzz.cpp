// The whole mail exchange against a hostile server whose every byte is the
// input: what we send stays well-formed, credentials never travel in clear
// unless the user chose "none", and what we show of the server is text.
#include <string>
#include <string_view>

#include "device/safe_text.h"
#include "notify/smtp/base64.h"
#include "notify/smtp/smtp_exchange.h"
#include "tests/fuzz/input_reader.h"
#include "tests/support/scripted_connection.h"

namespace {

// Every CR is followed by LF and every LF follows a CR.
bool OnlyCrLf(std::string_view wire) {
    for (std::size_t i = 0; i < wire.size(); ++i) {
        if (wire[i] == '\r' && (i + 1 == wire.size() || wire[i + 1] != '\n')) {
            return false;
        }
        if (wire[i] == '\n' && (i == 0 || wire[i - 1] != '\r')) {
            return false;
        }
    }
    return true;
}

}  // namespace

FUZZ_TARGET(smtp_exchange) {
    using namespace raid;
    fuzz::InputReader in(input);
    const std::uint8_t choice = in.Byte();
    SmtpServer server;
    server.host = "mail.example.com";
    constexpr MailSecurity kModes[] = {MailSecurity::Auto, MailSecurity::None,
                                       MailSecurity::StartTls, MailSecurity::Tls};
    server.security = kModes[choice & 3];
    server.port = (choice & 4) ? 465 : 25;
    server.login = (choice & 8) != 0;
    server.user = "alice";
    server.password = "s3cret-pw";
    MailMessage message;
    message.fromName = "RAID \xC3\x9C";
    message.fromAddress = "raid@example.com";
    message.recipients = {"ops@example.com", "night@example.com"};
    message.subject = "Device1 RAID system fail.";
    message.bodyLines = {"Device1 RAID system fail.", ".", "..leading dots", ""};

    ScriptedConnection connection;
    connection.whenEmpty = (choice & 16) ? SmtpIo::Kind::Timeout : SmtpIo::Kind::Closed;
    // The server's stream, cut into reads where the input has a 0xFF byte.
    std::string_view stream = fuzz::AsText(in.Rest());
    while (!stream.empty()) {
        const std::size_t cut = std::min(stream.find('\xFF'), stream.size());
        if (cut > 0) {
            connection.incoming.emplace_back(stream.substr(0, cut));
        }
        stream.remove_prefix(std::min(cut + 1, stream.size()));
    }
    const SmtpOutcome outcome = RunSmtpExchange(connection, server, message,
                                                "Sun, 6 Dec 2026 18:00:00 +0800", "raid.test", {});
    std::string wire = connection.sent;
    for (std::size_t tls; (tls = wire.find("<TLS>")) != std::string::npos;) {
        wire.erase(tls, 5);
    }
    FUZZ_CHECK(OnlyCrLf(wire));
    if (server.security != MailSecurity::None) {
        const std::string clear = connection.sent.substr(0, connection.sent.find("<TLS>"));
        FUZZ_CHECK(clear.find("auth") == std::string::npos);
        FUZZ_CHECK(clear.find(Base64Encode(server.password)) == std::string::npos);
    }
    FUZZ_CHECK(SafeText(outcome.replyText) == outcome.replyText);
    for (const RecipientRefusal& refusal : outcome.refused) {
        FUZZ_CHECK(SafeText(refusal.replyText) == refusal.replyText);
    }
    if (outcome.accepted) {
        FUZZ_CHECK(connection.sent.find("\r\n.\r\n") != std::string::npos);
    }
}
