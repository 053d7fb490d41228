#include "maintenance/firmware_image.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "tests/support/firmware_images.h"
#include "tests/support/memory_image_file.h"
#include "tests/support/posix_files.h"
#include "tests/support/recorders.h"

namespace raid {
namespace {

using testing::MakeImage;
using testing::MemoryImageFile;
using testing::RecordingDialogs;
using testing::RecordingStatus;

UpgradeDeviceFacts Device(std::uint32_t stamp, std::uint8_t d0, std::uint8_t d1,
                          std::uint8_t chipVariant = 0) {
    UpgradeDeviceFacts facts;
    facts.chipVariant = chipVariant;
    facts.firmware = {static_cast<std::uint8_t>(stamp >> 24),
                      static_cast<std::uint8_t>(stamp >> 16),
                      static_cast<std::uint8_t>(stamp >> 8),
                      static_cast<std::uint8_t>(stamp),
                      d0,
                      d1,
                      0,
                      0};
    return facts;
}

struct Loader {
    bool Load(ImageFile& file, const UpgradeDeviceFacts& device,
              const std::string& path = "/x.bin") {
        return LoadFirmwareImage(path, device, ImageLoadServices{file, status, dialogs}, image);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : dialogs.boxes) {
            texts.push_back(box.caption + "|" + box.text);
        }
        return texts;
    }
    RecordingStatus status;
    RecordingDialogs dialogs;
    FirmwareImage image;
};

struct ProductCase {
    const char* name;
    std::uint8_t chipVariant;
    std::uint32_t deviceStamp;
    std::uint8_t d0, d1;
    std::uint32_t imageStamp;
    std::uint8_t i0, i1;
    bool accepted;
};

TEST(FirmwareImageLoad, ProductCheckFollowsStampsAndFamilies) {
    const ProductCase cases[] = {
        {"2760 takes 2770", 0, 0x14040310, 0x27, 0x60, 0x14040310, 0x27, 0x70, true},
        {"2770 takes 2760", 0, 0x14040310, 0x27, 0x70, 0x14040310, 0x27, 0x60, true},
        {"2760 refuses 2761", 0, 0x14040310, 0x27, 0x60, 0x14040310, 0x27, 0x61, false},
        {"1234 takes 1234", 0, 0x14040310, 0x12, 0x34, 0x14040310, 0x12, 0x34, true},
        {"1234 refuses 1235", 0, 0x14040310, 0x12, 0x34, 0x14040310, 0x12, 0x35, false},
        {"1234 refuses 2760", 0, 0x14040310, 0x12, 0x34, 0x14040310, 0x27, 0x60, false},
        {"device stamp at threshold", 0, 0x13122500, 0x12, 0x34, 0x14040310, 0x99, 0x99, true},
        {"image stamp at threshold", 0, 0x14040310, 0x12, 0x34, 0x13122500, 0x99, 0x99, true},
        {"just above threshold", 0, 0x13122501, 0x12, 0x34, 0x13122501, 0x99, 0x99, false},
        {"old device stamp", 0, 0x00000001, 0x12, 0x34, 0x14040310, 0x99, 0x99, true},
        {"chip variant 1", 1, 0x14040310, 0x12, 0x34, 0x14040310, 0x99, 0x99, true},
    };
    for (const ProductCase& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryImageFile file(MakeImage(4096, 0x12, c.imageStamp, c.i0, c.i1));
        Loader loader;
        EXPECT_EQ(loader.Load(file, Device(c.deviceStamp, c.d0, c.d1, c.chipVariant)), c.accepted);
        EXPECT_EQ(loader.image.Loaded(), c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(loader.dialogs.boxes.empty());
            EXPECT_EQ(loader.image.size, 4096u);
        } else {
            EXPECT_EQ(loader.Texts(), std::vector<std::string>{
                                          "Error|The firmware is not for this product.\nPlease "
                                          "check it."});
        }
        if (c.chipVariant == 0) {
            char f[16], i[16];
            std::snprintf(f, sizeof f, "F:%X", c.deviceStamp);
            std::snprintf(i, sizeof i, "C:%X", c.imageStamp);
            EXPECT_EQ(loader.status.panels[2], f);
            EXPECT_EQ(loader.status.panels[3], i);
        } else {
            EXPECT_EQ(loader.status.panels[2], "");
            EXPECT_EQ(loader.status.panels[3], "");
        }
    }
}

TEST(FirmwareImageLoad, StampsAreShownWithoutLeadingZeros) {
    MemoryImageFile file(MakeImage(4096, 0x12, 0x00ABCDEF));
    Loader loader;
    loader.Load(file, Device(0x00000012, 0, 0));
    EXPECT_EQ(loader.status.panels[2], "F:12");
    EXPECT_EQ(loader.status.panels[3], "C:ABCDEF");
}

TEST(FirmwareImageLoad, HeaderErrorsAreReportedGuidFirst) {
    struct Case {
        const char* name;
        std::size_t spoilAt;  // 0: none
        const char* message;
    };
    const Case cases[] = {
        {"signature", 130,
         "Threr are METADATA_SINGATURE error in the firmware file.\nPlease check it."},
        {"guid first byte", 132, "Threr are GUID error in the firmware file.\nPlease check it."},
        {"guid last byte", 147, "Threr are GUID error in the firmware file.\nPlease check it."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = MakeImage(1024);
        bytes[c.spoilAt] ^= 0x01;
        MemoryImageFile file(bytes);
        Loader loader;
        EXPECT_FALSE(loader.Load(file, Device(0x14040310, 0x62, 0x18)));
        EXPECT_FALSE(loader.image.Loaded());
        EXPECT_EQ(loader.Texts(), std::vector<std::string>{std::string("Error|") + c.message});
    }
    // With both wrong, the GUID is named.
    auto bytes = MakeImage(1024);
    bytes[128] = 'X';
    bytes[140] = 0;
    MemoryImageFile file(bytes);
    Loader loader;
    loader.Load(file, Device(0x14040310, 0x62, 0x18));
    ASSERT_EQ(loader.dialogs.boxes.size(), 1u);
    EXPECT_EQ(loader.dialogs.boxes[0].text,
              "Threr are GUID error in the firmware file.\nPlease check it.");
}

TEST(FirmwareImageLoad, ChecksumCoversEveryByteAndIsShownBeforeTheChecks) {
    MemoryImageFile allFf(std::vector<std::uint8_t>(65536, 0xFF));
    Loader loader;
    EXPECT_FALSE(loader.Load(allFf, Device(0, 0, 0), "/fw/all-ff.bin"));
    EXPECT_EQ(loader.status.panels[0], "Chksum:00FF0000");
    EXPECT_EQ(loader.status.panels[4], "File:/fw/all-ff.bin");
}

TEST(FirmwareImageLoad, ARejectedFileDropsTheImageLoadedBefore) {
    Loader loader;
    MemoryImageFile good(MakeImage(2048));
    ASSERT_TRUE(loader.Load(good, Device(0x14040310, 0x62, 0x18)));
    auto badBytes = MakeImage(2048);
    badBytes[129] = 'X';
    MemoryImageFile bad(badBytes);
    EXPECT_FALSE(loader.Load(bad, Device(0x14040310, 0x62, 0x18)));
    EXPECT_FALSE(loader.image.Loaded());
    EXPECT_EQ(loader.image.size, 0u);

    // A file that does not open drops it too.
    ASSERT_TRUE(loader.Load(good, Device(0x14040310, 0x62, 0x18)));
    MemoryImageFile missing(MakeImage(2048));
    missing.opens = false;
    EXPECT_FALSE(loader.Load(missing, Device(0x14040310, 0x62, 0x18)));
    EXPECT_FALSE(loader.image.Loaded());
    EXPECT_EQ(loader.dialogs.boxes.back().text, "Fail to open firmware file");
    EXPECT_EQ(loader.dialogs.boxes.back().caption, "Error");
}

TEST(FirmwareImageLoad, SizeBoundsAreCheckedBeforeAnyByteIsRead) {
    struct Case {
        const char* name;
        std::uint64_t length;
        bool accepted;
        const char* message;
    };
    const Case cases[] = {
        {"empty", 0, false,
         "The firmware file is too short (0 bytes); an image has at least 162 bytes."},
        {"161 bytes", 161, false,
         "The firmware file is too short (161 bytes); an image has at least 162 bytes."},
        {"162 bytes", 162, true, ""},
        {"past 8 MiB", 0x800001, false,
         "The firmware file is too large (8388609 bytes); the SPI flash holds at most 8388608 "
         "bytes."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto bytes = MakeImage(static_cast<std::uint32_t>(std::min<std::uint64_t>(c.length, 4096)));
        MemoryImageFile file(bytes);
        file.claimedLength = c.length;
        Loader loader;
        EXPECT_EQ(loader.Load(file, Device(0x14040310, 0x62, 0x18)), c.accepted);
        EXPECT_EQ(file.readsPastEnd, 0);
        // Refused before reading: no checksum is shown.
        EXPECT_EQ(loader.status.panels[0].empty(), !c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(loader.Texts(), std::vector<std::string>{std::string("Error|") + c.message});
        }
    }
}

TEST(FirmwareImageLoad, AByteThatFailsIsReadAgainAtTheSameOffset) {
    MemoryImageFile file(MakeImage(1000));
    file.failAt = 300;
    file.failuresLeft = 2;
    Loader loader;
    EXPECT_TRUE(loader.Load(file, Device(0x14040310, 0x62, 0x18)));
    EXPECT_EQ(loader.Texts(),
              (std::vector<std::string>{"Warning:|Error read from Source file. ByteCount = 300",
                                        "Warning:|Error read from Source file. ByteCount = 300"}));
    EXPECT_EQ(loader.image.bytes, MakeImage(1000));
}

TEST(FirmwareImageLoad, AByteThatKeepsFailingEndsTheLoadWithNoImage) {
    Loader loader;
    MemoryImageFile good(MakeImage(1000));
    ASSERT_TRUE(loader.Load(good, Device(0x14040310, 0x62, 0x18)));
    MemoryImageFile file(MakeImage(1000));
    file.failAt = 7;
    file.failuresLeft = 1000;
    EXPECT_FALSE(loader.Load(file, Device(0x14040310, 0x62, 0x18)));
    EXPECT_FALSE(loader.image.Loaded());
    const auto texts = loader.Texts();
    ASSERT_EQ(texts.size(), 1u + kImageReadRetries + 1u);
    for (int i = 0; i <= kImageReadRetries; ++i) {
        EXPECT_EQ(texts[static_cast<std::size_t>(i)],
                  "Warning:|Error read from Source file. ByteCount = 7");
    }
    EXPECT_EQ(texts.back(), "Error|The firmware file could not be read; no firmware is loaded.");
    EXPECT_EQ(file.closes, 1);
}

TEST(FirmwareImageLoad, ReadsARealFileByteForByte) {
    const auto path =
        std::filesystem::temp_directory_path() / ("fw-" + std::to_string(::getpid()) + ".bin");
    const auto bytes = MakeImage(40960);
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    auto file = MakeDiskImageFile();
    Loader loader;
    EXPECT_TRUE(loader.Load(*file, Device(0x14040310, 0x62, 0x18), path.string()));
    EXPECT_EQ(loader.image.bytes, bytes);
    EXPECT_EQ(loader.image.Type(), 0x12);
    std::filesystem::remove(path);

    EXPECT_FALSE(loader.Load(*file, Device(0x14040310, 0x62, 0x18), path.string()));
    EXPECT_EQ(loader.dialogs.boxes.back().text, "Fail to open firmware file");
}

// Opening a FIFO waits for a writer that never comes, and a device or a
// folder is no image: only regular files are read.
TEST(FirmwareImageLoad, OnlyARegularFileIsRead) {
    const auto fifo =
        std::filesystem::temp_directory_path() / ("fw-fifo-" + std::to_string(::getpid()));
    ASSERT_EQ(testing::MakeFifo(fifo), testing::kPosixFiles);
    std::vector<std::string> paths = {std::filesystem::temp_directory_path().string()};
    if (testing::kPosixFiles) {
        paths.insert(paths.end(), {fifo.string(), "/dev/zero"});
    }
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        auto file = MakeDiskImageFile();
        Loader loader;
        EXPECT_FALSE(loader.Load(*file, Device(0x14040310, 0x62, 0x18), path));
        ASSERT_FALSE(loader.dialogs.boxes.empty());
        EXPECT_EQ(loader.dialogs.boxes.back().text, kNotRegularText);
    }
    std::filesystem::remove(fifo);
}

}  // namespace
}  // namespace raid
