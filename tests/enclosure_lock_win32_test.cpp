// The named-mutex lock of real enclosures on Windows.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include <string>
#include <thread>

#include "device/enclosure_lock_win32.h"
#include "device/windows_text.h"

namespace raid {
namespace {

// Names of this run's own, in the session's namespace.
std::string TestMutexName(std::uint8_t disk) {
    return "Local\\raidgui-lock-test-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(static_cast<unsigned>(disk));
}

class ScopedHandle {
  public:
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ~ScopedHandle() {
        if (h_ != nullptr) {
            CloseHandle(h_);
        }
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return h_; }

  private:
    HANDLE h_;
};

bool TryOnOtherThread(EnclosureLock& lock, std::uint8_t disk) {
    bool taken = false;
    std::thread([&] {
        taken = lock.TryLock(disk);
        if (taken) {
            lock.Unlock(disk);
        }
    }).join();
    return taken;
}

TEST(EnclosureMutex, NamesThePhysicalDriveForEverySession) {
    EXPECT_EQ(EnclosureMutexName(0), "Global\\RAIDGUI_PhysicalDrive0");
    EXPECT_EQ(EnclosureMutexName(9), "Global\\RAIDGUI_PhysicalDrive9");
}

TEST(EnclosureMutex, ExclusiveBetweenThreadsNestedWithinOne) {
    auto lock = MakeMutexEnclosureLock(TestMutexName);
    ASSERT_TRUE(lock->TryLock(0));
    ASSERT_TRUE(lock->TryLock(0));
    EXPECT_FALSE(TryOnOtherThread(*lock, 0));
    EXPECT_TRUE(TryOnOtherThread(*lock, 1));  // another enclosure is free
    lock->Unlock(0);
    EXPECT_FALSE(TryOnOtherThread(*lock, 0)) << "still held once";
    lock->Unlock(0);
    EXPECT_TRUE(TryOnOtherThread(*lock, 0));
    // An unlock by a thread that holds nothing changes nothing.
    ASSERT_TRUE(lock->TryLock(2));
    std::thread([&] { lock->Unlock(2); }).join();
    EXPECT_FALSE(TryOnOtherThread(*lock, 2));
    lock->Unlock(2);
}

// Whoever made a mutex of that name, if we cannot have it, someone else may
// be talking to the enclosure: never go on without it.
TEST(EnclosureMutex, AMutexThatCannotBeHadIsRefused) {
    auto lock = MakeMutexEnclosureLock(TestMutexName);
    // The name taken by an object of another kind.
    const ScopedHandle event(CreateEventW(nullptr, TRUE, FALSE, Wide(TestMutexName(3)).c_str()));
    ASSERT_NE(event.get(), nullptr);
    EXPECT_FALSE(lock->TryLock(3));

    // A mutex whose maker lets nobody else use it, as a service's default
    // security shuts out a user's window.
    PSECURITY_DESCRIPTOR nobody = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1,
                                                                     &nobody, nullptr));
    SECURITY_ATTRIBUTES closed{sizeof(SECURITY_ATTRIBUTES), nobody, FALSE};
    const ScopedHandle denied(CreateMutexW(&closed, FALSE, Wide(TestMutexName(4)).c_str()));
    LocalFree(nobody);
    ASSERT_NE(denied.get(), nullptr);
    EXPECT_FALSE(lock->TryLock(4));
}

TEST(EnclosureMutex, AHolderThatEndedWithoutLettingGoLeavesItFree) {
    auto lock = MakeMutexEnclosureLock(TestMutexName);
    {
        auto died = MakeMutexEnclosureLock(TestMutexName);
        bool taken = false;
        std::thread([&] { taken = died->TryLock(5); }).join();
        ASSERT_TRUE(taken);
    }
    EXPECT_TRUE(lock->TryLock(5));
    lock->Unlock(5);
}

}  // namespace
}  // namespace raid
