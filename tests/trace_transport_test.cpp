#include "device/trace_transport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/fake_transport.h"

namespace raid {
namespace {

using testing::FakeTransport;

// Several people run the suite on the same machine at once.
std::string UniqueSuffix() {
    return std::to_string(std::random_device{}());
}

class TraceTransportTest : public ::testing::Test {
  protected:
    TraceTransportTest() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        file = std::filesystem::temp_directory_path() /
               (std::string("raid-trace-") + info->name() + "-" + UniqueSuffix() + ".log");
        std::filesystem::remove(file, ec);
        auto owned = std::make_unique<FakeTransport>();
        inner = owned.get();
        trace = std::make_unique<TraceTransport>(std::move(owned), file);
    }
    ~TraceTransportTest() override { std::filesystem::remove(file, ec); }

    std::vector<std::string> Lines() const {
        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    std::error_code ec;
    std::filesystem::path file;
    FakeTransport* inner = nullptr;
    std::unique_ptr<TraceTransport> trace;
};

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

TEST_F(TraceTransportTest, RecordsOneLinePerOperationAndPassesResultsThrough) {
    FakeTransport::Sector reply{};
    for (std::size_t i = 0; i < reply.size(); ++i) {
        reply[i] = static_cast<std::uint8_t>(i % 4 == 0 ? 0xAB : 0x0C);
    }
    inner->sectors[17] = reply;
    inner->sectors[0x5FFF].fill(0x77);
    inner->failReadLbas = {0x12};
    for (std::size_t i = 0; i < inner->inquiry.size(); ++i) {
        inner->inquiry[i] = static_cast<std::uint8_t>(0xF0 + i % 16);
    }
    inner->failOpen = {4};

    std::vector<std::uint8_t> sector(kSectorSize);
    std::vector<std::uint8_t> inquiry(64, 0x00);
    EXPECT_EQ(trace->OpenDevice(4), kInvalidHandle);
    ASSERT_TRUE(trace->LastOpenFailure().has_value());
    EXPECT_EQ(trace->LastOpenFailure()->path, "fake");
    const DeviceHandle h = trace->OpenDevice(3);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_TRUE(trace->ReadSectors(h, 0x5FFF, sector, 1));
    EXPECT_EQ(sector[0], 0x77);
    EXPECT_TRUE(trace->ReadSectors(h, 0, sector, 1));
    EXPECT_FALSE(trace->ReadSectors(h, 0x12, sector, 1));
    EXPECT_TRUE(trace->ReadSectors(h, 0xABCDEF01, sector, 1));
    EXPECT_TRUE(trace->ReadSectors(h, 17, sector, 1));
    EXPECT_TRUE(trace->InquiryDevice(h, inquiry));
    trace->CloseHandle(h);

    const std::string inquiryHex =
        Repeat("F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF", 2) + "F0F1F2F3";  // 36 bytes only
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "OPEN disk=4 fail",
                           "OPEN disk=3 ok",
                           "READ10 disk=3 lba=0x5FFF ok",
                           "READ10 disk=3 lba=0x0 ok",
                           "READ10 disk=3 lba=0x12 fail",
                           "READ10 disk=3 lba=0xABCDEF01 ok",
                           "READ10 disk=3 lba=0x11 ok data=" + Repeat("AB0C0C0C", 128),
                           "INQUIRY disk=3 ok data=" + inquiryHex,
                           "CLOSE disk=3",
                       }));
    ASSERT_EQ(inner->calls.size(), 9u);
    EXPECT_TRUE(inner->open.empty());
    EXPECT_EQ(trace->DroppedLines(), 0u);
}

TEST_F(TraceTransportTest, FailuresAreTracedAsFailAndAFailedReplyReadHasNoData) {
    inner->failReadLbas = {17};
    inner->failInquiry = true;
    std::vector<std::uint8_t> sector(kSectorSize, 0x99);
    std::vector<std::uint8_t> inquiry(kInquiryLength, 0x00);
    const DeviceHandle h = trace->OpenDevice(0);
    EXPECT_FALSE(trace->ReadSectors(h, 17, sector, 1));
    EXPECT_FALSE(trace->InquiryDevice(h, inquiry));

    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "READ10 disk=0 lba=0x11 fail");
    EXPECT_EQ(lines[2], "INQUIRY disk=0 fail data=" + std::string(72, '0'));
}

TEST_F(TraceTransportTest, EachHandleIsTracedAsItsOwnDisk) {
    std::vector<std::uint8_t> sector(kSectorSize);
    const DeviceHandle a = trace->OpenDevice(2);
    const DeviceHandle b = trace->OpenDevice('E');
    ASSERT_NE(a, b);
    trace->ReadSectors(b, 1, sector, 1);
    trace->ReadSectors(a, 2, sector, 1);
    trace->CloseHandle(a);
    trace->ReadSectors(b, 3, sector, 1);
    trace->CloseHandle(b);
    trace->ReadSectors(a, 4, sector, 1);  // stale handle

    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "OPEN disk=2 ok",
                           "OPEN disk=E: ok",
                           "READ10 disk=E: lba=0x1 ok",
                           "READ10 disk=2 lba=0x2 ok",
                           "CLOSE disk=2",
                           "READ10 disk=E: lba=0x3 ok",
                           "CLOSE disk=E:",
                           "READ10 disk=? lba=0x4 fail",
                       }));
}

TEST(TraceTransportWithoutFile, AnUnwritableTraceNeverChangesTheOperation) {
    auto owned = std::make_unique<FakeTransport>();
    FakeTransport* inner = owned.get();
    inner->sectors[17].fill(0x42);
    TraceTransport trace(std::move(owned), "/nonexistent/raid-trace-dir/trace.log");

    std::vector<std::uint8_t> sector(kSectorSize);
    const DeviceHandle h = trace.OpenDevice(1);
    ASSERT_NE(h, kInvalidHandle);
    EXPECT_TRUE(trace.ReadSectors(h, 17, sector, 1));
    EXPECT_EQ(sector[511], 0x42);
    trace.CloseHandle(h);

    EXPECT_EQ(trace.DroppedLines(), 3u);
    EXPECT_TRUE(inner->open.empty());
}

TEST(MakeTracedIfRequested, WrapsOnlyWhenAFileIsNamed) {
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        auto owned = std::make_unique<FakeTransport>();
        Transport* raw = owned.get();
        EXPECT_EQ(MakeTracedIfRequested(std::move(owned), value).get(), raw);
    }

    const auto file =
        std::filesystem::temp_directory_path() / ("raid-trace-factory-" + UniqueSuffix() + ".log");
    std::error_code ec;
    std::filesystem::remove(file, ec);
    auto owned = std::make_unique<FakeTransport>();
    Transport* raw = owned.get();
    auto traced = MakeTracedIfRequested(std::move(owned), file.string().c_str());
    ASSERT_NE(traced.get(), raw);
    EXPECT_NE(traced->OpenDevice(5), kInvalidHandle);
    std::ifstream in(file);
    std::string line;
    EXPECT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "OPEN disk=5 ok");
    std::filesystem::remove(file, ec);
}

}  // namespace
}  // namespace raid
