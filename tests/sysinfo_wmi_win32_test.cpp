// WMI itself (Wine has a provider for the classes asked here).
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

#include <optional>
#include <thread>

#include "sysinfo/system_facts_win32.h"
#include "sysinfo/system_info.h"

namespace raid {
namespace {

bool HasText(const FactObject& object, const std::string& name) {
    for (const FactProperty& property : object) {
        if (property.name == name) {
            const auto* text = std::get_if<std::string>(&property.value);
            return text != nullptr && !text->empty();
        }
    }
    return false;
}

// A worker thread queries: one that never used COM, one in a single-threaded
// apartment of its own, one in the multithreaded apartment.
TEST(WmiSystemFacts, EveryThreadThatQueriesGetsObjectsAndKeepsItsOwnApartment) {
    WmiSystemFacts facts;  // the main thread's set-up
    ASSERT_NE(facts.setup(), ComSetup::SecurityFailed);
    struct Case {
        const char* name;
        int apartment;  // -1: no COM on the thread before the query
    };
    for (const Case& c : {Case{"none", -1}, Case{"single-threaded", COINIT_APARTMENTTHREADED},
                          Case{"multithreaded", COINIT_MULTITHREADED}}) {
        std::optional<std::vector<FactObject>> system;
        std::optional<std::vector<FactObject>> computer;
        HRESULT afterwards = E_FAIL;
        std::thread([&] {
            const bool own = c.apartment >= 0 && SUCCEEDED(CoInitializeEx(nullptr, c.apartment));
            system = facts.Query("Win32_OperatingSystem");
            computer = facts.Query("Win32_ComputerSystem");
            if (own) {
                CoUninitialize();
            }
            // The queries left COM as they found it: nothing owed here.
            afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(afterwards)) {
                CoUninitialize();
            }
        }).join();
        ASSERT_TRUE(system.has_value()) << c.name;
        ASSERT_FALSE(system->empty()) << c.name;
        EXPECT_TRUE(HasText(system->front(), "Caption")) << c.name;
        ASSERT_TRUE(computer.has_value()) << c.name;
        ASSERT_FALSE(computer->empty()) << c.name;
        EXPECT_TRUE(HasText(computer->front(), "Name")) << c.name;
        EXPECT_EQ(afterwards, S_OK) << c.name;
    }
    // And the main thread, prepared by the facts themselves.
    const auto here = facts.Query("Win32_OperatingSystem");
    ASSERT_TRUE(here.has_value());
    EXPECT_FALSE(here->empty());
}

// What a mail carries: the report built on a worker thread has the board,
// the disks and the addresses (Wine's Win32_Bus has no SystemName to give).
TEST(WmiSystemFacts, TheReportOfAWorkerThreadIsFilledIn) {
    WmiSystemFacts facts;
    SystemInfoLines lines;
    std::thread([&] { lines = BuildSystemInfoLines(facts); }).join();
    const std::string text = SystemInfoText(lines);
    EXPECT_EQ(text.find("\nMotherBoard :  - \n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nWmiListTemp->Count = 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nDisk: "), std::string::npos) << text;
    EXPECT_EQ(text.find("\nIP Address  : \n"), std::string::npos) << text;
}

}  // namespace
}  // namespace raid
