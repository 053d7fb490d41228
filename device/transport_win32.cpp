#include "device/transport_win32.h"

#include <windows.h>

#include <algorithm>

#include "device/scsi_pass_through_block.h"

namespace raid {

namespace {

constexpr DWORD kIoctlScsiPassThroughDirect = 0x4D014;

// The block layout must match the SCSI_PASS_THROUGH_DIRECT of this process's
// ABI; the driver rejects a Length it does not expect.
constexpr PassThroughAbi kAbi = sizeof(void*) == 8 ? PassThroughAbi::X64 : PassThroughAbi::X86;

OpenFailure::Kind KindOfOpenError(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return OpenFailure::Kind::PermissionDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenFailure::Kind::NotFound;
        default:
            return OpenFailure::Kind::Other;
    }
}

class Win32Transport final : public Transport {
  public:
    DeviceHandle OpenDevice(std::uint8_t code) override {
        const std::string path = WindowsDevicePath(code);
        HANDLE h =
            ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = ::GetLastError();
            lastOpenFailure_ = OpenFailure{KindOfOpenError(error), static_cast<int>(error), path};
            return kInvalidHandle;
        }
        return reinterpret_cast<DeviceHandle>(h);
    }

    bool ReadSectors(DeviceHandle handle, std::uint32_t lba, std::span<std::uint8_t> buffer,
                     std::uint32_t count) override {
        if (handle == kInvalidHandle || !IsValidReadRequest(buffer.size(), count)) {
            return false;
        }
        return Send(handle, ReadRequest(lba, count, Address(buffer)));
    }

    bool InquiryDevice(DeviceHandle handle, std::span<std::uint8_t> buffer) override {
        if (handle == kInvalidHandle || buffer.size() < kInquiryLength) {
            return false;
        }
        return Send(handle, InquiryRequest(Address(buffer)));
    }

    void CloseHandle(DeviceHandle handle) override {
        if (handle != kInvalidHandle) {
            // Nothing useful can follow a failed close.
            static_cast<void>(::CloseHandle(reinterpret_cast<HANDLE>(handle)));
        }
    }

    std::optional<OpenFailure> LastOpenFailure() const override { return lastOpenFailure_; }

  private:
    static std::uint64_t Address(std::span<std::uint8_t> buffer) {
        return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(buffer.data()));
    }

    // Success of the call is the result; the SCSI status and sense area of the
    // returned block are not looked at.
    static bool Send(DeviceHandle handle, const PassThroughRequest& request) {
        PassThroughBlock block = BuildPassThroughBlock(request, kAbi);
        DWORD returned = 0;
        const DWORD size = static_cast<DWORD>(block.size);
        return ::DeviceIoControl(reinterpret_cast<HANDLE>(handle), kIoctlScsiPassThroughDirect,
                                 block.bytes.data(), size, block.bytes.data(), size, &returned,
                                 nullptr) != FALSE;
    }

    std::optional<OpenFailure> lastOpenFailure_;
};

}  // namespace

std::unique_ptr<Transport> MakeWin32Transport() {
    return std::make_unique<Win32Transport>();
}

}  // namespace raid
