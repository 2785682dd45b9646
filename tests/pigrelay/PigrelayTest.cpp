// Pigrelay against the EPICIO stand-in, whose virtual card records every pigeonhole written.

#include "Pigrelay.h"
#include "support/VirtualEpicCard.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Bytes = std::array<int, 4>;

constexpr auto pigeonhole = glimrow::test::writtenPigeonhole;
constexpr auto sent = glimrow::test::pigeonholeBytes;

// Every test starts with the card plugged in and open, and nothing written yet.
class Pigrelay : public ::testing::Test {
protected:
    void SetUp() override
    {
        CloseEpic();
        EpicioVirtual_SetPresent(1);
        EpicioVirtual_Reset();
        ASSERT_EQ(OpenEpic(), 1);
    }
    void TearDown() override { CloseEpic(); }
};

} // namespace

TEST_F(Pigrelay, OpeningAndClosingAskTheDeviceOnlyWhenNeeded)
{
    EXPECT_EQ(OpenEpic(), 1); // already open: no second OpenDevice
    EXPECT_EQ(EpicioVirtual_OpenCalls(), 1);
    EXPECT_EQ(CloseEpic(), 1);
    EXPECT_EQ(EpicioVirtual_CloseCalls(), 1);
    EXPECT_EQ(CloseEpic(), 1); // nothing open: no call
    EXPECT_EQ(EpicioVirtual_CloseCalls(), 1);

    EpicioVirtual_SetPresent(0);
    EXPECT_EQ(OpenEpic(), 0);
    EXPECT_EQ(OpenEpic(), 0); // a failed open tries again
    EXPECT_EQ(EpicioVirtual_OpenCalls(), 3);
    EpicioVirtual_SetPresent(1);
    EXPECT_EQ(OpenEpic(), 1);
}

TEST_F(Pigrelay, ValueChannelsSendTheLowByteOfTheirConvertedValue)
{
    EXPECT_EQ(RPMCallRet(300), 300); // a setter returns its argument
    EXPECT_EQ(RPMPHCallRet(7), 7);
    SendRPMPH();
    EXPECT_EQ(sent(7), (Bytes{44, 0, 0, 0}));

    PITCHPHCallRet(14);
    PITCHCallRet(10);
    SendPITCHPH();
    EXPECT_EQ(sent(14), (Bytes{232, 0, 0, 0}));
    PITCHCallRet(-10);
    SendPITCHPH();
    EXPECT_EQ(sent(14), (Bytes{24, 0, 0, 0}));

    TOTALPHCallRet(12);
    INTRESPHCallRet(13);
    TOTALCallRet(12345);
    SendTOTALPH();
    SendFUELRESPH();
    EXPECT_EQ(sent(12), (Bytes{123, 0, 0, 0}));
    EXPECT_EQ(sent(13), (Bytes{9, 0, 0, 0}));
    TOTALCallRet(850);
    SendTOTALPH();
    SendFUELRESPH();
    EXPECT_EQ(sent(12), (Bytes{8, 0, 0, 0}));
    EXPECT_EQ(sent(13), (Bytes{8, 0, 0, 0}));
    TOTALCallRet(-150); // truncation toward zero: -1
    SendTOTALPH();
    EXPECT_EQ(sent(12), (Bytes{255, 0, 0, 0}));

    INTERNALPHCallRet(16);
    INTWINGPHCallRet(18);
    for (const auto& [internal, wing] : {std::pair{5350, 5}, {4899, 0}, {5900, 11}}) {
        INTERNALCallRet(internal);
        SendINTWINGPH();
        EXPECT_EQ(sent(18), (Bytes{wing, 0, 0, 0})) << internal;
    }
    EXPECT_EQ(pigeonhole(18)->writes, 3); // every send reaches the card, changed or not
}

TEST_F(Pigrelay, GearMaskGoesToPigeonholeFiveEveryTime)
{
    EXPECT_EQ(SendNoseGear(1.0f), 0);
    SendLeftGear(0.5f);
    SendRightGear(1.7f);
    SendGearTrans();
    EXPECT_EQ(sent(5), (Bytes{5, 0, 0, 0}));
    SendGearTrans();
    EXPECT_EQ(sent(5), (Bytes{5, 0, 0, 0}));
    EXPECT_EQ(pigeonhole(5)->writes, 2);
    SendNoseGear(2.0f);
    SendRightGear(-0.5f);
    SendGearTrans();
    EXPECT_EQ(sent(5), (Bytes{0, 0, 0, 0}));
}

TEST_F(Pigrelay, ASendBeforeItsSettersAddressesPigeonholeZeroWithZero)
{
    SendKIASPH();
    EXPECT_EQ(sent(0), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(EpicioVirtual_SendCalls(), 1);

    // Without an open card the stand-in refuses the write harmlessly.
    CloseEpic();
    EpicioVirtual_Reset();
    SendKIASPH();
    EXPECT_EQ(EpicioVirtual_SendCalls(), 1);
    EXPECT_EQ(EpicioVirtual_PigeonholeCount(), 0);
}
