#pragma once

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

#include "device/transport.h"

namespace raid::uitest {

// A transport whose reads and inquiries take as long as a real USB disk's
// (0.5 ms is typical for one sector), so that a stand-in enclosure shows how
// the window behaves on real hardware. Also keeps the longest single read.
class LatencyTransport final : public Transport {
  public:
    LatencyTransport(std::unique_ptr<Transport> inner, std::chrono::microseconds latency)
        : inner_(std::move(inner)), latency_(latency) {}

    DeviceHandle OpenDevice(std::uint8_t code) override { return inner_->OpenDevice(code); }
    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(latency_);
        const bool ok = inner_->ReadSectors(handle, lba, buffer, count);
        Note(std::chrono::steady_clock::now() - start, lba);
        return ok;
    }
    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override {
        std::this_thread::sleep_for(latency_);
        return inner_->InquiryDevice(handle, buffer);
    }
    void CloseHandle(DeviceHandle handle) override { inner_->CloseHandle(handle); }
    std::optional<OpenFailure> LastOpenFailure() const override {
        return inner_->LastOpenFailure();
    }

    // Longest read so far, in microseconds.
    long long LongestReadUs() {
        std::lock_guard lock(mutex_);
        return longestUs_;
    }
    // Reads issued so far, and how many of them polled the reply sector.
    long long Reads() {
        std::lock_guard lock(mutex_);
        return reads_;
    }
    long long ReplyPolls() {
        std::lock_guard lock(mutex_);
        return replyPolls_;
    }
    // What the reads themselves took, in microseconds (latency included).
    long long ReadTimeUs() {
        std::lock_guard lock(mutex_);
        return readTimeUs_;
    }

  private:
    void Note(std::chrono::steady_clock::duration took, std::uint32_t lba) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
        std::lock_guard lock(mutex_);
        longestUs_ = std::max<long long>(longestUs_, us);
        ++reads_;
        replyPolls_ += lba == kReplyLba;
        readTimeUs_ += us;
    }

    static constexpr std::uint32_t kReplyLba = 17;

    std::unique_ptr<Transport> inner_;
    std::chrono::microseconds latency_;
    std::mutex mutex_;
    long long longestUs_ = 0;
    long long reads_ = 0;
    long long replyPolls_ = 0;
    long long readTimeUs_ = 0;
};

}  // namespace raid::uitest
