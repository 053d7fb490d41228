#include "notify/compose/mail_compose.h"

#include <charconv>

#include "notify/compose/mail_address.h"

namespace raid {
namespace {

constexpr int kDefaultTimeoutSeconds = 30;

void AppendBody(std::vector<std::string>& body, const std::string& text) {
    std::string_view rest = text;
    // The system information lines start with their own line feed.
    if (!rest.empty() && rest.front() == '\n') {
        rest.remove_prefix(1);
    }
    for (;;) {
        const auto end = rest.find_first_of("\r\n");
        std::string line(rest.substr(0, end));
        std::erase(line, '\0');
        body.push_back(std::move(line));
        if (end == std::string_view::npos) {
            return;
        }
        const bool crlf = rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n';
        rest.remove_prefix(end + (crlf ? 2 : 1));
    }
}

bool ParseNumber(const std::string& text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

MailSecurity SecurityOf(const std::string& text) {
    if (text == "none") {
        return MailSecurity::None;
    }
    if (text == "starttls") {
        return MailSecurity::StartTls;
    }
    if (text == "tls") {
        return MailSecurity::Tls;
    }
    return MailSecurity::Auto;
}

}  // namespace

std::vector<std::string> BodyLines(const std::vector<std::string>& lines) {
    std::vector<std::string> body;
    for (const auto& line : lines) {
        AppendBody(body, line);
    }
    return body;
}

MailMessage ComposeNotification(const MailSettings& settings, std::uint8_t kind,
                                const std::vector<std::string>& eventReport,
                                const std::vector<std::string>& systemInfo,
                                const std::string& appTitle) {
    MailMessage message;
    message.fromName = settings.Server(kServerUserName);
    message.fromAddress = settings.Server(kServerAddr);
    message.recipients = settings.RecipientList;
    std::string subjectTemplate;
    std::vector<std::string> body = eventReport;
    body.insert(body.end(), systemInfo.begin(), systemInfo.end());
    if (kind >= 1 && kind <= kMailKinds) {
        const auto& subject = settings.SubjectTemplates[kind - 1];
        subjectTemplate = subject.empty() ? std::string() : subject.front();
        const auto& contents = settings.ContentsTemplates[kind - 1];
        body.insert(body.end(), contents.begin(), contents.end());
    }
    message.subject = "[" + appTitle + " Message] " + subjectTemplate;
    message.bodyLines = BodyLines(body);
    return message;
}

MailMessage ComposeTestMail(const MailSettings& settings,
                            const std::vector<std::string>& systemInfo,
                            const std::string& appTitle) {
    MailMessage message;
    message.fromName = settings.Server(kServerUserName);
    message.fromAddress = settings.Server(kServerAddr);
    message.recipients = {settings.Server(kServerAddr)};
    message.subject = "[" + appTitle + " Message] Mail Test ";
    std::vector<std::string> body = {"[" + appTitle + "] E-Mail test!"};
    body.insert(body.end(), systemInfo.begin(), systemInfo.end());
    message.bodyLines = BodyLines(body);
    return message;
}

ServerChoice ServerFromSettings(const MailSettings& settings) {
    ServerChoice choice;
    SmtpServer& server = choice.server;
    server.host = settings.Server(kServerSmtp);
    const std::string& port = settings.Server(kServerPort);
    if (!ParseNumber(port, server.port) || server.port < 1 || server.port > 65535) {
        choice.error = "\"" + port + "\" is not a valid port number";
        return choice;
    }
    if (server.host.empty()) {
        choice.error = "no SMTP server is set";
        return choice;
    }
    server.security = SecurityOf(settings.security);
    server.caFile = settings.caFile;
    server.login = settings.Login();
    server.user = settings.Server(kServerUserId);
    server.password = settings.Server(kServerPassword);
    int timeout = 0;
    const std::string& timeText = settings.Server(kServerTimeOut);
    if (timeText.empty() || !ParseNumber(timeText, timeout) || timeout <= 0) {
        timeout = kDefaultTimeoutSeconds;
    }
    server.timeoutSeconds = timeout;
    return choice;
}

std::string MessageProblem(const MailMessage& message) {
    if (!IsPlainAddress(message.fromAddress)) {
        return "the sender address \"" + message.fromAddress + "\" is not of the form name@domain";
    }
    if (message.recipients.empty()) {
        return "the mail has no recipient";
    }
    for (const auto& to : message.recipients) {
        if (!IsPlainAddress(to)) {
            return "the recipient address \"" + to + "\" is not of the form name@domain";
        }
    }
    if (HasLineBreakOrNul(message.fromName)) {
        return "the sender name contains a line break";
    }
    if (HasLineBreakOrNul(message.subject)) {
        return "the subject contains a line break";
    }
    for (const auto& line : message.bodyLines) {
        if (HasLineBreakOrNul(line)) {
            return "a line of the mail contains a line break";
        }
    }
    if (!message.messageId.empty() && !IsPlainAddress(message.messageId)) {
        return "the Message-ID \"" + message.messageId + "\" is not of the form unique@domain";
    }
    return {};
}

}  // namespace raid
