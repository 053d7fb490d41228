#include "notify/compose/mail_header.h"

#include <string_view>

#include "notify/compose/encoded_words.h"
#include "notify/compose/header_folding.h"

namespace raid {

namespace {

void AddField(std::string& block, std::string_view name, const std::string& value) {
    if (value.empty()) {
        return;
    }
    block += FoldHeader(name, value);
    block += "\r\n";
}

}  // namespace

std::string FromHeaderValue(const std::string& name, const std::string& address) {
    if (name.empty()) {
        return address;
    }
    // An encoded word inside a quoted string is not decoded by readers, so a name that needs
    // encoding goes unquoted; Base64 leaves nothing in it that would need quoting.
    if (!IsPlainHeaderText(name) || EncodeHeaderText(name) != name) {
        return EncodedWords(name) + " <" + address + ">";
    }
    std::string value = "\"";
    for (const char c : name) {
        if (c == '\\' || c == '"') {
            value += '\\';
        }
        value += c;
    }
    value += "\" <" + address + ">";
    return value;
}

std::string MailHeaderBlock(const MailMessage& message, const std::string& date,
                            bool quotedPrintableBody) {
    std::string to;
    for (const std::string& recipient : message.recipients) {
        if (!to.empty()) {
            to += ", ";
        }
        to += recipient;
    }
    std::string block;
    AddField(block, "From", FromHeaderValue(message.fromName, message.fromAddress));
    AddField(block, "Subject", EncodeHeaderText(message.subject));
    AddField(block, "To", to);
    if (quotedPrintableBody) {
        AddField(block, "Content-Type", "text/plain; charset=UTF-8");
        AddField(block, "Content-Transfer-Encoding", "quoted-printable");
        AddField(block, "MIME-Version", "1.0");
    }
    AddField(block, "Date", date);
    if (!message.messageId.empty()) {
        AddField(block, "Message-ID", "<" + message.messageId + ">");
    }
    AddField(block, "X-Priority", "3");
    AddField(block, "X-Library", "Indy 8.0.25");
    return block;
}

}  // namespace raid
