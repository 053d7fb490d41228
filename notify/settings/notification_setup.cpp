#include "notify/settings/notification_setup.h"

#include <algorithm>

#include "notify/hook/hook_command.h"
#include "notify/settings/mail_settings_store.h"

namespace raid {
namespace {

// Why mail would not reach anyone, or empty text when it would.
std::string MailGap(const MailSettings& mail) {
    if (!mail.MailKeyPresent) {
        return "no mail settings";
    }
    if (mail.Server(kServerSmtp).empty()) {
        return "the mail settings name no SMTP server";
    }
    const bool recipient = std::any_of(mail.RecipientList.begin(), mail.RecipientList.end(),
                                       [](const std::string& to) { return !to.empty(); });
    if (!recipient) {
        return "the mail settings name no recipient";
    }
    constexpr std::uint32_t kAllKinds = (1u << kMailKinds) - 1;
    if ((mail.SuppressedKinds & kAllKinds) == kAllKinds) {
        return "every kind of notification mail is switched off";
    }
    return {};
}

}  // namespace

std::string NoNotificationText(const MailSettings& mail, bool commandSet,
                               const std::string& settingsLocation) {
    const std::string mailGap = MailGap(mail);
    if (mailGap.empty() || commandSet) {
        return {};
    }
    return "No notification is set up (" + mailGap + " and no notification command in " +
           settingsLocation +
           "): a failing drive is only logged. Set up mail with "
           "\"raidcli mail set --smtp HOST --from ADDRESS --to ADDRESS\" and try it with "
           "\"raidcli mail test\", or a command with \"raidcli notify set --command PATH\" "
           "(see raidcli(1)).";
}

std::string NoNotificationText(SettingsStore& store, const std::string& settingsLocation) {
    MailSettings mail;
    mail.MailKeyPresent = store.KeyExists();
    if (mail.MailKeyPresent) {
        LoadMailSettings(store, mail);
    }
    return NoNotificationText(mail, ReadHookCommand(store).has_value(), settingsLocation);
}

}  // namespace raid
