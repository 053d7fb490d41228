#ifdef __linux__

#include "device/transport_linux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/fake_sysfs.h"

namespace raid {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Outcome classification -------------------------------------------------

struct ClassifyCase {
    const char* name;
    int ioctlResult;
    std::uint8_t status;
    std::uint16_t host;
    std::uint16_t driver;
    Bytes sense;                // exactly the buffer the kernel was given
    std::uint8_t senseWritten;  // what the kernel claims it wrote
    SgOutcomeKind kind;
    std::optional<std::uint8_t> senseKey;
    std::uint8_t asc;
    std::uint8_t ascq;
};

Bytes FixedSense(std::uint8_t keyByte, std::uint8_t asc, std::uint8_t ascq) {
    Bytes s(18, 0);
    s[0] = 0x70;
    s[2] = keyByte;
    s[7] = 10;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

Bytes DescriptorSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    return {0x72, key, asc, ascq, 0, 0, 0, 0};
}

TEST(ClassifySgIo, EveryOutcomeFallsIntoOneCategory) {
    using K = SgOutcomeKind;
    const ClassifyCase cases[] = {
        {"clean", 0, 0x00, 0, 0, {}, 0, K::Good, std::nullopt, 0, 0},
        {"ioctl failed", -EIO, 0x00, 0, 0, {}, 0, K::OsError, std::nullopt, 0, 0},
        {"unit attention, fixed", 0, 0x02, 0, 0, FixedSense(0x06, 0x28, 0x00), 18, K::Sense, 0x06,
         0x28, 0x00},
        {"unit attention, descriptor", 0, 0x02, 0, 0, DescriptorSense(0x06, 0x29, 0x01), 8,
         K::Sense, 0x06, 0x29, 0x01},
        {"flag bits above the key are ignored", 0, 0x02, 0, 0, FixedSense(0xE6, 0x28, 0), 18,
         K::Sense, 0x06, 0x28, 0x00},
        {"medium error via driver sense flag", 0, 0x00, 0, 0x08, FixedSense(0x03, 0x11, 0x00), 18,
         K::Sense, 0x03, 0x11, 0x00},
        {"command terminated", 0, 0x22, 0, 0, FixedSense(0x0B, 0, 0), 18, K::Sense, 0x0B, 0, 0},
        {"reserved status bit masked", 0, 0x03, 0, 0, FixedSense(0x05, 0x24, 0), 18, K::Sense, 0x05,
         0x24, 0x00},
        {"sense wins over host error", 0, 0x02, 0x07, 0, FixedSense(0x04, 0, 0), 18, K::Sense, 0x04,
         0, 0},
        {"check condition without sense", 0, 0x02, 0, 0, Bytes(32, 0), 0, K::Sense, std::nullopt, 0,
         0},
        {"unknown response code",
         0,
         0x02,
         0,
         0,
         {0x7F, 0x06, 0x06, 0x06},
         4,
         K::Sense,
         std::nullopt,
         0,
         0},
        {"fixed sense cut after the key",
         0,
         0x02,
         0,
         0,
         {0x70, 0x00, 0x06},
         3,
         K::Sense,
         0x06,
         0,
         0},
        // The kernel claims more than the buffer holds: only the buffer is read.
        {"overlong length, short buffer",
         0,
         0x02,
         0,
         0,
         {0xF0, 0x00},
         18,
         K::Sense,
         std::nullopt,
         0,
         0},
        {"overlong length, descriptor", 0, 0x02, 0, 0, {0x72, 0x06}, 252, K::Sense, 0x06, 0, 0},
        {"host timeout", 0, 0x00, 0x03, 0, {}, 0, K::HostError, std::nullopt, 0, 0},
        {"host and driver error", 0, 0x00, 0x01, 0x06, {}, 0, K::HostError, std::nullopt, 0, 0},
        {"driver timeout", 0, 0x00, 0, 0x06, {}, 0, K::DriverError, std::nullopt, 0, 0},
        {"busy", 0, 0x08, 0, 0, {}, 0, K::ScsiStatus, std::nullopt, 0, 0},
        {"reservation conflict", 0, 0x18, 0, 0, {}, 0, K::ScsiStatus, std::nullopt, 0, 0},
    };
    for (const ClassifyCase& c : cases) {
        sg_io_hdr_t hdr{};
        hdr.status = c.status;
        hdr.host_status = c.host;
        hdr.driver_status = c.driver;
        hdr.sb_len_wr = c.senseWritten;
        const SgOutcome out = ClassifySgIo(c.ioctlResult, hdr, c.sense);
        EXPECT_EQ(out.kind, c.kind) << c.name;
        EXPECT_EQ(out.senseKey, c.senseKey) << c.name;
        EXPECT_EQ(out.asc, c.asc) << c.name;
        EXPECT_EQ(out.ascq, c.ascq) << c.name;
        EXPECT_EQ(out.IsUnitAttention(), c.kind == K::Sense && c.senseKey == 0x06) << c.name;
    }
    sg_io_hdr_t hdr{};
    EXPECT_EQ(ClassifySgIo(-EACCES, hdr, {}).osError, EACCES);
}

// ---- The transport over a scripted device ------------------------------------

// What the transport asked of the kernel in one SG_IO.
struct SentCommand {
    int fd;
    Bytes cdb;
    int direction;
    unsigned dxferLength;
    const void* dxfer;
    unsigned timeoutMs;
    unsigned maxSense;
};

class ScriptedSgDevice : public SgDevice {
  public:
    // Fills in what the device answered; returns what ioctl returns.
    using Response = std::function<int(sg_io_hdr_t&)>;

    int Open(const std::string& path) override {
        opened.push_back(path);
        const auto it = openErrors.find(path);
        if (it != openErrors.end()) {
            return -it->second;
        }
        return nextFd++;
    }

    int Io(int fd, sg_io_hdr_t& hdr) override {
        sent.push_back({fd, Bytes(hdr.cmdp, hdr.cmdp + hdr.cmd_len), hdr.dxfer_direction,
                        hdr.dxfer_len, hdr.dxferp, hdr.timeout, hdr.mx_sb_len});
        if (responses.empty()) {
            return 0;  // good, nothing transferred beyond what the buffer holds
        }
        const Response r = responses.front();
        responses.pop_front();
        return r(hdr);
    }

    int Close(int fd) override {
        closed.push_back(fd);
        return 0;
    }

    std::map<std::string, int> openErrors;  // path -> errno
    std::deque<Response> responses;
    std::vector<std::string> opened;
    std::vector<SentCommand> sent;
    std::vector<int> closed;
    int nextFd = 40;
};

ScriptedSgDevice::Response UnitAttention(bool descriptorFormat) {
    return [descriptorFormat](sg_io_hdr_t& hdr) {
        const Bytes sense =
            descriptorFormat ? DescriptorSense(0x06, 0x28, 0) : FixedSense(0x06, 0x28, 0);
        const std::size_t n = std::min<std::size_t>(sense.size(), hdr.mx_sb_len);
        std::copy_n(sense.begin(), n, hdr.sbp);
        hdr.sb_len_wr = static_cast<unsigned char>(n);
        hdr.status = 0x02;
        hdr.driver_status = 0x08;
        return 0;
    };
}

ScriptedSgDevice::Response Fill(std::uint8_t value, int resid = 0) {
    return [value, resid](sg_io_hdr_t& hdr) {
        auto* data = static_cast<std::uint8_t*>(hdr.dxferp);
        std::fill_n(data, hdr.dxfer_len - static_cast<unsigned>(std::max(resid, 0)), value);
        hdr.resid = resid;
        return 0;
    };
}

ScriptedSgDevice::Response Status(std::uint8_t status, std::uint16_t host, std::uint16_t driver,
                                  int ioctlResult = 0) {
    return [=](sg_io_hdr_t& hdr) {
        hdr.status = status;
        hdr.host_status = host;
        hdr.driver_status = driver;
        return ioctlResult;
    };
}

class LinuxTransportTest : public ::testing::Test {
  protected:
    LinuxTransportTest() {
        sys.AddDisk("sda", "0:0:0:0", false);
        sys.AddDisk("sdb", "6:0:0:0", true);
        auto owned = std::make_unique<ScriptedSgDevice>();
        device = owned.get();
        transport = std::make_unique<LinuxTransport>(sys.Roots(), std::move(owned));
    }

    DeviceHandle OpenEnclosure() {
        const DeviceHandle h = transport->OpenDevice(0);
        EXPECT_NE(h, kInvalidHandle);
        return h;
    }

    testing::FakeSysfs sys;
    ScriptedSgDevice* device = nullptr;
    std::unique_ptr<LinuxTransport> transport;
};

TEST_F(LinuxTransportTest, DeviceCodesOpenTheMappedNodes) {
    transport->SetVolumeDevices({{'E', "/dev/sdz"}});
    struct Case {
        std::uint8_t code;
        std::string path;
    };
    const Case cases[] = {
        {0, sys.Dev("sdb").string()},  // the USB disk comes first
        {1, sys.Dev("sda").string()},
        {'E', "/dev/sdz"},
    };
    for (const Case& c : cases) {
        device->opened.clear();
        EXPECT_NE(transport->OpenDevice(c.code), kInvalidHandle) << int(c.code);
        EXPECT_EQ(device->opened, std::vector<std::string>{c.path}) << int(c.code);
    }
}

TEST_F(LinuxTransportTest, CodesWithoutADeviceFailAsNotFoundWithoutOpening) {
    for (const std::uint8_t code : {std::uint8_t{2}, std::uint8_t{0x42}, std::uint8_t{'F'}}) {
        EXPECT_EQ(transport->OpenDevice(code), kInvalidHandle) << int(code);
        const auto failure = transport->LastOpenFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->kind, OpenFailure::Kind::NotFound);
    }
    EXPECT_TRUE(device->opened.empty());
}

TEST_F(LinuxTransportTest, OpenErrorsAreReportedWithKindAndPath) {
    struct Case {
        int error;
        OpenFailure::Kind kind;
    };
    const Case cases[] = {
        {EACCES, OpenFailure::Kind::PermissionDenied}, {EPERM, OpenFailure::Kind::PermissionDenied},
        {ENOENT, OpenFailure::Kind::NotFound},         {ENXIO, OpenFailure::Kind::NotFound},
        {ENOMEDIUM, OpenFailure::Kind::NotFound},      {EIO, OpenFailure::Kind::Other},
    };
    const std::string path = sys.Dev("sdb").string();
    for (const Case& c : cases) {
        device->openErrors[path] = c.error;
        EXPECT_EQ(transport->OpenDevice(0), kInvalidHandle);
        const auto failure = transport->LastOpenFailure();
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->kind, c.kind) << c.error;
        EXPECT_EQ(failure->systemError, c.error);
        EXPECT_EQ(failure->path, path);
    }
}

TEST_F(LinuxTransportTest, Read10IsSentAsDesignedAndFillsTheBuffer) {
    const DeviceHandle h = OpenEnclosure();
    device->responses.push_back(Fill(0xC3));
    Bytes buffer(kSectorSize, 0);

    ASSERT_TRUE(transport->ReadSectors(h, 0x5FFF, buffer, 1));

    ASSERT_EQ(device->sent.size(), 1u);
    const SentCommand& c = device->sent[0];
    EXPECT_EQ(c.fd, h);
    EXPECT_EQ(c.cdb, (Bytes{0x28, 0x00, 0x00, 0x00, 0x5F, 0xFF, 0x00, 0x00, 0x01, 0x00}));
    EXPECT_EQ(c.direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(c.dxferLength, 512u);
    EXPECT_EQ(c.dxfer, buffer.data());
    EXPECT_EQ(c.timeoutMs, 60'000u);
    EXPECT_GE(c.maxSense, 18u);
    EXPECT_EQ(buffer, Bytes(kSectorSize, 0xC3));
}

TEST_F(LinuxTransportTest, InquiryIsSentAsDesignedAndClearsWhatTheDeviceDidNotSend) {
    const DeviceHandle h = OpenEnclosure();
    device->responses.push_back(Fill(0x41, 4));  // 32 of 36 bytes
    Bytes buffer(40, 0xEE);

    ASSERT_TRUE(transport->InquiryDevice(h, buffer));

    ASSERT_EQ(device->sent.size(), 1u);
    const SentCommand& c = device->sent[0];
    EXPECT_EQ(c.cdb, (Bytes{0x12, 0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(c.direction, SG_DXFER_FROM_DEV);
    EXPECT_EQ(c.dxferLength, 36u);
    EXPECT_EQ(c.timeoutMs, 60'000u);
    Bytes expected(32, 0x41);
    expected.insert(expected.end(), {0, 0, 0, 0, 0xEE, 0xEE, 0xEE, 0xEE});
    EXPECT_EQ(buffer, expected);
}

TEST_F(LinuxTransportTest, UnusableRequestsFailWithoutReachingTheDevice) {
    const DeviceHandle h = OpenEnclosure();
    Bytes sector(kSectorSize);
    Bytes small(kSectorSize - 1);
    Bytes big(256 * kSectorSize);
    Bytes shortInquiry(kInquiryLength - 1);

    EXPECT_FALSE(transport->ReadSectors(h, 0, small, 1));
    EXPECT_FALSE(transport->ReadSectors(h, 0, sector, 2));
    EXPECT_FALSE(transport->ReadSectors(h, 0, sector, 0));
    EXPECT_FALSE(transport->ReadSectors(h, 0, big, 256));
    EXPECT_FALSE(transport->InquiryDevice(h, shortInquiry));
    EXPECT_FALSE(transport->ReadSectors(h + 1, 0, sector, 1));  // never opened
    EXPECT_FALSE(transport->ReadSectors(kInvalidHandle, 0, sector, 1));
    transport->CloseHandle(h);
    EXPECT_FALSE(transport->ReadSectors(h, 0, sector, 1));
    EXPECT_FALSE(transport->InquiryDevice(h, sector));
    EXPECT_TRUE(device->sent.empty());
}

TEST_F(LinuxTransportTest, UnitAttentionIsRetriedInEitherSenseFormat) {
    const DeviceHandle h = OpenEnclosure();
    device->responses = {UnitAttention(false), UnitAttention(true), Fill(0x5A)};
    Bytes buffer(kSectorSize, 0);

    EXPECT_TRUE(transport->ReadSectors(h, 17, buffer, 1));
    EXPECT_EQ(device->sent.size(), 3u);
    EXPECT_EQ(buffer, Bytes(kSectorSize, 0x5A));
}

TEST_F(LinuxTransportTest, PersistentUnitAttentionFailsAfterTheRetries) {
    const DeviceHandle h = OpenEnclosure();
    for (int i = 0; i < 10; ++i) {
        device->responses.push_back(UnitAttention(false));
    }
    Bytes buffer(kSectorSize);

    EXPECT_FALSE(transport->ReadSectors(h, 17, buffer, 1));
    EXPECT_EQ(device->sent.size(), 1u + kUnitAttentionRetries);
    ASSERT_TRUE(transport->LastOutcome().has_value());
    EXPECT_TRUE(transport->LastOutcome()->IsUnitAttention());
}

TEST_F(LinuxTransportTest, AnyOtherOutcomeFailsAtOnce) {
    const DeviceHandle h = OpenEnclosure();
    const std::pair<const char*, ScriptedSgDevice::Response> cases[] = {
        {"medium error",
         [](sg_io_hdr_t& hdr) {
             const Bytes sense = FixedSense(0x03, 0x11, 0);
             std::copy(sense.begin(), sense.end(), hdr.sbp);
             hdr.sb_len_wr = static_cast<unsigned char>(sense.size());
             hdr.status = 0x02;
             return 0;
         }},
        {"busy", Status(0x08, 0, 0)},
        {"host error", Status(0, 0x07, 0)},
        {"driver error", Status(0, 0, 0x06)},
        {"ioctl failed", Status(0, 0, 0, -EIO)},
        {"short read", Fill(0x11, 1)},
        {"impossible residue", Fill(0x11, -1)},
    };
    for (const auto& [name, response] : cases) {
        device->sent.clear();
        device->responses = {response};
        Bytes buffer(kSectorSize);
        EXPECT_FALSE(transport->ReadSectors(h, 0x11, buffer, 1)) << name;
        EXPECT_EQ(device->sent.size(), 1u) << name;
    }
}

TEST_F(LinuxTransportTest, InquiryShorterThanItsHeaderFails) {
    const DeviceHandle h = OpenEnclosure();
    device->responses.push_back(Fill(0x41, 32));  // 4 bytes
    Bytes buffer(kInquiryLength);
    EXPECT_FALSE(transport->InquiryDevice(h, buffer));
}

TEST_F(LinuxTransportTest, CloseReleasesOnlyDescriptorsItOpenedAndOnlyOnce) {
    const DeviceHandle h = OpenEnclosure();
    transport->CloseHandle(h);
    transport->CloseHandle(h);
    transport->CloseHandle(3);  // someone else's descriptor
    transport->CloseHandle(kInvalidHandle);
    EXPECT_EQ(device->closed, std::vector<int>{static_cast<int>(h)});
}

// The real system calls on a node that is not a SCSI disk: the ioctl fails and
// the transport reports it instead of pretending.
TEST(SystemSgDevice, SgIoOnANonScsiNodeIsAnOsError) {
    auto dev = MakeSystemSgDevice();
    const int fd = dev->Open("/dev/null");
    ASSERT_GE(fd, 0);
    std::array<std::uint8_t, 32> sense{};
    Cdb cdb = InquiryCdb();
    Bytes data(kInquiryLength);
    sg_io_hdr_t hdr{};
    hdr.interface_id = 'S';
    hdr.dxfer_direction = SG_DXFER_FROM_DEV;
    hdr.cmd_len = 10;
    hdr.cmdp = cdb.data();
    hdr.mx_sb_len = sense.size();
    hdr.sbp = sense.data();
    hdr.dxfer_len = static_cast<unsigned>(data.size());
    hdr.dxferp = data.data();
    hdr.timeout = 1000;
    const int rc = dev->Io(fd, hdr);
    EXPECT_LT(rc, 0);
    EXPECT_EQ(ClassifySgIo(rc, hdr, sense).kind, SgOutcomeKind::OsError);
    EXPECT_EQ(dev->Close(fd), 0);
    EXPECT_EQ(dev->Open("/nonexistent/raid-disk"), -ENOENT);
}

}  // namespace
}  // namespace raid

#endif  // __linux__
