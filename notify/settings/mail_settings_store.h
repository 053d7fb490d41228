#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "notify/settings/mail_settings.h"
#include "notify/settings/settings_store.h"

namespace raid {

// Start-up: notes whether the key exists; when it does, gives it "UserID"
// (from "Addr") and "EMailSend" if they are missing and asks for a load
// (MailReloadRequested in `mailFlags`); otherwise the templates live in
// `defaultTemplateDirectory` and mail stays off until the first save.
// Returns an error text when the migration could not be saved.
std::string InitialiseMailSettings(SettingsStore& store, MailSettings& settings,
                                   const std::string& defaultTemplateDirectory,
                                   std::atomic<std::uint8_t>& mailFlags);

// Fills `settings` from the key and the template files and marks them loaded.
void LoadMailSettings(SettingsStore& store, MailSettings& settings);

// What the E-mail page holds: the setup fields, the login switch, the working
// recipient list, the two edited kinds' "Don't send" boxes and templates.
struct MailPageFields {
    std::string port;      // Edit1
    std::string smtp;      // Edit2
    std::string userName;  // Edit3
    std::string addr;      // Edit4
    std::string timeOut;   // Edit5
    std::string password;  // Edit8
    std::string userId;    // Edit12
    bool login = false;    // CheckBox8
    std::vector<std::string> recipients;
    std::array<bool, 2> suppressed{};                    // CheckBox2, CheckBox4
    std::array<std::string, 2> subjects{};               // Edit10, Edit11
    std::array<std::vector<std::string>, 2> contents{};  // Memo6, Memo4
    std::string security = "auto";
    std::string caFile;
};

// The fields as the page shows them on entry (or after Ignore).
MailPageFields PageFields(const MailSettings& settings);

// The OK button: checks the fields, then writes what changed (the change set
// is settings.MailEditDirty, which the page's edits set) and the templates,
// and asks for a reload. Returns the message to show, empty on success; when
// a check fails nothing is written.
std::string SaveMailSettings(SettingsStore& store, MailSettings& settings,
                             const MailPageFields& fields, std::atomic<std::uint8_t>& mailFlags);

// The problem with the fields that would let them break the mail exchange,
// or empty text.
std::string MailFieldsProblem(const MailPageFields& fields);

}  // namespace raid
