#include <gtest/gtest.h>
#include <zandrel/system.hpp>

using namespace zandrel;

class PolledInput : public testing::Test {
protected:
    void SetUp() override { EnablePolledInput(); }
    void TearDown() override { DisablePolledInput(); }
};

TEST_F(PolledInput, HeldKeyCountsOnceUntilReleased) {
    EmitNewEvent(EventKeyDown, nullptr, 65);
    EmitNewEvent(EventKeyRepeat, nullptr, 65);
    EmitNewEvent(EventKeyDown, nullptr, 65); // a second down without an up
    EXPECT_EQ(IsKeyDown(65), 1);
    EXPECT_EQ(TakeKeyHits(65), 1);
    EXPECT_EQ(TakeKeyHits(65), 0);
    EXPECT_EQ(IsKeyDown(65), 1);
    EmitNewEvent(EventKeyUp, nullptr, 65);
    EXPECT_EQ(IsKeyDown(65), 0);
    EmitNewEvent(EventKeyDown, nullptr, 65);
    EmitNewEvent(EventKeyUp, nullptr, 65);
    EmitNewEvent(EventKeyDown, nullptr, 65);
    EXPECT_EQ(TakeKeyHits(65), 2);
}

TEST_F(PolledInput, MouseButtonsPositionAndWheel) {
    EmitNewEvent(EventMouseDown, nullptr, 2, 0, 5, 6);
    EmitNewEvent(EventMouseMove, nullptr, 2, 0, 40, 50);
    EmitNewEvent(EventMouseWheel, nullptr, 1);
    EmitNewEvent(EventMouseWheel, nullptr, 1);
    EmitNewEvent(EventMouseWheel, nullptr, -3);
    EXPECT_EQ(IsMouseDown(2), 1);
    EXPECT_EQ(TakeMouseHits(2), 1);
    EXPECT_EQ(TakeMouseHits(1), 0);
    EXPECT_EQ(MouseXPos(), 40);
    EXPECT_EQ(MouseYPos(), 50);
    EXPECT_EQ(MouseWheelPos(), -1);
    EmitNewEvent(EventMouseUp, nullptr, 2);
    EXPECT_EQ(IsMouseDown(2), 0);
    ClearMouse();
    EXPECT_EQ(MouseWheelPos(), 0);
    EXPECT_EQ(MouseXPos(), 40); // the position stays
}

TEST_F(PolledInput, SuspendClearsEverythingAndResumeToo) {
    EmitNewEvent(EventKeyDown, nullptr, 32);
    EmitNewEvent(EventMouseDown, nullptr, 1);
    EmitNewEvent(EventKeyChar, nullptr, 'q');
    EmitNewEvent(EventAppSuspend);
    EXPECT_EQ(IsAppSuspended(), 1);
    EXPECT_EQ(IsKeyDown(32), 0);
    EXPECT_EQ(TakeKeyHits(32), 0);
    EXPECT_EQ(IsMouseDown(1), 0);
    EXPECT_EQ(TakeChar(), 0);
    EmitNewEvent(EventKeyDown, nullptr, 32);
    EmitNewEvent(EventAppResume);
    EXPECT_EQ(IsAppSuspended(), 0);
    EXPECT_EQ(IsKeyDown(32), 0);
}

TEST_F(PolledInput, CharactersQueueUpToTheirLimit) {
    for (int i = 1; i <= 300; ++i)
        EmitNewEvent(EventKeyChar, nullptr, i);
    for (int i = 1; i <= 256; ++i)
        ASSERT_EQ(TakeChar(), i);
    EXPECT_EQ(TakeChar(), 0);
    EmitNewEvent(EventKeyChar, nullptr, 'x');
    EXPECT_EQ(TakeChar(), 'x');
}

TEST_F(PolledInput, TerminateRequestIsTakenOnce) {
    EXPECT_EQ(TakeTerminateRequest(), 0);
    EmitNewEvent(EventAppTerminate);
    EXPECT_EQ(TakeTerminateRequest(), 1);
    EXPECT_EQ(TakeTerminateRequest(), 0);
}

TEST_F(PolledInput, OutOfTableCodesAreIgnoredOrRefused) {
    EmitNewEvent(EventKeyDown, nullptr, 300);
    EmitNewEvent(EventKeyDown, nullptr, -1);
    EmitNewEvent(EventMouseDown, nullptr, 9);
    EXPECT_THROW(IsKeyDown(256), RuntimeError);
    EXPECT_THROW(TakeMouseHits(4), RuntimeError);
    EXPECT_EQ(IsKeyDown(255), 0);
}

TEST(PolledInputSource, OnlyTheChosenSourceCounts) {
    auto chosen = StringObject(S("chosen"));
    EnablePolledInput(chosen);
    EmitNewEvent(EventKeyDown, StringObject(S("other")), 70);
    EmitNewEvent(EventKeyDown, chosen, 71);
    EXPECT_EQ(IsKeyDown(70), 0);
    EXPECT_EQ(IsKeyDown(71), 1);
    DisablePolledInput();
    EXPECT_EQ(IsKeyDown(71), 0);
    EmitNewEvent(EventKeyDown, chosen, 72);
    EXPECT_EQ(IsKeyDown(72), 0); // no longer listening
}

TEST(PolledInputOrder, PolledInputSeesEventsBeforeTheQueueAndAfterUrgentHooks) {
    static std::vector<int> seen;
    seen.clear();
    auto spy = [](int, const Ref<Object>& data, const Ref<Object>&) -> Ref<Object> {
        seen.push_back(IsKeyDown(90));
        return data;
    };
    EnablePolledInput();
    AddHook(EmitEventHook(), spy, nullptr, 1);
    AddHook(EmitEventHook(), spy, nullptr, -1);
    EmitNewEvent(EventKeyDown, nullptr, 90);
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    DisablePolledInput();
}
