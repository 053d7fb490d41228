#include "cli/mail_command.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "app/app_state.h"
#include "app/folders.h"
#include "cli/cli_help.h"
#include "cli/secret_input.h"
#include "cli/settings_place.h"
#include "notify/compose/escaped_text.h"
#include "notify/delivery/mail_dispatcher.h"
#include "notify/settings/host_settings_store.h"
#include "notify/settings/mail_settings_store.h"
#include "notify/settings/password_scramble.h"
#include "sysinfo/system_info.h"

namespace raid::cli {
namespace {

// The settings as the program loads them at start-up.
struct LoadedSettings {
    HostSettingsStore host;
    MailSettings settings;
    std::atomic<std::uint8_t> flags{0};
    std::string problem;

    explicit LoadedSettings(const SettingsPlace& place) : host(OpenHostSettingsStore(place)) {
        problem = host.problem;
        std::string error =
            InitialiseMailSettings(*host.store, settings, host.templateDirectory, flags);
        if (!error.empty()) {
            problem += (problem.empty() ? "" : "\n") + error;
        }
        if (flags.load() & MailReloadRequested) {
            LoadMailSettings(*host.store, settings);
            flags.store(0);
        }
    }
};

// A stored text on the terminal: a settings file must not be able to forge
// lines or move the cursor.
std::string Shown(const std::string& text) {
    return EscapedText(text);
}

std::string PasswordText(const MailSettings& s) {
    if (s.PasswordStatus == kPasswordMalformed) {
        return "(unreadable, saved with another program)";
    }
    return s.Server(kServerPassword).empty() ? "(none)" : "********";
}

int Show() {
    const std::optional<SettingsPlace> place = SettingsPlaceOrComplain();
    if (!place) {
        return 2;
    }
    LoadedSettings loaded(*place);
    if (!loaded.problem.empty()) {
        std::fprintf(stderr, "%s\n", loaded.problem.c_str());
    }
    const MailSettings& s = loaded.settings;
    std::printf("Settings file: %s%s\n", loaded.host.location.c_str(),
                s.MailKeyPresent ? "" : " (not saved yet: mail is off)");
    if (!s.MailKeyPresent) {
        return 0;
    }
    std::string recipients;
    for (const auto& to : s.RecipientList) {
        recipients += (recipients.empty() ? "" : ", ") + to;
    }
    std::string quiet;
    for (std::uint8_t kind = 1; kind <= kMailKinds; ++kind) {
        if ((s.SuppressedKinds >> (kind - 1)) & 1u) {
            quiet += (quiet.empty() ? "" : ", ") + std::string(kMailKindCaptions[kind - 1]);
        }
    }
    std::printf("SMTP server:  %s\n", Shown(s.Server(kServerSmtp)).c_str());
    std::printf("Port:         %s\n", Shown(s.Server(kServerPort)).c_str());
    std::printf("Security:     %s\n", Shown(s.security).c_str());
    std::printf("CA file:      %s\n", s.caFile.empty() ? "(system)" : Shown(s.caFile).c_str());
    std::printf("Time-out:     %s s\n", Shown(s.Server(kServerTimeOut)).c_str());
    std::printf("From name:    %s\n", Shown(s.Server(kServerUserName)).c_str());
    std::printf("From:         %s\n", Shown(s.Server(kServerAddr)).c_str());
    std::printf("To:           %s\n", Shown(recipients).c_str());
    std::printf("Login:        %s\n", s.Login() ? "yes" : "no");
    std::printf("Account:      %s\n", Shown(s.Server(kServerUserId)).c_str());
    std::printf("Password:     %s\n", PasswordText(s).c_str());
    std::printf("Not mailed:   %s\n", quiet.empty() ? "-" : quiet.c_str());
    std::printf("Templates in: %s\n", Shown(s.TemplateDirectory).c_str());
    return 0;
}

// Applies the options of `mail set` to the page's fields and marks what
// changed, as typing into the page's fields does.
std::string ApplySetOptions(const std::vector<std::string>& args, MailPageFields& fields,
                            std::uint8_t& dirty) {
    bool recipientsGiven = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--password-stdin") {
            std::string password;
            if (!ReadSecretLine(password)) {
                return "cannot read the password from standard input";
            }
            fields.password = password;
            dirty |= kDirtyPassword;
            continue;
        }
        if (option == "--no-login") {
            fields.login = false;
            continue;
        }
        if (i + 1 >= args.size()) {
            return option.starts_with("--") ? option + " needs a value"
                                            : "unknown option '" + option + "'";
        }
        const std::string& value = args[++i];
        if (option == "--smtp") {
            fields.smtp = value;
            dirty |= kDirtySmtp;
        } else if (option == "--port") {
            fields.port = value;
            dirty |= kDirtyPort;
        } else if (option == "--security") {
            fields.security = value;
        } else if (option == "--from-name") {
            fields.userName = value;
            dirty |= kDirtyUserName;
        } else if (option == "--from") {
            fields.addr = value;
            dirty |= kDirtyAddr;
        } else if (option == "--to") {
            if (!recipientsGiven) {
                fields.recipients.clear();
                recipientsGiven = true;
            }
            fields.recipients.push_back(value);
        } else if (option == "--login") {
            fields.userId = value;
            fields.login = true;
            dirty |= kDirtyUserId;
        } else if (option == "--timeout") {
            fields.timeOut = value;
            dirty |= kDirtyTimeOut;
        } else if (option == "--ca-file") {
            fields.caFile = value;
        } else {
            return "unknown option '" + option + "'";
        }
    }
    return {};
}

int Set(const std::vector<std::string>& args) {
    const std::optional<SettingsPlace> place = SettingsPlaceOrComplain();
    if (!place) {
        return 2;
    }
    LoadedSettings loaded(*place);
    if (!loaded.problem.empty()) {
        std::fprintf(stderr, "%s\n", loaded.problem.c_str());
    }
    MailPageFields fields = PageFields(loaded.settings);
    std::uint8_t dirty = 0;
    if (const std::string error = ApplySetOptions(args, fields, dirty); !error.empty()) {
        std::fprintf(stderr, "raidcli: %s\n%s", error.c_str(), kMailUsage);
        return 2;
    }
    loaded.settings.MailEditDirty = dirty;
    const std::string error =
        SaveMailSettings(*loaded.host.store, loaded.settings, fields, loaded.flags);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", kMailCaption, error.c_str());
        return 1;
    }
    std::printf("Saved to %s\n", loaded.host.location.c_str());
    return 0;
}

int Test(Platform& platform, Clock& clock) {
    const std::optional<SettingsPlace> place = SettingsPlaceOrComplain();
    if (!place) {
        return 2;
    }
    HostSettingsStore host = OpenHostSettingsStore(*place);
    if (!host.problem.empty()) {
        std::fprintf(stderr, "%s\n", host.problem.c_str());
    }
    AppState state;
    state.systemInfoLines = BuildSystemInfoLines(*platform.facts);
    MailDispatcher dispatcher(
        MailDispatchServices{
            .store = *host.store,
            .clock = clock,
            .devices = state.devices,
            .systemInfo = state.systemInfoLines,
            .mailFlags = state.MailFlags,
            .sender = RealMailSender(),
            .outboxFolder = {},  // the test mail is never kept
            .defaultTemplateDirectory = host.templateDirectory,
            .appTitle = kAppTitle,
        },
        MailDispatchHooks{
            .statusText =
                [](int panel, const std::string& text) {
                    if (panel == 3 && text != kMailSuccess) {
                        std::printf("[mail] %s\n", text.c_str());
                        std::fflush(stdout);
                    }
                },
            .logLines = {},
            .error = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); },
            .wake = {},  // this loop looks every 50 ms anyway
        });
    dispatcher.Initialise();
    dispatcher.ServiceMailFlags();

    std::optional<SmtpOutcome> outcome;
    const TestMailStart start =
        dispatcher.StartTestMail([&outcome](const SmtpOutcome& o) { outcome = o; });
    if (start == TestMailStart::NotReady) {
        std::fprintf(stderr, "%s: %s\n", kMailCaption, kMailNotReady);
        return 1;
    }
    std::printf("Sending the test mail to %s via %s:%s\n",
                dispatcher.settings().Server(kServerAddr).c_str(),
                dispatcher.settings().Server(kServerSmtp).c_str(),
                dispatcher.settings().Server(kServerPort).c_str());
    std::fflush(stdout);
    while (!outcome) {
        clock.SleepMs(50);
        dispatcher.ServiceMailFlags();
    }
    if (!outcome->accepted) {
        std::fprintf(stderr, "The test mail was not sent: %s\n",
                     EscapedText(outcome->ErrorText()).c_str());
        return 1;
    }
    // Every refused recipient is named with the server's reply.
    if (!outcome->refused.empty()) {
        std::fprintf(stderr, "The test mail was sent, but refused for: %s\n",
                     EscapedText(outcome->ErrorText()).c_str());
        return 1;
    }
    std::printf("%s\n", kMailSuccess);
    return 0;
}

}  // namespace

int RunMail(const std::vector<std::string>& args, Platform& platform, Clock& clock) {
    const std::string verb = args.empty() ? std::string() : args.front();
    if (verb == "show" && args.size() == 1) {
        return Show();
    }
    if (verb == "set") {
        return Set(args);
    }
    if (verb == "test" && args.size() == 1) {
        return Test(platform, clock);
    }
    std::fprintf(stderr, "%s", kMailUsage);
    return 2;
}

}  // namespace raid::cli
