// Faults injected into the platform's services, in process and through the environment.
#include "platform/fault.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/file.h"
#include "platform/message.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/section.h"
#include "platform/toolhelp.h"
#include "tests/platform/contract.h"

namespace {

using namespace win;

TEST(Fault, TheNthCallOfAnOperationFailsAndOnlyThatOne) {
    nxtest::CopyIntoDevice(nxtest::PeerProgram(), "PEER.EXE");
    struct Case {
        fault::Op op;
        std::function<bool()> call;  // true when the call succeeded
    } cases[] = {
        {fault::Op::RegisterMessage, [] { return RegisterWindowMessageW(u"F") != 0; }},
        {fault::Op::CreateMutex,
         [] {
             HANDLE m = CreateMutexW(nullptr, FALSE, u"F");
             return m && CloseHandle(m);
         }},
        {fault::Op::CreateSection,
         [] {
             HANDLE s =
                 CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"F");
             return s && CloseHandle(s);
         }},
        {fault::Op::MapView,
         [] {
             HANDLE s =
                 CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"F");
             void* view = MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0);
             CloseHandle(s);
             return view && UnmapViewOfFile(view);
         }},
        {fault::Op::WaitMutex,
         [] {
             HANDLE m = CreateMutexW(nullptr, FALSE, u"F");
             const bool acquired = WaitForSingleObject(m, 0) == WAIT_OBJECT_0 && ReleaseMutex(m);
             CloseHandle(m);
             return acquired;
         }},
        {fault::Op::CreateFile,
         [] {
             HANDLE f =
                 CreateFileW(u"\\F.OUT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
             return f != INVALID_HANDLE_VALUE && CommitFile(f);
         }},
        {fault::Op::CreateProcess,
         [] {
             PROCESS_INFORMATION info;
             if (!CreateProcessW(u"\\PEER.EXE", u"args", nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, nullptr, &info))
                 return false;
             WaitForSingleObject(info.hProcess, 10000);
             nxtest::ReapProcess(info.dwProcessId);
             return CloseHandle(info.hProcess) && CloseHandle(info.hThread);
         }},
        {fault::Op::ProcessSnapshot,
         [] {
             HANDLE s = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
             return s != INVALID_HANDLE_VALUE && CloseHandle(s);
         }},
        {fault::Op::ThreadSnapshot,
         [] {
             HANDLE s = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
             return s != INVALID_HANDLE_VALUE && CloseHandle(s);
         }},
        {fault::Op::PostMessage,
         [] {
             MSG m;
             PeekMessageW(&m);  // the thread's queue
             return PostThreadMessageW(GetCurrentThreadId(), 3, 0, 0) && PeekMessageW(&m);
         }},
    };
    for (const Case& c : cases) {
        fault::FailNth(c.op, 2);
        EXPECT_TRUE(c.call());
        EXPECT_FALSE(c.call());
        EXPECT_TRUE(c.call());
        EXPECT_TRUE(c.call());
        fault::FailAlways(c.op);
        EXPECT_FALSE(c.call());
        fault::Reset();
        EXPECT_TRUE(c.call());
    }
}

TEST(Fault, TheEnvironmentArmsFaultsInAnotherProcess) {
    const std::string out =
        nxtest::RunPeer({"register", "A", "B", "C"}, {"NX_FAULTS=RegisterMessage:2,Bogus:1"});
    EXPECT_EQ(out.substr(0, 2), "A ");
    EXPECT_NE(out.find("\nB 0\nC "), std::string::npos) << out;
    EXPECT_EQ(out.find("C 0"), std::string::npos) << out;
}

}  // namespace
