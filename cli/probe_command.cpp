#include "cli/probe_command.h"

#include <cstdio>
#include <string>

#include "device/command_channel.h"
#include "device/device_state.h"
#include "monitor/status_text.h"

namespace raid::cli {
namespace {

constexpr std::size_t kFirmwareBytes = 88;
constexpr std::size_t kControllerName = 160;
constexpr std::size_t kNameLength = 40;

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += Hex2(b);
    }
    return text;
}

std::string InquiryName(Transport& transport, std::uint8_t disk) {
    const DeviceHandle h = transport.OpenDevice(disk);
    if (h == kInvalidHandle) {
        return {};
    }
    std::array<std::uint8_t, kInquiryLength> inquiry{};
    const bool ok = transport.InquiryDevice(h, inquiry);
    transport.CloseHandle(h);
    if (!ok) {
        return {};
    }
    std::string name(inquiry.begin() + 8, inquiry.begin() + 32);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) {
        name.pop_back();
    }
    return name + " (from INQUIRY)";
}

}  // namespace

int RunProbe(Platform& platform, Clock& clock) {
    Transport& transport = *platform.transport;
    CommandChannel channel(transport, clock);
    std::uint8_t target = 0;
    channel.SetTargetResolver([&target] { return target; });
    if (platform.lock) {
        channel.SetEnclosureLock(*platform.lock);
    }

    int opened = 0;
    int answered = 0;
    for (std::uint8_t disk = 0; disk < kMaxDisks; ++disk) {
        const DeviceHandle h = transport.OpenDevice(disk);
        if (h == kInvalidHandle) {
            continue;
        }
        transport.CloseHandle(h);
        ++opened;
        target = disk;
        ReplySector reply{};
        const CommandStatus probe = channel.SendCommand(CmdProbe, reply);
        if (probe != kStatusOk) {
            std::printf("disk %u: no enclosure (probe status %s)\n", disk, Hex2(probe).c_str());
            continue;
        }
        const CommandStatus info = channel.SendCommand(CmdGetControllerInfo, reply);
        if (info != kStatusOk) {
            std::printf("disk %u: answered the probe, but not the controller query (status %s)\n",
                        disk, Hex2(info).c_str());
            continue;
        }
        ++answered;
        const std::span<const std::uint8_t> firmware(reply.data() + kFirmwareBytes, 8);
        const bool recognised = !(firmware[5] == 0 && (firmware[4] == 0x50 || firmware[4] == 0x05));
        const std::string name = reply[kControllerName] != 0
                                     ? ModelText(std::span<const std::uint8_t>(
                                           reply.data() + kControllerName, kNameLength))
                                     : InquiryName(transport, disk);
        std::printf("disk %u: %s, chip variant %u, firmware %s (%s), name \"%s\"\n", disk,
                    recognised ? "enclosure" : "controller of an unsupported family",
                    channel.ChipVariant(), HexBytes(firmware).c_str(),
                    FirmwareText(std::span<const std::uint8_t, 8>(firmware.data(), 8)).c_str(),
                    name.c_str());
    }
    if (answered > 0) {
        return 0;
    }
    const std::string hint = PermissionProblem(transport);
    if (!hint.empty()) {
        std::fprintf(stderr, "%s\n", hint.c_str());
    } else if (opened == 0) {
        std::fprintf(stderr, "No disk could be opened: no enclosure found.\n");
    } else {
        std::fprintf(stderr, "No enclosure answered on the %d disk(s) that opened.\n", opened);
    }
    return 1;
}

}  // namespace raid::cli
