#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "device/transport.h"

namespace raid::testing {

// A disk that is only a table: sector contents by LBA, an INQUIRY answer, and
// sets of operations that fail. Every call is recorded. Each successful open
// gets a fresh handle (100, 101, ...), so decorators that map handles to
// disks can be checked.
class FakeTransport : public Transport {
  public:
    using Sector = std::array<std::uint8_t, kSectorSize>;

    enum class Op { Open, Read, Inquiry, Close };
    struct Call {
        Op op;
        std::uint8_t code = 0;  // Open only
        DeviceHandle handle = kInvalidHandle;
        std::uint32_t lba = 0;    // Read only
        std::uint32_t count = 0;  // Read only
    };

    DeviceHandle OpenDevice(std::uint8_t code) override {
        calls.push_back({Op::Open, code, kInvalidHandle, 0, 0});
        if (failOpen.count(code) != 0) {
            lastOpenFailure = OpenFailure{OpenFailure::Kind::NotFound, 2, "fake"};
            return kInvalidHandle;
        }
        const DeviceHandle handle = nextHandle++;
        open.insert(handle);
        return handle;
    }

    // Fills each sector from `sectors` (zeros for an LBA not in the table).
    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        calls.push_back({Op::Read, 0, handle, lba, count});
        if (open.count(handle) == 0 || count == 0 || buffer.size() / kSectorSize < count ||
            failReadLbas.count(lba) != 0) {
            return false;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto it = sectors.find(lba + i);
            const Sector content = it == sectors.end() ? Sector{} : it->second;
            std::copy(content.begin(), content.end(), buffer.begin() + i * kSectorSize);
        }
        return true;
    }

    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override {
        calls.push_back({Op::Inquiry, 0, handle, 0, 0});
        if (open.count(handle) == 0 || buffer.size() < kInquiryLength || failInquiry) {
            return false;
        }
        std::copy(inquiry.begin(), inquiry.end(), buffer.begin());
        return true;
    }

    void CloseHandle(DeviceHandle handle) override {
        calls.push_back({Op::Close, 0, handle, 0, 0});
        open.erase(handle);
    }

    std::optional<OpenFailure> LastOpenFailure() const override { return lastOpenFailure; }

    // Configuration.
    std::set<std::uint8_t> failOpen;
    std::set<std::uint32_t> failReadLbas;
    bool failInquiry = false;
    std::map<std::uint32_t, Sector> sectors;
    std::array<std::uint8_t, kInquiryLength> inquiry{};
    std::optional<OpenFailure> lastOpenFailure;

    // Observations.
    std::vector<Call> calls;
    std::set<DeviceHandle> open;
    DeviceHandle nextHandle = 100;
};

}  // namespace raid::testing
