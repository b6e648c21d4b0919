// Registered message names: one id per name across the device's processes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/message.h"
#include "tests/platform/peer.h"

namespace {

using namespace win;
using namespace nxtest;

// "NAME ID" lines into a map.
std::map<std::string, UINT> ParseIds(const std::string& out) {
    std::map<std::string, UINT> ids;
    std::istringstream in(out);
    std::string name;
    UINT id;
    while (in >> name >> id) ids[name] = id;
    return ids;
}

TEST(RegisteredMessage, SameIdsInEveryProcessWithoutRegardToCase) {
    const UINT data = RegisterWindowMessageW(u"NXDATACHANGE");
    const UINT edm = RegisterWindowMessageW(u"NXSetEdmMode");
    ASSERT_GE(data, 0xC000u);
    ASSERT_GE(edm, 0xC000u);
    EXPECT_NE(data, edm);
    auto ids =
        ParseIds(RunProcess(PeerCommand({"register", "nxsetedmmode", "NXTILTOVER", "NxDataChange"}),
                            Device())
                     .out);
    EXPECT_EQ(ids["nxsetedmmode"], edm);
    EXPECT_EQ(ids["NxDataChange"], data);
    EXPECT_EQ(RegisterWindowMessageW(u"nxtiltover"), ids["NXTILTOVER"]);
    EXPECT_EQ(GetRegisteredMessageName(ids["NXTILTOVER"]), u"NXTILTOVER");
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
}

TEST(RegisteredMessage, ManyProcessesRegisteringAtOnceGetOneIdPerName) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("RACE" + std::to_string(i));
    std::vector<Child> peers;
    for (int p = 0; p < 4; ++p) {
        std::vector<std::string> args{"register"};
        // Each peer registers in its own order.
        for (std::size_t i = 0; i < names.size(); ++i)
            args.push_back(names[(i * (2 * p + 1) + p) % names.size()]);
        peers.emplace_back(PeerCommand(args), Device());
    }
    std::map<std::string, UINT> agreed;
    std::set<UINT> distinct;
    for (auto& peer : peers) {
        ASSERT_EQ(peer.Wait(), 0);
        const std::string out = peer.Output();
        for (const auto& [name, id] : ParseIds(out)) {
            EXPECT_NE(id, 0u);
            auto [it, fresh] = agreed.emplace(name, id);
            EXPECT_EQ(it->second, id) << name;
            if (fresh) distinct.insert(id);
        }
    }
    EXPECT_EQ(agreed.size(), names.size());
    EXPECT_EQ(distinct.size(), names.size());
}

TEST(RegisteredMessage, ALineCutShortByADeadWriterIsDropped) {
    const UINT before = RegisterWindowMessageW(u"BEFORE_CUT");
    ASSERT_NE(before, 0u);
    {
        std::ofstream table(RuntimeDirectory() + "/messages", std::ios::app);
        table << "C7";  // a writer died here
    }
    auto ids =
        ParseIds(RunProcess(PeerCommand({"register", "AFTER_CUT", "BEFORE_CUT"}), Device()).out);
    EXPECT_EQ(ids["BEFORE_CUT"], before);
    EXPECT_EQ(ids["AFTER_CUT"], before + 1);
    EXPECT_EQ(RegisterWindowMessageW(u"after_cut"), before + 1);
}

}  // namespace
