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
        Note(std::chrono::steady_clock::now() - start);
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

  private:
    void Note(std::chrono::steady_clock::duration took) {
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(took).count();
        std::lock_guard lock(mutex_);
        longestUs_ = std::max<long long>(longestUs_, us);
    }

    std::unique_ptr<Transport> inner_;
    std::chrono::microseconds latency_;
    std::mutex mutex_;
    long long longestUs_ = 0;
};

}  // namespace raid::uitest
