#include "notify/delivery/mail_worker.h"

namespace raid {

MailWorker::MailWorker(MailSender sender, Clock& clock, std::function<void()> ready)
    : sender_(std::move(sender)), clock_(clock), ready_(std::move(ready)) {
    thread_ = std::thread([this] { Run(); });
}

MailWorker::~MailWorker() {
    Stop(std::chrono::milliseconds(0));
}

void MailWorker::Stop(std::chrono::milliseconds grace) {
    if (!thread_.joinable()) {
        return;
    }
    smtpStop_.Request(grace);
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool MailWorker::Start(MailJob job) {
    {
        std::lock_guard lock(mutex_);
        if (busy_.load() || job_) {
            return false;
        }
        busy_.store(true);
        job_ = std::move(job);
    }
    wake_.notify_all();
    return true;
}

MailWorkerNews MailWorker::TakeNews() {
    std::lock_guard lock(mutex_);
    MailWorkerNews news{std::move(events_), std::move(result_)};
    events_.clear();
    result_.reset();
    news_.store(false);
    if (news.result) {
        busy_.store(false);
    }
    return news;
}

void MailWorker::Event(std::uint8_t state) {
    session_.store(state);
    {
        std::lock_guard lock(mutex_);
        events_.push_back(state);
        news_.store(true);
    }
    if (ready_) {
        ready_();
    }
}

void MailWorker::Run() {
    const SmtpEvents events{
        .connected = [this] { Event(kSessionConnected); },
        .disconnected = [this] { Event(kSessionConnecting); },
        .workBegin = [this] { Event(kSessionSending); },
        .workEnd = [this] { Event(kSessionSent); },
        .stop = &smtpStop_,
    };
    for (;;) {
        MailJob job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || job_.has_value(); });
            if (stop_) {
                return;
            }
            job = std::move(*job_);
            job_.reset();
        }
        session_.store(kSessionConnecting);
        SmtpOutcome outcome = sender_(job.server, job.message, clock_, events);
        {
            std::lock_guard lock(mutex_);
            result_ = MailJobResult{job.id, std::move(outcome)};
            news_.store(true);
        }
        if (ready_) {
            ready_();
        }
    }
}

}  // namespace raid
