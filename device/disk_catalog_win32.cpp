#include "device/disk_catalog_win32.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>

namespace raid {
namespace {

constexpr DWORD kVolumeDiskExtentsIoctl = 0x560000;  // IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS
constexpr DWORD kExtentsBufferSize = 32;

std::optional<VolumeExtent> FirstExtent(char letter) {
    char path[] = "\\\\.\\X:";
    path[4] = letter;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    alignas(8) unsigned char buffer[kExtentsBufferSize] = {};
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(h, kVolumeDiskExtentsIoctl, nullptr, 0, buffer,
                                    kExtentsBufferSize, &returned, nullptr);
    CloseHandle(h);
    VolumeExtent extent;
    if (!ok || returned < sizeof(VOLUME_DISK_EXTENTS)) {
        return extent;  // opened, but no extent: the record keeps zeros
    }
    VOLUME_DISK_EXTENTS extents;
    std::memcpy(&extents, buffer, sizeof extents);
    extent.diskNumber = static_cast<std::uint8_t>(extents.Extents[0].DiskNumber & 0xFF);
    extent.startingOffset = static_cast<std::uint64_t>(extents.Extents[0].StartingOffset.QuadPart);
    extent.length = static_cast<std::uint64_t>(extents.Extents[0].ExtentLength.QuadPart);
    return extent;
}

}  // namespace

std::vector<CatalogVolume> Win32DiskCatalog::Volumes() {
    std::vector<CatalogVolume> volumes;
    const DWORD mask = GetLogicalDrives();
    for (int bit = 2; bit < 26; ++bit) {
        if ((mask & (1u << bit)) == 0) {
            continue;
        }
        const char letter = static_cast<char>('A' + bit);
        const char root[] = {letter, ':', '\\', '\0'};
        CatalogVolume volume;
        volume.mountPoint = std::string(1, letter) + ":";
        volume.driveType = static_cast<std::uint8_t>(GetDriveTypeA(root));
        volume.extent = FirstExtent(letter);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

}  // namespace raid
