// The wine suite's main: one Wine prefix for all its tests, ended with the program.
#include <gtest/gtest.h>

#include "tests/wine/wine_prefix.h"

namespace {

class WineSuite : public testing::Environment {
  public:
    void TearDown() override { nxtest::WinePrefix::End(); }
};

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new WineSuite);
    return RUN_ALL_TESTS();
}
