#include "notify/delivery/outbox.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <system_error>

#include "device/utf8_path.h"
#include "notify/compose/message_id.h"
#include "notify/settings/private_file.h"

namespace raid {
namespace {

constexpr const char* kSuffix = ".mail";
constexpr std::size_t kMaxMailBytes = 4 << 20;

std::string FormatMail(const Outbox::Mail& mail) {
    nlohmann::ordered_json j;
    j["created"] = mail.created;
    j["nextAttempt"] = mail.nextAttempt;
    j["failures"] = mail.failures;
    j["lastError"] = mail.lastError;
    j["fromName"] = mail.message.fromName;
    j["fromAddress"] = mail.message.fromAddress;
    j["recipients"] = mail.message.recipients;
    j["subject"] = mail.message.subject;
    j["body"] = mail.message.bodyLines;
    j["messageId"] = mail.message.messageId;
    return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool IsStringList(const nlohmann::json& j) {
    return j.is_array() &&
           std::all_of(j.begin(), j.end(), [](const nlohmann::json& e) { return e.is_string(); });
}

// A mail's times lie between the epoch and a day past now (a clock set back a
// little): anything else was not written by us, would overflow the age of the
// mail, or would keep it waiting for ever.
bool IsSaneTime(std::int64_t t, std::int64_t now) {
    return t >= 0 && (t <= now || t - std::max<std::int64_t>(now, 0) <= Outbox::kGiveUpAfter);
}

bool ParseMail(const std::string& text, std::int64_t now, Outbox::Mail& mail) {
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (!j.is_object()) {
        return false;
    }
    for (const char* key : {"created", "nextAttempt", "failures"}) {
        if (!j.contains(key) || !j[key].is_number_integer()) {
            return false;
        }
    }
    for (const char* key : {"lastError", "fromName", "fromAddress", "subject"}) {
        if (!j.contains(key) || !j[key].is_string()) {
            return false;
        }
    }
    if (!j.contains("recipients") || !IsStringList(j["recipients"]) || !j.contains("body") ||
        !IsStringList(j["body"])) {
        return false;
    }
    mail.created = j["created"].get<std::int64_t>();
    mail.nextAttempt = j["nextAttempt"].get<std::int64_t>();
    if (!IsSaneTime(mail.created, now) || !IsSaneTime(mail.nextAttempt, now)) {
        return false;
    }
    mail.failures =
        static_cast<int>(std::clamp<std::int64_t>(j["failures"].get<std::int64_t>(), 0, 1'000'000));
    mail.lastError = j["lastError"].get<std::string>();
    mail.message.fromName = j["fromName"].get<std::string>();
    mail.message.fromAddress = j["fromAddress"].get<std::string>();
    mail.message.subject = j["subject"].get<std::string>();
    mail.message.recipients = j["recipients"].get<std::vector<std::string>>();
    mail.message.bodyLines = j["body"].get<std::vector<std::string>>();
    // Mails written before Message-IDs were kept have none.
    if (j.contains("messageId") && j["messageId"].is_string()) {
        mail.message.messageId = j["messageId"].get<std::string>();
    }
    mail.message.composedAt = mail.created;
    return true;
}

}  // namespace

std::int64_t RetryPause(int failures) {
    std::int64_t pause = Outbox::kFirstPause;
    for (int i = 1; i < failures && pause < Outbox::kLongestPause; ++i) {
        pause *= 2;
    }
    return std::min(pause, Outbox::kLongestPause);
}

namespace {

constexpr const char* kRunLockPrefix = ".run-";
constexpr const char* kRunLockSuffix = ".lock";

std::string RunLockName(const std::string& tag) {
    return kRunLockPrefix + tag + kRunLockSuffix;
}

// A mail of a run that did not hold the folder is named "<time>-<n>-<tag>".
std::string RunTagOf(const std::string& id) {
    const auto first = id.find('-');
    const auto second = first == std::string::npos ? first : id.find('-', first + 1);
    return second == std::string::npos ? std::string() : id.substr(second + 1);
}

std::string NewRunTag() {
    std::random_device source;
    char tag[17];
    std::snprintf(tag, sizeof tag, "%08x%08x", source(), source());
    return tag;
}

}  // namespace

Outbox::Outbox(std::string folder) : folder_(std::move(folder)) {}

Outbox::~Outbox() {
    // A run that leaves no mail behind leaves no lock file either.
    if (runLock_.Held() && mails_.empty()) {
        runLock_.RemoveAndRelease();
    }
}

bool Outbox::OwnerGone(const std::string& id) const {
    const std::string tag = RunTagOf(id);
    if (tag.empty() || tag == runTag_) {
        return true;
    }
    OutboxLock probe;
    std::string error;
    if (!probe.Acquire(folder_, error, RunLockName(tag))) {
        return false;  // the run lives, or its lock cannot be told: leave its mail
    }
    probe.RemoveAndRelease();
    return true;
}

std::string Outbox::PathOf(const std::string& id) const {
    return Utf8FromPath(PathFromUtf8(folder_) / PathFromUtf8(id + kSuffix));
}

std::string Outbox::Save(const Mail& mail) const {
    std::error_code ec;
    std::filesystem::create_directories(PathFromUtf8(folder_), ec);
    if (ec) {
        return "cannot make the mail folder " + folder_ + ": " + ec.message();
    }
    return SavePrivateFile(PathOf(mail.id), FormatMail(mail));
}

std::string Outbox::NewId(std::int64_t now) {
    for (;;) {
        std::string id = std::to_string(now) + "-" + std::to_string(++sequence_);
        if (!lock_.Held() && !runTag_.empty()) {
            id += "-" + runTag_;
        }
        std::error_code ec;
        if (!Find(id) && !std::filesystem::exists(PathFromUtf8(PathOf(id)), ec)) {
            return id;
        }
    }
}

std::vector<std::string> Outbox::Resume(std::int64_t now) {
    std::vector<std::string> problems;
    if (folder_.empty()) {
        return problems;
    }
    std::string lockError;
    if (!lock_.Acquire(folder_, lockError)) {
        if (!lockError.empty()) {
            problems.push_back("Waiting mails are not resumed: " + lockError);
        }
        // The holder takes this run's mails over only once it has ended.
        if (!runLock_.Held()) {
            for (int tries = 0; tries < 4 && !runLock_.Held(); ++tries) {
                runTag_ = NewRunTag();
                std::string runError;
                runLock_.Acquire(folder_, runError, RunLockName(runTag_));
            }
            if (!runLock_.Held()) {
                runTag_.clear();
            }
        }
        return problems;
    }
    std::error_code ec;
    std::vector<std::string> ids;
    for (std::filesystem::directory_iterator it(PathFromUtf8(folder_), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        if (path.extension() == kSuffix) {
            ids.push_back(Utf8FromPath(path.stem()));
        }
    }
    if (ec && ec != std::errc::no_such_file_or_directory) {
        problems.push_back("cannot read the mail folder " + folder_ + ": " + ec.message());
    }
    std::sort(ids.begin(), ids.end());
    for (const auto& id : ids) {
        if (Find(id) || std::find(done_.begin(), done_.end(), id) != done_.end() ||
            !OwnerGone(id)) {
            continue;
        }
        const PrivateFileLoad load = LoadPrivateFile(PathOf(id), kMaxMailBytes);
        Mail mail;
        mail.id = id;
        if (load.outcome == PrivateFileLoad::Outcome::Loaded && ParseMail(load.data, now, mail)) {
            mails_.push_back(std::move(mail));
            continue;
        }
        if (load.outcome == PrivateFileLoad::Outcome::Missing) {
            continue;
        }
        std::string moveError;
        const std::string aside = MoveAside(PathOf(id), moveError);
        const std::string why = load.error.empty() ? "it is not a mail" : load.error;
        problems.push_back("The waiting mail " + PathOf(id) + " could not be read (" + why + ")" +
                           (aside.empty() ? "; " + moveError : "; moved to " + aside));
    }
    std::stable_sort(mails_.begin(), mails_.end(),
                     [](const Mail& a, const Mail& b) { return a.created < b.created; });
    return problems;
}

std::string Outbox::Add(const MailMessage& message, std::int64_t now, std::string* id) {
    Mail mail;
    mail.id = NewId(now);
    mail.created = now;
    mail.nextAttempt = now;
    mail.message = message;
    // Every attempt carries the same Date and Message-ID, so a reader sees
    // when the news is from and a second copy is known as such.
    mail.message.composedAt = now;
    if (mail.message.messageId.empty()) {
        mail.message.messageId = NewMessageId(now, message.fromAddress);
    }
    std::string error = Save(mail);
    if (id != nullptr) {
        *id = mail.id;
    }
    mails_.push_back(std::move(mail));
    return error;
}

const Outbox::Mail* Outbox::Find(const std::string& id) const {
    const auto it =
        std::find_if(mails_.begin(), mails_.end(), [&id](const Mail& m) { return m.id == id; });
    return it == mails_.end() ? nullptr : &*it;
}

const Outbox::Mail* Outbox::NextDue(std::int64_t now) const {
    const Mail* due = nullptr;
    for (const Mail& mail : mails_) {
        if (mail.nextAttempt <= now && (due == nullptr || mail.nextAttempt < due->nextAttempt)) {
            due = &mail;
        }
    }
    return due;
}

std::optional<std::int64_t> Outbox::EarliestAttempt() const {
    std::optional<std::int64_t> earliest;
    for (const Mail& mail : mails_) {
        if (!earliest || mail.nextAttempt < *earliest) {
            earliest = mail.nextAttempt;
        }
    }
    return earliest;
}

std::string Outbox::Delivered(const std::string& id) {
    return GiveUp(id);
}

std::string Outbox::GiveUp(const std::string& id) {
    mails_.erase(
        std::remove_if(mails_.begin(), mails_.end(), [&id](const Mail& m) { return m.id == id; }),
        mails_.end());
    std::string error = RemovePrivateFile(PathOf(id));
    if (!error.empty()) {
        done_.push_back(id);
    }
    return error;
}

std::string Outbox::Narrow(const std::string& id, const std::vector<std::string>& recipients) {
    const auto it =
        std::find_if(mails_.begin(), mails_.end(), [&id](const Mail& m) { return m.id == id; });
    if (it == mails_.end()) {
        return {};
    }
    it->message.recipients = recipients;
    return Save(*it);
}

bool Outbox::Failed(const std::string& id, std::int64_t now, const std::string& error,
                    std::string* fileError) {
    const auto it =
        std::find_if(mails_.begin(), mails_.end(), [&id](const Mail& m) { return m.id == id; });
    if (it == mails_.end()) {
        return false;
    }
    Mail& mail = *it;
    ++mail.failures;
    mail.lastError = error;
    if (now - mail.created >= kGiveUpAfter) {
        const std::string removeError = GiveUp(id);
        if (fileError != nullptr) {
            *fileError = removeError;
        }
        return true;
    }
    mail.nextAttempt = now + RetryPause(mail.failures);
    const std::string saveError = Save(mail);
    if (fileError != nullptr) {
        *fileError = saveError;
    }
    return false;
}

}  // namespace raid
