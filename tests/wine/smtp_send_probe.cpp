// One mail through the mail client, for the tests that run the Windows build under Wine
// against a real SMTP server: the TLS handshake, the certificate checks and a body large
// enough to span several TLS records, without the rest of the program.
//
// usage: smtp_send_probe HOST PORT none|starttls|tls|auto CAFILE|- BODY_LINES
// Prints "accepted" or the failure as the user would see it; exit code 0 when accepted.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/clock.h"
#include "notify/smtp/smtp_client.h"

namespace {

bool ParseSecurity(const std::string& text, raid::MailSecurity& security) {
    const std::pair<const char*, raid::MailSecurity> names[] = {
        {"none", raid::MailSecurity::None},
        {"starttls", raid::MailSecurity::StartTls},
        {"tls", raid::MailSecurity::Tls},
        {"auto", raid::MailSecurity::Auto}};
    for (const auto& [name, value] : names) {
        if (text == name) {
            security = value;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    raid::SmtpServer server;
    if (argc != 6 || !ParseSecurity(argv[3], server.security)) {
        std::fprintf(stderr,
                     "usage: smtp_send_probe HOST PORT none|starttls|tls|auto CAFILE|- "
                     "BODY_LINES\n");
        return 2;
    }
    server.host = argv[1];
    server.port = std::atoi(argv[2]);
    server.caFile = std::string(argv[4]) == "-" ? "" : argv[4];
    server.timeoutSeconds = 20;
    server.login = true;
    server.user = "alice";
    server.password = "s3cret";
    server.localHost = "raid.test";

    raid::MailMessage message;
    message.fromName = "RAID Monitor";
    message.fromAddress = "raid@example.com";
    message.recipients = {"ops@example.com"};
    message.subject = "[RAID GUI v0.50.11-5b Message] Wine probe";
    message.bodyLines.assign(static_cast<std::size_t>(std::atoi(argv[5])), std::string(72, 'w'));
    message.bodyLines.insert(message.bodyLines.begin(), "Device1 P1 Hard Disk Drive fail.");
    message.bodyLines.push_back("end of probe");

    raid::SteadyClock clock;
    const raid::SmtpOutcome outcome = raid::SendMail(server, message, clock, {});
    if (!outcome.accepted) {
        std::printf("%s\n", outcome.ErrorText().c_str());
        return 1;
    }
    std::printf("accepted\n");
    return 0;
}
