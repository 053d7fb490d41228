#pragma once

#include <string>

#include "notify/settings/mail_settings.h"
#include "notify/settings/settings_store.h"

namespace raid {

// Whether anyone would hear of a failing drive with these settings: empty
// text when a notification would go out, otherwise why none would and how to
// set one up. Mail that reaches someone or a notification command is enough.
// `settingsLocation` names the settings file in the text.
std::string NoNotificationText(const MailSettings& mail, bool commandSet,
                               const std::string& settingsLocation);

// The same for the saved settings (mail and NotifyCommand), read without
// changing the store (a status query must not write the settings the way the
// program's start does).
std::string NoNotificationText(SettingsStore& store, const std::string& settingsLocation);

}  // namespace raid
