#include "maintenance/spi_flash_access.h"

#include <algorithm>
#include <cstdio>

#include "device/enclosure_lock.h"
#include "maintenance/firmware_image.h"

namespace raid {
namespace {

struct OperationTexts {
    std::uint32_t step;
    const char* attempt;  // followed by k
    const char* final;
};

OperationTexts TextsOf(bool read, bool erase) {
    if (read) {
        return {kFlashPage, "ReadSPI fail ", "ReadSPI fail, Address = "};
    }
    if (erase) {
        return {kFlashEraseStep, "EraseSPI fail ", "EraseSPI fail, Address = "};
    }
    return {kFlashPage, "WriteSPI fail", "WriteSPI fail, Address = "};
}

}  // namespace

std::string FlashAddressText(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(address));
    return text;
}

SpiFlashAccess::SpiFlashAccess(Services services, std::atomic<std::uint32_t>& progressCounter)
    : s_(std::move(services)), progress_(progressCounter) {}

bool SpiFlashAccess::ReadSpiFlash(std::uint32_t start, std::uint32_t length,
                                  std::span<std::uint8_t> buffer) {
    if (buffer.size() < length) {
        return false;
    }
    return Run(Operation::Read, start, length, buffer, {});
}

bool SpiFlashAccess::EraseSpiFlash(std::uint32_t start, std::uint32_t length) {
    return Run(Operation::Erase, start, length, {}, {});
}

bool SpiFlashAccess::ProgramSpiFlash(std::uint32_t start, std::uint32_t length,
                                     std::span<const std::uint8_t> source) {
    if (source.size() < length) {
        return false;
    }
    return Run(Operation::Program, start, length, {}, source);
}

void SpiFlashAccess::Message(const std::string& text, const std::string& caption, DialogIcon icon) {
    if (s_.message) {
        s_.message(text, caption, icon);
    }
}

void SpiFlashAccess::Pump() {
    if (pump_) {
        pump_();
    }
}

std::optional<std::uint8_t> SpiFlashAccess::TargetDisk(Operation op) {
    const DeviceState& dev = s_.devices;
    // Discovery reads the flash of the disk it is probing, before that disk
    // has a place in any table.
    if (op == Operation::Read && dev.DetectionRunning.load()) {
        return dev.EntryUnderTest.load();
    }
    const std::uint16_t index = s_.flags.flashTargetIndex.load();
    if (op != Operation::Read) {
        if (dev.table.count == 0) {
            s_.status.SetPanel(kPanelErrors, "Device not found!!!");
            Message("No Device found !", "Message", DialogIcon::Information);
            return std::nullopt;
        }
        if (index >= dev.table.count) {
            s_.status.SetPanel(kPanelErrors, "No Upgrade Mode!!!");
            Message("No Upgrade Mode !", "Message", DialogIcon::Information);
            return std::nullopt;
        }
    } else if (index >= dev.table.count) {
        return std::nullopt;  // no device to read from
    }
    return dev.table.Disk(index);
}

CommandStatus SpiFlashAccess::Step(Operation op, DeviceHandle handle, std::uint32_t address,
                                   std::uint32_t offset, std::uint32_t length,
                                   std::span<std::uint8_t> into,
                                   std::span<const std::uint8_t> from) {
    const std::uint32_t own = std::min(kFlashPage, length - offset);
    switch (op) {
        case Operation::Erase:
            return s_.channel.FlashErase(handle, address);
        case Operation::Read: {
            FlashChunk chunk{};
            const CommandStatus status = s_.channel.FlashRead(handle, address, chunk);
            if (status == kStatusOk) {
                std::copy_n(chunk.begin(), own, into.begin() + offset);
            }
            return status;
        }
        case Operation::Program:
        default: {
            FlashChunk chunk;
            chunk.fill(0xFF);
            std::copy_n(from.begin() + offset, own, chunk.begin());
            return s_.channel.FlashProgram(handle, address, chunk);
        }
    }
}

bool SpiFlashAccess::Run(Operation op, std::uint32_t start, std::uint32_t length,
                         std::span<std::uint8_t> into, std::span<const std::uint8_t> from) {
    const OperationTexts texts = TextsOf(op == Operation::Read, op == Operation::Erase);
    const std::optional<std::uint8_t> disk = TargetDisk(op);
    if (!disk) {
        return false;
    }
    // Addresses travel as address/128 in 16 bits: one past 8 MiB would wrap
    // round to the start of the flash.
    const std::uint64_t covered =
        (static_cast<std::uint64_t>(length) + texts.step - 1) / texts.step * texts.step;
    if (start + covered > kFlashAddressLimit) {
        s_.status.SetPanel(kPanelErrors, texts.final + FlashAddressText(kFlashAddressLimit));
        return false;
    }
    const EnclosureLockHold hold(s_.channel.enclosureLock(), *disk, s_.clock, kLockWaitMs, pump_);
    if (!hold.held()) {
        s_.status.SetPanel(kPanelErrors, "The device is in use by another program.");
        return false;
    }
    const DeviceHandle handle = s_.transport.OpenDevice(*disk);
    if (handle == kInvalidHandle) {
        Message("Invalid Drive", "", DialogIcon::None);
        return false;
    }
    std::uint32_t address = start;
    for (std::uint32_t offset = 0; offset < length; offset += texts.step, address += texts.step) {
        bool done = false;
        for (int k = 1; k <= kFlashAttempts && !done; ++k) {
            Pump();
            done = Step(op, handle, address, offset, length, into, from) == kStatusOk;
            if (!done) {
                s_.status.SetPanel(kPanelErrors,
                                   texts.attempt + std::to_string(k) +
                                       " times, Address = " + FlashAddressText(address));
            }
        }
        if (!done) {
            s_.status.SetPanel(kPanelErrors, texts.final + FlashAddressText(address));
            s_.transport.CloseHandle(handle);
            return false;
        }
        progress_.fetch_add(1);
    }
    s_.transport.CloseHandle(handle);
    return true;
}

}  // namespace raid
