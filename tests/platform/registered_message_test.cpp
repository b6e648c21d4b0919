// Registered message names: one id per name across the device's processes.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "platform/message.h"
#include "tests/platform/contract.h"

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

// Names of the tests' own: under Wine the names stay registered for the whole session, with
// the letter case of their first registration, and the programs tested after these see them.
TEST(RegisteredMessage, SameIdsInEveryProcessWithoutRegardToCase) {
    const UINT data = RegisterWindowMessageW(u"TESTDATACHANGE");
    const UINT edm = RegisterWindowMessageW(u"TestSetEdmMode");
    ASSERT_GE(data, 0xC000u);
    ASSERT_GE(edm, 0xC000u);
    EXPECT_NE(data, edm);
    auto ids = ParseIds(RunPeer({"register", "testsetedmmode", "TESTTILTOVER", "TestDataChange"}));
    EXPECT_EQ(ids["testsetedmmode"], edm);
    EXPECT_EQ(ids["TestDataChange"], data);
    EXPECT_EQ(RegisterWindowMessageW(u"testtiltover"), ids["TESTTILTOVER"]);
    EXPECT_EQ(GetRegisteredMessageName(ids["TESTTILTOVER"]), u"TESTTILTOVER");
    EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
}

TEST(RegisteredMessage, ManyProcessesRegisteringAtOnceGetOneIdPerName) {
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) names.push_back("RACE" + std::to_string(i));
    std::vector<Peer> peers;
    for (int p = 0; p < 4; ++p) {
        std::vector<std::string> args{"register"};
        // Each peer registers in its own order.
        for (std::size_t i = 0; i < names.size(); ++i)
            args.push_back(names[(i * (2 * p + 1) + p) % names.size()]);
        peers.emplace_back(args);
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

}  // namespace
