#include "notify/delivery/mail_dispatcher.h"

#include <algorithm>

#include "monitor/time_text.h"
#include "notify/compose/escaped_text.h"
#include "notify/compose/event_report.h"
#include "notify/compose/mail_address.h"
#include "notify/compose/mail_compose.h"
#include "notify/compose/message_id.h"

namespace raid {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const auto& text : texts) {
        joined += (joined.empty() ? "" : ", ") + text;
    }
    return joined;
}

// "Mail" with the subject and, as a subject template may be empty, the
// event's own first line.
std::string MailTitle(const MailMessage& message) {
    std::string title = "Mail \"" + EscapedText(message.subject) + "\"";
    if (!message.bodyLines.empty() && !message.bodyLines.front().empty()) {
        title += " (" + EscapedText(message.bodyLines.front()) + ")";
    }
    return title;
}

SmtpOutcome Refused(const std::string& step, const std::string& why) {
    SmtpOutcome outcome;
    outcome.step = step;
    outcome.replyText = why;
    return outcome;
}

}  // namespace

MailDispatcher::MailDispatcher(MailDispatchServices services, MailDispatchHooks hooks)
    : services_(std::move(services)),
      hooks_(std::move(hooks)),
      outbox_(services_.outboxFolder),
      worker_(services_.sender, services_.clock, [this] { Wake(); }) {}

void MailDispatcher::Wake() {
    if (hooks_.wake) {
        hooks_.wake();
    }
}

std::uint32_t MailDispatcher::SleepMs() {
    if (!Idle()) {
        return 0;
    }
    const std::int64_t due = std::min(nextDue_.load(), nextRescan_.load());
    if (due == kNever) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    const std::int64_t now = services_.clock.WallSeconds();
    return due <= now ? 0
                      : static_cast<std::uint32_t>(std::min<std::int64_t>(due - now, 3600) * 1000);
}

void MailDispatcher::Status(int panel, const std::string& text) {
    if (hooks_.statusText) {
        hooks_.statusText(panel, text);
    }
}

void MailDispatcher::Log(const std::string& line) {
    if (hooks_.logLines) {
        hooks_.logLines({line + ", " + TimeText(services_.clock.WallSeconds())});
    }
}

void MailDispatcher::Error(const std::string& text) {
    if (hooks_.error && !text.empty()) {
        hooks_.error(text);
    }
}

void MailDispatcher::Initialise() {
    Error(InitialiseMailSettings(services_.store, settings_, services_.defaultTemplateDirectory,
                                 services_.mailFlags));
    for (const auto& problem : outbox_.Resume(services_.clock.WallSeconds())) {
        Error(problem);
    }
    if (!outbox_.Folder().empty()) {
        nextRescan_.store(services_.clock.WallSeconds() + kOutboxRescanSeconds);
    }
    NoteDue();
}

void MailDispatcher::Rescan() {
    if (outbox_.Folder().empty()) {
        return;
    }
    for (const auto& problem : outbox_.Rescan(services_.clock.WallSeconds())) {
        Error(problem);
    }
    nextRescan_.store(services_.clock.WallSeconds() + kOutboxRescanSeconds);
}

void MailDispatcher::RequestMailNotification(std::uint8_t kind, std::uint8_t device,
                                             std::uint8_t port) {
    // Mail settings are the same for every enclosure; one that keeps a backup
    // schedule (and so shows no E-mail page button) still has drives that fail.
    if (kind < 1 || kind > kMailKinds || (settings_.SuppressedKinds >> (kind - 1)) & 1u) {
        return;
    }
    // Every request is a mail of its own: a second one before the mail pass
    // must not replace the first.
    pending_.push_back({kind, EventReportLines(services_.devices, kind, device, port, alerts_),
                        services_.clock.WallSeconds()});
    services_.mailFlags.fetch_or(MailSendPending);
    Wake();
    if (follower_.requested) {
        const Request& queued = pending_.back();
        follower_.requested(kind, device, port, queued.report, queued.at);
    }
}

void MailDispatcher::ServiceMailFlags() {
    const std::uint8_t flags = services_.mailFlags.load();
    if (flags != 0) {
        Status(2, "Email=" + std::to_string(flags));
    }
    if (flags & MailReloadRequested) {
        LoadMailSettings(services_.store, settings_);
        services_.mailFlags.fetch_and(static_cast<std::uint8_t>(~MailReloadRequested));
    }
    if (flags & MailSendPending) {
        services_.mailFlags.fetch_and(static_cast<std::uint8_t>(~MailSendPending));
        std::vector<Request> requests = std::move(pending_);
        pending_.clear();
        for (const Request& request : requests) {
            if (!settings_.MailSettingsLoaded || settings_.RecipientList.empty()) {
                continue;
            }
            // A mail may wait for hours in the outbox: it says when its event was.
            std::vector<std::string> report = request.report;
            report.push_back(std::string(kEventTimeLabel) + TimeText(request.at));
            const MailMessage message = ComposeNotification(
                settings_, request.kind, report, services_.systemInfo, services_.appTitle);
            const std::string error = outbox_.Add(message, services_.clock.WallSeconds());
            if (!error.empty()) {
                Error("A notification mail is kept in memory only: " + error);
            }
        }
    }
    // Woken for mail, or the rescan is due: mails another run left may wait.
    if (flags != 0 || services_.clock.WallSeconds() >= nextRescan_.load()) {
        Rescan();
    }
    TakeNews();
    StartNext();
    NoteDue();
}

bool MailDispatcher::WorkDue() {
    const std::int64_t now = services_.clock.WallSeconds();
    return worker_.HasNews() || now >= nextRescan_.load() ||
           (!worker_.Busy() && now >= nextDue_.load());
}

void MailDispatcher::TakeNews() {
    MailWorkerNews news = worker_.TakeNews();
    for (const std::uint8_t state : news.events) {
        if (state == kSessionConnected) {
            Status(2, "Connect");
        } else if (state == kSessionSending) {
            Status(3, "Mail is Sending...");
        }
        // The body being written is no success yet: the server may still
        // refuse the mail at its final "."; success is shown on acceptance.
    }
    if (news.result) {
        Finished(*news.result);
    }
}

void MailDispatcher::Finished(const MailJobResult& result) {
    const SmtpOutcome& outcome = result.outcome;
    if (outcome.accepted) {
        Status(3, kMailSuccess);
    }
    if (result.id.empty()) {
        testRunning_ = false;
        auto done = std::move(testDone_);
        testDone_ = nullptr;
        if (done) {
            done(outcome);
        }
        return;
    }
    running_.clear();
    const Outbox::Mail* mail = outbox_.Find(result.id);
    if (mail == nullptr) {
        return;
    }
    const std::string what = MailTitle(mail->message);
    // Per recipient: the ones the server took have the mail, the ones it
    // refused for good never will; only those refused for now wait.
    std::vector<std::string> taken;
    std::vector<std::string> later;
    for (const std::string& to : mail->message.recipients) {
        const auto refusal =
            std::find_if(outcome.refused.begin(), outcome.refused.end(),
                         [&to](const RecipientRefusal& r) { return r.address == to; });
        if (refusal == outcome.refused.end()) {
            taken.push_back(to);
        } else if (refusal->Permanent()) {
            Log(what + " to " + EscapedText(to) + " was given up (" +
                EscapedText(RecipientRefusalText(*refusal)) + ")");
        } else {
            later.push_back(to);
        }
    }
    if (outcome.accepted) {
        Log(what + " was sent to " + EscapedText(Joined(taken)));
        if (later.empty()) {
            const std::string error = outbox_.Delivered(result.id);
            if (!error.empty()) {
                Error("A sent mail stays in the outbox and may be sent again after a restart: " +
                      error);
            }
            return;
        }
    }
    const bool everyoneRefused = outcome.step == "rcpt to" && !outcome.refused.empty();
    if (outcome.accepted || everyoneRefused) {
        if (later.empty()) {
            ++givenUp_;
            Error("A notification mail was refused for good: " + EscapedText(outcome.ErrorText()));
            Error(outbox_.GiveUp(result.id));
            return;
        }
        Error(outbox_.Narrow(result.id, later));
    }
    mail = outbox_.Find(result.id);
    const std::string recipients = EscapedText(Joined(mail->message.recipients));
    const std::string reason = EscapedText(outcome.ErrorText());
    if (outcome.Permanent()) {
        ++givenUp_;
        Log(what + " to " + recipients + " was given up (" + reason + ")");
        Error("A notification mail was refused for good: " + reason);
        Error(outbox_.GiveUp(result.id));
        return;
    }
    const int failures = mail->failures + 1;
    std::string fileError;
    if (outbox_.Failed(result.id, services_.clock.WallSeconds(), reason, &fileError)) {
        ++givenUp_;
        Log(what + " to " + recipients + " was given up after " + std::to_string(failures) +
            " attempts in 24 hours (" + reason + ")");
        Error("A notification mail was given up after 24 hours: " + reason);
    } else if (failures == 1) {
        Error("The notification mail could not be sent (" + reason +
              "); it waits in the outbox and is tried again.");
    }
    Error(fileError);
}

void MailDispatcher::Stop() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    worker_.Stop(kMailStopGrace);
    TakeNews();
}

void MailDispatcher::StartNext() {
    while (!stopped_ && !worker_.Busy()) {
        if (testJob_) {
            MailJob job = std::move(*testJob_);
            testJob_.reset();
            worker_.Start(std::move(job));
            return;
        }
        if (!settings_.MailSettingsLoaded) {
            return;
        }
        const std::int64_t now = services_.clock.WallSeconds();
        const Outbox::Mail* mail = outbox_.NextDue(now);
        if (mail == nullptr) {
            return;
        }
        const std::string id = mail->id;
        // A stored recipient that cannot be sent to costs only itself the mail.
        std::vector<std::string> usable;
        for (const std::string& to : mail->message.recipients) {
            if (IsPlainAddress(to)) {
                usable.push_back(to);
            } else {
                Log(MailTitle(mail->message) + " to \"" + EscapedText(to) +
                    "\" was given up: the address is not of the form name@domain");
            }
        }
        if (usable.size() != mail->message.recipients.size()) {
            Error(outbox_.Narrow(id, usable));
            mail = outbox_.Find(id);
        }
        if (const std::string problem = MessageProblem(mail->message); !problem.empty()) {
            ++givenUp_;
            Log(MailTitle(mail->message) + " was given up: " + EscapedText(problem));
            Error("A notification mail cannot be sent: " + EscapedText(problem));
            Error(outbox_.GiveUp(id));
            continue;
        }
        ServerChoice choice = ServerFromSettings(settings_);
        if (!choice.error.empty()) {
            Finished({id, Refused("connect", choice.error)});
            continue;
        }
        running_ = id;
        worker_.Start({id, std::move(choice.server), mail->message});
        return;
    }
}

void MailDispatcher::NoteDue() {
    const auto earliest = settings_.MailSettingsLoaded ? outbox_.EarliestAttempt() : std::nullopt;
    nextDue_.store(testJob_ || !earliest ? (testJob_ ? 0 : kNever) : *earliest);
    Wake();
}

TestMailStart MailDispatcher::StartTestMail(std::function<void(const SmtpOutcome&)> done) {
    if (settings_.MailEditDirty != 0) {
        return TestMailStart::Unsaved;
    }
    if (!settings_.MailSettingsLoaded) {
        return TestMailStart::NotReady;
    }
    if (testRunning_) {
        return TestMailStart::Busy;
    }
    MailMessage message = ComposeTestMail(settings_, services_.systemInfo, services_.appTitle);
    message.messageId = NewMessageId(services_.clock.WallSeconds(), message.fromAddress);
    ServerChoice choice = ServerFromSettings(settings_);
    std::string problem = MessageProblem(message);
    if (problem.empty()) {
        problem = choice.error;
    }
    if (!problem.empty()) {
        if (done) {
            done(Refused(choice.error.empty() ? "message" : "connect", problem));
        }
        return TestMailStart::Started;
    }
    testRunning_ = true;
    testDone_ = std::move(done);
    testJob_ = MailJob{{}, std::move(choice.server), message};
    StartNext();
    NoteDue();
    if (follower_.testStarted) {
        follower_.testStarted();
    }
    return TestMailStart::Started;
}

std::string MailDispatcher::Save(const MailPageFields& fields) {
    std::string message = SaveMailSettings(services_.store, settings_, fields, services_.mailFlags);
    Wake();  // the reload it asks for
    return message;
}

}  // namespace raid
