#include "notify/settings/mail_settings_store.h"

#include <algorithm>

#include "monitor/mail_request.h"
#include "notify/compose/escaped_text.h"
#include "notify/compose/mail_address.h"
#include "notify/compose/mail_templates.h"
#include "notify/settings/password_scramble.h"
#include "notify/settings/stored_text.h"

namespace raid {
namespace {

constexpr const char* kAddressRule =
    "is not of the form name@domain (ASCII letters, digits and . _ + -; no blanks, commas, "
    "quotes or brackets).";

constexpr std::array<const char*, 5> kServerValueNames = {
    setting::Port, setting::Smtp, setting::UserName, setting::Addr, setting::TimeOut};

bool IsSecurityChoice(const std::string& text) {
    return text == "auto" || text == "none" || text == "starttls" || text == "tls";
}

bool AllDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string SaveKindTemplates(MailSettings& settings, const MailPageFields& fields) {
    std::string errors;
    auto note = [&errors](const std::string& error) {
        if (!error.empty()) {
            errors += (errors.empty() ? "" : "; ") + error;
        }
    };
    for (std::uint8_t kind = 1; kind <= 2; ++kind) {
        const std::size_t i = kind - 1;
        const std::string subjectPath = SubjectTemplatePath(settings.TemplateDirectory, kind);
        if (!fields.subjects[i].empty()) {
            settings.SubjectTemplates[i] = {fields.subjects[i]};
            note(SaveTemplate(subjectPath, settings.SubjectTemplates[i]));
        } else {
            note(DeleteTemplate(subjectPath));
        }
        const std::string contentsPath = ContentsTemplatePath(settings.TemplateDirectory, kind);
        if (!fields.contents[i].empty()) {
            note(SaveTemplate(contentsPath, fields.contents[i]));
        } else {
            note(DeleteTemplate(contentsPath));
        }
    }
    return errors;
}

}  // namespace

std::string InitialiseMailSettings(SettingsStore& store, MailSettings& settings,
                                   const std::string& defaultTemplateDirectory,
                                   std::atomic<std::uint8_t>& mailFlags) {
    settings.MailKeyPresent = store.KeyExists();
    if (!settings.MailKeyPresent) {
        settings.TemplateDirectory = defaultTemplateDirectory;
        return {};
    }
    const std::vector<std::string> names = store.ValueNames();
    auto has = [&names](const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (!has(setting::UserId)) {
        const std::string addr = store.ReadString(setting::Addr).value_or("");
        store.Write(setting::UserId, SettingValue::String(addr.substr(0, addr.find('@'))));
    }
    if (!has(setting::EMailSend)) {
        store.Write(setting::EMailSend, SettingValue::Integer(0));
    }
    const std::string error = store.Commit();
    settings.SuppressedKinds = 0;
    mailFlags.fetch_or(MailReloadRequested);
    return error;
}

void LoadMailSettings(SettingsStore& store, MailSettings& settings) {
    // A key edited by hand may lack the count or claim more than ten.
    const std::uint32_t count =
        std::min<std::uint32_t>(store.ReadInteger(setting::ToAddrCount).value_or(0),
                                static_cast<std::uint32_t>(kMaxRecipients));
    settings.SuppressedKinds = store.ReadInteger(setting::EMailSend).value_or(0);
    settings.TemplateDirectory = store.ReadString(setting::FilePath).value_or("");

    for (std::size_t i = 0; i < kServerValueNames.size(); ++i) {
        settings.serverList[i] = store.ReadString(kServerValueNames[i]).value_or("");
    }
    // A name is one line: a line break or NUL edited into the file must not
    // cost the mail.
    std::string& name = settings.serverList[kServerUserName];
    name = CleanStoredText(name);
    std::erase(name, '\n');
    const auto stored = store.ReadBinary(setting::ProductId);
    const UnscrambledPassword password = UnscramblePassword(
        stored ? std::span<const std::uint8_t>(*stored) : std::span<const std::uint8_t>());
    settings.serverList[kServerPassword] = password.password;
    settings.PasswordStatus = password.status;
    if (stored && stored->size() == ScrambledPassword{}.size()) {
        settings.salt = password.salt;
    }
    settings.serverList[kServerUserId] = store.ReadString(setting::UserId).value_or("");
    settings.security = store.ReadString(setting::Security).value_or("auto");
    settings.caFile = store.ReadString(setting::CaFile).value_or("");

    settings.RecipientList.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        settings.RecipientList.push_back(store.ReadString(RecipientValueName(i)).value_or(""));
    }
    for (std::uint8_t kind = 1; kind <= kMailKinds; ++kind) {
        settings.SubjectTemplates[kind - 1] =
            LoadTemplate(SubjectTemplatePath(settings.TemplateDirectory, kind));
        settings.ContentsTemplates[kind - 1] =
            LoadTemplate(ContentsTemplatePath(settings.TemplateDirectory, kind));
    }
    settings.MailSettingsLoaded = true;
    settings.MailEditDirty = 0;
}

MailPageFields PageFields(const MailSettings& settings) {
    MailPageFields fields;
    if (!settings.MailKeyPresent) {
        fields.port = "25";
        fields.timeOut = "0";
        return fields;
    }
    fields.port = settings.Server(kServerPort);
    fields.smtp = settings.Server(kServerSmtp);
    fields.userName = settings.Server(kServerUserName);
    fields.addr = settings.Server(kServerAddr);
    fields.timeOut = settings.Server(kServerTimeOut);
    fields.password = settings.Server(kServerPassword);
    fields.userId = settings.Server(kServerUserId);
    fields.login = settings.Login();
    fields.suppressed = {(settings.SuppressedKinds & 1) != 0, (settings.SuppressedKinds & 2) != 0};
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& subject = settings.SubjectTemplates[i];
        fields.subjects[i] = subject.empty() ? std::string() : subject.front();
        fields.contents[i] = settings.ContentsTemplates[i];
    }
    fields.recipients = settings.RecipientList;
    fields.security = settings.security;
    fields.caFile = settings.caFile;
    return fields;
}

std::string MailFieldsProblem(const MailPageFields& fields) {
    if (!fields.addr.empty() && !IsPlainAddress(fields.addr)) {
        return "The sender address \"" + EscapedText(fields.addr) + "\" " + kAddressRule;
    }
    if (fields.recipients.size() > kMaxRecipients) {
        return "At most 10 recipients can be kept.";
    }
    for (const auto& to : fields.recipients) {
        if (!IsPlainAddress(to)) {
            return "The recipient address \"" + EscapedText(to) + "\" " + kAddressRule;
        }
    }
    const std::pair<const char*, const std::string*> texts[] = {
        {"port", &fields.port},
        {"SMTP server", &fields.smtp},
        {"sender name", &fields.userName},
        {"time-out", &fields.timeOut},
        {"password", &fields.password},
        {"account", &fields.userId},
        {"subject", &fields.subjects[0]},
        {"subject", &fields.subjects[1]},
        {"CA file", &fields.caFile},
    };
    for (const auto& [what, text] : texts) {
        if (HasLineBreakOrNul(*text)) {
            return std::string("The ") + what + " must not contain a line break.";
        }
    }
    for (const auto& lines : fields.contents) {
        for (const auto& line : lines) {
            if (line.find('\0') != std::string::npos) {
                return "The contents must not contain a NUL character.";
            }
        }
    }
    if (fields.smtp.find_first_of(" \t") != std::string::npos) {
        return "The SMTP server name must not contain blanks.";
    }
    for (const char c : fields.userName) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            return "The sender name must not contain control characters.";
        }
    }
    if (!IsUtf8(fields.userName)) {
        return "The sender name is not UTF-8 text.";
    }
    // The stored form keeps 15 bytes; a character outside ASCII takes more than one.
    if (fields.password.size() > kMaxPasswordLength) {
        return "The password may have at most 15 bytes (15 ASCII characters).";
    }
    if (fields.timeOut.size() > 2 || !AllDigits(fields.timeOut)) {
        return "The time-out must be a number of seconds with at most 2 digits.";
    }
    if (!IsSecurityChoice(fields.security)) {
        return "The security must be one of auto, none, starttls and tls.";
    }
    return {};
}

std::string SaveMailSettings(SettingsStore& store, MailSettings& settings,
                             const MailPageFields& page, std::atomic<std::uint8_t>& mailFlags) {
    MailPageFields fields = page;
    if (fields.port.empty()) {
        fields.port = "25";
    }
    if (fields.timeOut.empty()) {
        fields.timeOut = "0";
    }
    if (std::string problem = MailFieldsProblem(fields); !problem.empty()) {
        return problem;
    }

    const bool present = settings.MailKeyPresent;
    std::uint8_t dirty = settings.MailEditDirty;
    const std::pair<std::uint8_t, std::pair<const char*, const std::string*>> server[] = {
        {kDirtyPort, {setting::Port, &fields.port}},
        {kDirtySmtp, {setting::Smtp, &fields.smtp}},
        {kDirtyUserName, {setting::UserName, &fields.userName}},
        {kDirtyAddr, {setting::Addr, &fields.addr}},
        {kDirtyTimeOut, {setting::TimeOut, &fields.timeOut}},
        {kDirtyUserId, {setting::UserId, &fields.userId}},
    };
    for (const auto& [bit, value] : server) {
        if (!present || (dirty & bit) != 0) {
            store.Write(value.first, SettingValue::String(*value.second));
        }
    }

    std::uint32_t suppressed = settings.SuppressedKinds & ~3u;
    suppressed |= (fields.suppressed[0] ? 1u : 0u) | (fields.suppressed[1] ? 2u : 0u);
    store.Write(setting::EMailSend, SettingValue::Integer(suppressed));

    if (fields.login != settings.Login()) {
        dirty |= kDirtyPassword;
    }
    if (dirty != 0 || !present) {
        const ScrambledPassword scrambled =
            ScramblePassword(fields.password, fields.login, settings.salt);
        store.Write(setting::ProductId, SettingValue::Binary({scrambled.begin(), scrambled.end()}));
    }

    if (fields.recipients != settings.RecipientList) {
        store.Write(setting::ToAddrCount,
                    SettingValue::Integer(static_cast<std::uint32_t>(fields.recipients.size())));
        dirty |= kDirtyRecipients;
        for (std::size_t i = 0; i < fields.recipients.size(); ++i) {
            store.Write(RecipientValueName(i), SettingValue::String(fields.recipients[i]));
        }
    } else if (!present) {
        store.Write(setting::ToAddrCount,
                    SettingValue::Integer(static_cast<std::uint32_t>(fields.recipients.size())));
    }
    store.Write(setting::FilePath, SettingValue::String(settings.TemplateDirectory));
    store.Write(setting::Security, SettingValue::String(fields.security));
    store.Write(setting::CaFile, SettingValue::String(fields.caFile));

    if (std::string error = store.Commit(); !error.empty()) {
        return error;
    }
    settings.MailEditDirty = dirty;
    const std::string templateError = SaveKindTemplates(settings, fields);
    mailFlags.fetch_or(MailReloadRequested);
    settings.MailSettingsLoaded = false;
    settings.MailKeyPresent = true;
    if (!templateError.empty()) {
        return "The settings were saved, but not every template: " + templateError;
    }
    return {};
}

}  // namespace raid
