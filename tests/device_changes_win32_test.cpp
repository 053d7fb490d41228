// The Windows device notifications, fed the message Windows sends when a
// disk arrives.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include "device/device_changes_win32.h"

namespace raid {
namespace {

class Win32DeviceChangesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        changes = Win32DeviceChanges::Open(error);
        ASSERT_NE(changes, nullptr) << error;
        woken = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(woken, nullptr);
        changes->SetArrivalWake([this] { SetEvent(woken); });
    }
    void TearDown() override {
        changes.reset();
        if (woken != nullptr) {
            CloseHandle(woken);
        }
    }
    HWND window() const { return static_cast<HWND>(changes->window()); }

    std::unique_ptr<Win32DeviceChanges> changes;
    HANDLE woken = nullptr;
};

DEV_BROADCAST_DEVICEINTERFACE_W DiskArrival() {
    DEV_BROADCAST_DEVICEINTERFACE_W disk{};
    disk.dbcc_size = sizeof disk;
    disk.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    disk.dbcc_classguid = {
        0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
    return disk;
}

TEST_F(Win32DeviceChangesTest, EveryMessageCountsOnceAndWakesTheWaiter) {
    EXPECT_EQ(changes->TakeEvents(), 0);
    DEV_BROADCAST_DEVICEINTERFACE_W disk = DiskArrival();
    EXPECT_EQ(
        SendMessageW(window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&disk)),
        0);
    EXPECT_EQ(WaitForSingleObject(woken, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(changes->TakeEvents(), 1);
    EXPECT_EQ(changes->TakeEvents(), 0);

    // A burst, removals and bare "the configuration changed" alike.
    SendMessageW(window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&disk));
    SendMessageW(window(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(WaitForSingleObject(woken, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(changes->TakeEvents(), 2);
}

TEST_F(Win32DeviceChangesTest, APostedMessageIsServedByItsOwnThread) {
    ASSERT_TRUE(PostMessageW(window(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0));
    // Nothing on this thread serves messages: the watcher's thread must.
    EXPECT_EQ(WaitForSingleObject(woken, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(changes->TakeEvents(), 1);
}

TEST_F(Win32DeviceChangesTest, TwoWatchersAndNoWakeAfterItIsTakenAway) {
    std::string error;
    auto second = Win32DeviceChanges::Open(error);
    ASSERT_NE(second, nullptr) << error;
    changes->SetArrivalWake({});
    SendMessageW(window(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(WaitForSingleObject(woken, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(changes->TakeEvents(), 1);
    EXPECT_EQ(second->TakeEvents(), 0);
}

}  // namespace
}  // namespace raid
