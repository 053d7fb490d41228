#include "notify/settings/notification_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "notify/hook/hook_command.h"
#include "notify/settings/memory_settings_store.h"

namespace raid {
namespace {

using ::testing::HasSubstr;

MailSettings Working() {
    MailSettings mail;
    mail.MailKeyPresent = true;
    mail.MailSettingsLoaded = true;
    mail.serverList[kServerSmtp] = "mail.example.net";
    mail.RecipientList = {"admin@example.net"};
    return mail;
}

TEST(NotificationSetup, SaysWhyNoMailWouldGoOutAndHowToSetItUp) {
    struct Case {
        const char* name;
        void (*change)(MailSettings&);
        const char* reason;  // empty: a notification would go out
    };
    const Case cases[] = {
        {"working mail", [](MailSettings&) {}, ""},
        {"one of four kinds on", [](MailSettings& m) { m.SuppressedKinds = 0b1011; }, ""},
        {"never saved", [](MailSettings& m) { m = MailSettings{}; }, "no mail settings"},
        {"no server", [](MailSettings& m) { m.serverList[kServerSmtp].clear(); }, "no SMTP server"},
        {"no recipient", [](MailSettings& m) { m.RecipientList.clear(); }, "no recipient"},
        {"only blank recipients",
         [](MailSettings& m) {
             m.RecipientList = {"", ""};
         },
         "no recipient"},
        {"every kind off", [](MailSettings& m) { m.SuppressedKinds = (1u << kMailKinds) - 1; },
         "switched off"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MailSettings mail = Working();
        c.change(mail);
        const std::string text = NoNotificationText(mail, false, "/etc/raidgui/raidgui.conf");
        // A notification command alone is enough, whatever the mail settings.
        EXPECT_EQ(NoNotificationText(mail, true, "/etc/raidgui/raidgui.conf"), "");
        if (c.reason[0] == '\0') {
            EXPECT_EQ(text, "");
            continue;
        }
        EXPECT_THAT(text, HasSubstr("raidcli notify set"));
        EXPECT_THAT(text, HasSubstr(c.reason));
        EXPECT_THAT(text, HasSubstr("/etc/raidgui/raidgui.conf"));
        EXPECT_THAT(text, HasSubstr("raidcli mail set"));
    }
}

TEST(NotificationSetup, ReadsTheSavedSettingsWithoutWritingThem) {
    MemorySettingsStore store;
    EXPECT_THAT(NoNotificationText(store, "file"), HasSubstr("no mail settings"));
#ifdef _WIN32
    const HookCommand command{"C:\\Windows\\System32\\eventcreate.exe", {"/t", "error"}};
#else
    const HookCommand command{"/usr/bin/logger", {"-t", "raidgui"}};
#endif
    ASSERT_EQ(SaveHookCommand(store, command), "");
    EXPECT_EQ(NoNotificationText(store, "file"), "");
    ASSERT_EQ(SaveHookCommand(store, std::nullopt), "");
    EXPECT_THAT(NoNotificationText(store, "file"), HasSubstr("No notification is set up"));

    store.Write("SMTP", SettingValue::String("mail.example.net"));
    store.Write("ToAddrCount", SettingValue::Integer(1));
    store.Write(RecipientValueName(0), SettingValue::String("admin@example.net"));
    ASSERT_EQ(store.Commit(), "");
    EXPECT_EQ(NoNotificationText(store, "file"), "");

    store.Write("ToAddrCount", SettingValue::Integer(0));
    ASSERT_EQ(store.Commit(), "");
    EXPECT_THAT(NoNotificationText(store, "file"), HasSubstr("no recipient"));
    EXPECT_EQ(store.commits, 4);  // only the test's own
}

}  // namespace
}  // namespace raid
