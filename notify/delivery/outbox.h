#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "notify/delivery/outbox_lock.h"
#include "notify/smtp/smtp_client.h"

namespace raid {

// Notifications waiting for a server to accept them: one file per mail in a
// folder beside the event logs, so that a restart resumes them. Times are
// calendar seconds. Main thread only.
class Outbox {
  public:
    static constexpr std::int64_t kFirstPause = 60;
    static constexpr std::int64_t kLongestPause = 3600;
    static constexpr std::int64_t kGiveUpAfter = 24 * 3600;

    struct Mail {
        std::string id;  // the file's name without ".mail"
        std::int64_t created = 0;
        std::int64_t nextAttempt = 0;
        int failures = 0;
        std::string lastError;
        MailMessage message;
    };

    explicit Outbox(std::string folder);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Reads the mails a run before left behind, when no other run of the
    // program holds the folder. A file that cannot be read is moved aside;
    // the texts say which and why, and so is one whose times lie before the
    // epoch or more than a day after `now`. Without a folder there is nothing
    // to read.
    std::vector<std::string> Resume(std::int64_t now);

    // Looks at the folder again. The run that holds it takes over the mails
    // of runs that have ended since (a run that does not hold the folder
    // sends its own mails while it lives, and leaves what is left); a run
    // that does not hold it tries again to take it over.
    std::vector<std::string> Rescan(std::int64_t now) { return Resume(now); }
    bool HoldsFolder() const { return lock_.Held(); }

    // Keeps a new mail, due at once. The mail is kept in memory even when its
    // file cannot be written; the returned text then says why.
    std::string Add(const MailMessage& message, std::int64_t now, std::string* id = nullptr);

    // The oldest mail whose attempt is due at `now`, if any.
    const Mail* NextDue(std::int64_t now) const;
    // When the next attempt of any mail is due.
    std::optional<std::int64_t> EarliestAttempt() const;

    // The server accepted the mail: it is forgotten. Returns an error text
    // when its file could not be removed.
    std::string Delivered(const std::string& id);

    // An attempt failed. The pause before the next one doubles from one
    // minute up to one hour; after 24 hours the mail is given up (true).
    // `fileError` says why the mail's file could not be updated.
    bool Failed(const std::string& id, std::int64_t now, const std::string& error,
                std::string* fileError = nullptr);

    // From now on the mail goes only to `recipients` (the others got it or
    // never will). Returns an error text when its file could not be updated.
    std::string Narrow(const std::string& id, const std::vector<std::string>& recipients);

    // Drops a mail that can never be sent.
    std::string GiveUp(const std::string& id);

    const Mail* Find(const std::string& id) const;
    std::size_t Size() const { return mails_.size(); }
    const std::string& Folder() const { return folder_; }

  private:
    std::string PathOf(const std::string& id) const;
    std::string Save(const Mail& mail) const;
    std::string NewId(std::int64_t now);

    // Whether the run whose mail `id` names has ended (or the mail is not a
    // run's own); its stale lock file is removed then.
    bool OwnerGone(const std::string& id) const;

    std::string folder_;
    OutboxLock lock_;
    // Held while this run does not hold the folder; names its mails.
    OutboxLock runLock_;
    std::string runTag_;
    std::vector<Mail> mails_;  // oldest first
    // Mails done with in this run whose file could not be removed: a rescan
    // must not send them again.
    std::vector<std::string> done_;
    unsigned sequence_ = 0;
};

// The pause after `failures` failed attempts (1 or more).
std::int64_t RetryPause(int failures);

}  // namespace raid
