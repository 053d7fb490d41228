#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace raid {

// Request bits served by the polling thread, in priority order.
inline constexpr std::uint8_t ReqStatusPoll = 0x01;
inline constexpr std::uint8_t ReqApplySetting = 0x02;
inline constexpr std::uint8_t ReqScanCommand = 0x04;
inline constexpr std::uint8_t ReqSmartThresholds = 0x08;
inline constexpr std::uint8_t ReqPollArmed = 0x10;
inline constexpr std::uint8_t ReqSmartData = 0x20;
// The bits that wake the polling thread; ReqPollArmed alone never does.
inline constexpr std::uint8_t kServedRequests = 0x2F;

struct PollState {
    std::atomic<std::uint8_t> PollRequest{0};
    std::atomic<std::uint8_t> PollBusy{0};
    std::atomic<std::uint8_t> StatusPollRunning{0};
    // A vendor command code waiting for the next ReqApplySetting.
    std::atomic<std::uint8_t> QueuedCommand{0};
    std::uint32_t pollCounter = 0;

    // The "Device1" / "Device2" boxes: an unticked slot is not polled.
    std::array<std::atomic<bool>, 2> slotChecked{true, true};
    // The slot the window shows, and whether the window is switching it.
    std::uint8_t shownSlot = 0;
    bool switchingDevice = false;
    // When each slot last answered a whole status poll (wall seconds, 0: never).
    std::array<std::int64_t, 2> lastPollSuccessAt{};
    // What the enclosure answered the last queued command: 0 taken, another
    // value its refusal (or a local failure code); kNoSettingSent until one
    // has been sent.
    static constexpr int kNoSettingSent = -1;
    std::atomic<int> lastSettingStatus{kNoSettingSent};
};

}  // namespace raid
