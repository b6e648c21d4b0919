// Copying the shared record under the mutex, and posting commands to the measurement thread.
#include <array>
#include <thread>

#include "link/protocol/meas_protocol.h"
#include "link/protocol/meas_record.h"
#include "platform/message.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/section.h"
#include "tests/link/link_fixture.h"

namespace nxtest {
namespace {

// The link's kernel objects opened directly, without looking for the measurement program.
class RecordTest : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        g_measSection = win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr,
                                                win::PAGE_READWRITE, 0, 120, kMeasSectionName);
        ASSERT_NE(g_measSection, nullptr);
        g_measView = static_cast<std::uint8_t*>(
            win::MapViewOfFile(g_measSection, win::FILE_MAP_ALL_ACCESS, 0, 0, 0));
        ASSERT_NE(g_measView, nullptr);
        g_measMutex = win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName);
        ASSERT_NE(g_measMutex, nullptr);
    }

    void Fill(std::uint8_t seed) {
        for (std::size_t i = 0; i < kMeasRecordSize; ++i)
            g_measView[i] = static_cast<std::uint8_t>(seed + i * 7);
    }

    static bool OtherThreadCanTakeTheMutex() {
        DWORD result = win::WAIT_FAILED;
        std::thread([&] {
            win::HANDLE mutex = win::CreateMutexW(nullptr, win::FALSE, kMeasMutexName);
            result = win::WaitForSingleObject(mutex, 1000);
            win::ReleaseMutex(mutex);
            win::CloseHandle(mutex);
        }).join();
        return result == win::WAIT_OBJECT_0;
    }
    using DWORD = win::DWORD;
};

TEST_F(RecordTest, CopiesExactlyTheRecordAndReleasesTheMutex) {
    Fill(3);
    std::array<std::uint8_t, kMeasRecordSize + 8> destination;
    destination.fill(0xEE);
    ReadMeasRecord(destination.data());
    for (std::size_t i = 0; i < kMeasRecordSize; ++i)
        ASSERT_EQ(destination[i], g_measView[i]) << "byte " << i;
    for (std::size_t i = kMeasRecordSize; i < destination.size(); ++i)
        EXPECT_EQ(destination[i], 0xEE) << "written beyond the record at " << i;
    EXPECT_TRUE(OtherThreadCanTakeTheMutex());
}

// A read that does not get the mutex, because the measurement program ended holding it or the
// wait failed, keeps the old copy; the next read copies.
TEST_F(RecordTest, AMutexNotTakenKeepsTheOldCopyAndTheNextReadCopies) {
    for (bool abandoned : {true, false}) {
        Fill(1);
        MeasRecord copy;
        ReadMeasRecord(copy.bytes.data());
        const MeasRecord old = copy;
        Fill(100);
        if (abandoned) {
            Child holder({MeasPeerPath(), "abandon"}, *CurrentDevice());
            ASSERT_EQ(holder.Wait(), 0);
        } else {
            win::fault::FailNth(win::fault::Op::WaitMutex, 1);
        }
        ReadMeasRecord(copy.bytes.data());
        EXPECT_EQ(copy.bytes, old.bytes) << "abandoned " << abandoned;
        ReadMeasRecord(copy.bytes.data());
        EXPECT_EQ(copy.bytes[0], 100) << "abandoned " << abandoned;
        EXPECT_EQ(copy.bytes[119], static_cast<std::uint8_t>(100 + 119 * 7));
        EXPECT_TRUE(OtherThreadCanTakeTheMutex()) << "abandoned " << abandoned;
    }
}

struct PostCase {
    const char* what;
    win::BOOL (*post)(std::int32_t, std::int32_t);
    const char16_t* name;
    std::int32_t first, second;
};

const PostCase kPosts[] = {
    {"edm_measure", PostEdmCommand, kMsgSetEdmMode, kEdmMeasure, 0},
    {"edm_stop", PostEdmCommand, kMsgSetEdmMode, kEdmStop, 0},
    {"set_angle_unit", PostSetParameter, kMsgSetParameter, kParamAngleUnit, 2},
    {"set_negative_value", PostSetParameter, kMsgSetParameter, 11, -7},
    {"conf_version", PostConfParameter, kMsgConfParameter, kParamVersion56, 0},
    {"conf_with_value", PostConfParameter, kMsgConfParameter, kParamVersion59, 123456},
};

void PrintTo(const PostCase& c, std::ostream* os) {
    *os << c.what;
}

class PostTest : public LinkTest, public testing::WithParamInterface<PostCase> {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        g_measThreadId = win::GetCurrentThreadId();
        g_msgSetEdmMode = win::RegisterWindowMessageW(kMsgSetEdmMode);
        g_msgSetParameter = win::RegisterWindowMessageW(kMsgSetParameter);
        g_msgConfParameter = win::RegisterWindowMessageW(kMsgConfParameter);
        win::MSG drained;
        while (win::PeekMessageW(&drained)) {
        }
    }
};

TEST_P(PostTest, PostsOneThreadMessageWithBothValues) {
    const PostCase& c = GetParam();
    EXPECT_TRUE(c.post(c.first, c.second));
    win::MSG msg;
    ASSERT_TRUE(win::PeekMessageW(&msg));
    EXPECT_EQ(msg.hwnd, 0u);
    EXPECT_EQ(msg.message, win::RegisterWindowMessageW(c.name));
    EXPECT_EQ(msg.wParam, static_cast<win::WPARAM>(c.first));
    EXPECT_EQ(msg.lParam, c.second);
    EXPECT_FALSE(win::PeekMessageW(&msg));
}

TEST_P(PostTest, RefusedPostReportsFalseAndQueuesNothing) {
    const PostCase& c = GetParam();
    win::fault::FailNth(win::fault::Op::PostMessage, 1);
    EXPECT_FALSE(c.post(c.first, c.second));
    win::MSG msg;
    EXPECT_FALSE(win::PeekMessageW(&msg));
}

INSTANTIATE_TEST_SUITE_P(Commands, PostTest, testing::ValuesIn(kPosts),
                         [](const testing::TestParamInfo<PostCase>& info) {
                             return std::string(info.param.what);
                         });

}  // namespace
}  // namespace nxtest
