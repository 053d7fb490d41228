#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "device/transport.h"

namespace raid {

// Records what the storage stack did and what the enclosure answered, one
// line per operation, so that a user's report can be replayed as a test:
//   OPEN disk=<n|X:> ok|fail
//   READ10 disk=<n> lba=0x<HEX> ok|fail [data=<1024 hex digits>]  (reply sector only)
//   INQUIRY disk=<n> ok|fail data=<72 hex digits>
//   CLOSE disk=<n>
// The file is opened in append mode for each line, so it can be moved or
// deleted while the program runs. Tracing never changes an operation's
// result: a line that cannot be written is dropped and counted.
class TraceTransport final : public Transport {
  public:
    TraceTransport(std::unique_ptr<Transport> inner, std::filesystem::path file);

    DeviceHandle OpenDevice(std::uint8_t code) override;
    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override;
    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
    void CloseHandle(DeviceHandle handle) override;
    std::optional<OpenFailure> LastOpenFailure() const override;

    std::size_t DroppedLines() const;

  private:
    std::string DiskOf(DeviceHandle handle) const;
    void Write(const std::string& line);

    std::unique_ptr<Transport> inner_;
    std::filesystem::path file_;
    mutable std::mutex mutex_;
    std::map<DeviceHandle, std::uint8_t> codes_;
    std::size_t dropped_ = 0;
};

// Wraps `inner` in a TraceTransport when `traceFile` (the value of RAIDGUI_TRACE,
// as the front end read it) names a file; returns `inner` unchanged otherwise.
std::unique_ptr<Transport> MakeTracedIfRequested(std::unique_ptr<Transport> inner,
                                                 const char* traceFile);

}  // namespace raid
