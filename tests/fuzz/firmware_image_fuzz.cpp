// A firmware file chosen by the user, with any bytes and any claimed length,
// loaded and checked against a device's facts: a loaded image is exactly the
// file, a refused one leaves nothing loaded.
#include <algorithm>
#include <vector>

#include "maintenance/firmware_image.h"
#include "tests/fuzz/input_reader.h"
#include "tests/support/memory_image_file.h"
#include "tests/support/recorders.h"

FUZZ_TARGET(firmware_image) {
    using namespace raid;
    fuzz::InputReader in(input);
    UpgradeDeviceFacts device;
    device.chipVariant = in.Byte();
    for (std::uint8_t& b : device.firmware) {
        b = in.Byte();
    }
    device.flashType = in.Byte();
    const std::uint8_t flags = in.Byte();
    const std::uint32_t claimed = in.Word();
    const fuzz::Input rest = in.Rest();
    const std::vector<std::uint8_t> bytes(rest.begin(), rest.end());
    testing::MemoryImageFile file(bytes);
    if (flags & 1) {
        file.claimedLength = claimed;
    }
    if (flags & 2) {
        file.failAt = claimed % (bytes.size() + 1);
        file.failuresLeft = flags >> 4;
    }
    testing::RecordingStatus status;
    testing::RecordingDialogs dialogs;
    FirmwareImage image;
    const bool loaded = LoadFirmwareImage("image.bin", device, {file, status, dialogs}, image);
    FUZZ_CHECK(loaded == image.Loaded());
    if (loaded) {
        FUZZ_CHECK(image.size == image.bytes.size());
        FUZZ_CHECK(image.size >= kMinImageSize && image.size <= kFlashAddressLimit);
        FUZZ_CHECK(image.size <= bytes.size());
        FUZZ_CHECK(std::equal(image.bytes.begin(), image.bytes.end(), bytes.begin()));
    } else {
        FUZZ_CHECK(image.bytes.empty());
    }
}
