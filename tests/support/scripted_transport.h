#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

#include "device/command_codes.h"
#include "device/transport.h"

namespace raid::testing {

// A controller that is only a script: it records every read and answers the
// reply sector from a function of the poll number. Protocol tests use it to
// look at the exact read sequence, which a real model would hide.
class ScriptedTransport : public Transport {
  public:
    using Sector = std::array<std::uint8_t, kSectorSize>;
    // Called for the n-th read of the reply sector (1-based); nullopt means
    // "plain disk content", i.e. no signed reply yet.
    using ReplyScript = std::function<std::optional<Sector>(int poll)>;

    DeviceHandle OpenDevice(std::uint8_t code) override {
        opened.push_back(code);
        if (failOpen) {
            return kInvalidHandle;
        }
        ++openHandles;
        return 7;
    }

    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        if (handle == kInvalidHandle || count != 1 || buffer.size() < kSectorSize) {
            return false;
        }
        reads.push_back(lba);
        if (failReadAt && *failReadAt == reads.size()) {
            return false;
        }
        std::fill(buffer.begin(), buffer.begin() + kSectorSize, std::uint8_t{0xA5});
        if (lba == kReplySector) {
            ++replyPolls;
            if (reply) {
                if (auto sector = reply(replyPolls)) {
                    std::copy(sector->begin(), sector->end(), buffer.begin());
                }
            }
        }
        return true;
    }

    bool InquiryDevice(DeviceHandle, std::span<std::uint8_t>) override { return false; }
    void CloseHandle(DeviceHandle) override { --openHandles; }

    // The reads of the command itself, without the reply polls that follow.
    std::vector<std::uint32_t> SequenceReads() const {
        std::vector<std::uint32_t> out;
        for (std::size_t i = 0; i < reads.size(); ++i) {
            const bool pollSeparator = reads[i] == kSeparatorSector && i + 1 < reads.size() &&
                                       reads[i + 1] == kReplySector;
            if (reads[i] == kReplySector || pollSeparator) {
                break;
            }
            out.push_back(reads[i]);
        }
        return out;
    }

    static Sector SignedReply(std::uint8_t status, bool secondPair = false) {
        Sector s{};
        const char* head = secondPair ? "__DRAVOLT2109A__" : "__KORVADE6182A__";
        const char* tail = secondPair ? "_PORTMULTIPLIER_" : "__SATA6GRAID01__";
        std::memcpy(s.data(), head, kSignatureLength);
        std::memcpy(s.data() + kSecondSignatureOffset, tail, kSignatureLength);
        s[kReplyStatusOffset] = status;
        return s;
    }

    ReplyScript reply;
    bool failOpen = false;
    std::optional<std::size_t> failReadAt;  // 1-based index into `reads`
    std::vector<std::uint32_t> reads;
    std::vector<std::uint8_t> opened;
    int replyPolls = 0;
    int openHandles = 0;
};

}  // namespace raid::testing
