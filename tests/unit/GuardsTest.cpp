#include "InstanceLock.h"
#include "ProcessScan.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using ProcessScan::IsHotelProgramName;

TEST(HotelProgramName, PrefixOfTheFileNameOrOfTheWholeName) {
    for (const char* name : {"QORM_Hotel_Main.exe", "qorm_hotel_main2", "QORM_HOTEL_MAIN_X.EXE",
                             "QORM_HOTEL_MAIN", "C:\\Hotel\\QORM_HOTEL_MAIN_X.EXE",
                             "D:QORM_Hotel_Main.exe", "QORM_HOTEL_MAIN\\other.exe"}) {
        EXPECT_TRUE(IsHotelProgramName(name)) << name;
    }
    for (const char* name :
         {"QORM_Hotel_Mai.exe", "", "QORM_HOTEL_MAI", "C:\\x\\QORM_Hotel_Mai",
          "C:\\x\\notQORM_HOTEL_MAIN.exe", "QORM-HOTEL-MAIN.exe", "C:\\QORM_HOTEL_MAIN\\x.exe"}) {
        EXPECT_FALSE(IsHotelProgramName(name)) << name;
    }
}

TEST(HotelProgramName, FindsTheFirstOfSeveral) {
    const std::vector<ProcessScan::Process> list = {
        {10, "bash"}, {11, "qorm_hotel_main.exe"}, {12, "QORM_Hotel_Main.exe"}};
    ASSERT_NE(ProcessScan::FindHotelProgram(list), nullptr);
    EXPECT_EQ(ProcessScan::FindHotelProgram(list)->pid, 11);
    EXPECT_EQ(ProcessScan::FindHotelProgram({{10, "bash"}}), nullptr);
}

TEST(RunningProcesses, SeesARealProcessByItsStartNameAndEndsIt) {
    // A process started under the hotel program's name, not a child of ours.
    int code = 0;
    const std::string out = testsupport::RunCommand(
        "bash -c '(exec -a QORM_Hotel_Main.exe sleep 30) >/dev/null 2>&1 & echo $!'", code);
    const pid_t pid = static_cast<pid_t>(std::stol(out));

    // The process shows its start name once it has executed: asked again
    // until then, for at most 10 s.
    bool seen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        for (const auto& p : ProcessScan::RunningProcesses()) {
            seen = seen || (p.pid == pid && p.name == "QORM_Hotel_Main.exe");
            EXPECT_NE(p.pid, ::getpid()); // never itself
        }
        if (!seen) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ASSERT_TRUE(seen);

    const auto start = std::chrono::steady_clock::now();
    ProcessScan::EndProcess(pid);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)); // SIGTERM did it
    for (const auto& p : ProcessScan::RunningProcesses()) {
        EXPECT_FALSE(p.pid == pid && p.name == "QORM_Hotel_Main.exe");
    }
}

TEST(InstanceLock, IsHeldUntilItsHolderGoes) {
    auto first = std::make_unique<InstanceLock>("tavlin-test-lock");
    ASSERT_TRUE(first->acquired());
    {
        InstanceLock second("tavlin-test-lock");
        EXPECT_FALSE(second.acquired());
        EXPECT_TRUE(second.isHeldElsewhere());
    }
    first.reset();
    InstanceLock third("tavlin-test-lock");
    EXPECT_TRUE(third.acquired());
}
