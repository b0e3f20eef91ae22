// The mock-bus tests run on a private bus of their own.
#include "mock_bluez.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new mockbluez::PrivateBus);
    return RUN_ALL_TESTS();
}
