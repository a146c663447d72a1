#include <gtest/gtest.h>
#include <zandrel/system.hpp>

using namespace zandrel;

class PolledInput : public testing::Test {
protected:
    void SetUp() override { EnablePolledInput(); }
    void TearDown() override { DisablePolledInput(); }
};

TEST_F(PolledInput, HeldKeyCountsOnceUntilReleased) {
    EmitNewEvent(EventId::KeyDown, nullptr, 65);
    EmitNewEvent(EventId::KeyRepeat, nullptr, 65);
    EmitNewEvent(EventId::KeyDown, nullptr, 65); // a second down without an up
    EXPECT_TRUE(IsKeyDown(Key::A));
    EXPECT_EQ(TakeKeyHits(Key::A), 1);
    EXPECT_EQ(TakeKeyHits(Key::A), 0);
    EXPECT_TRUE(IsKeyDown(Key::A));
    EmitNewEvent(EventId::KeyUp, nullptr, 65);
    EXPECT_FALSE(IsKeyDown(Key::A));
    EmitNewEvent(EventId::KeyDown, nullptr, 65);
    EmitNewEvent(EventId::KeyUp, nullptr, 65);
    EmitNewEvent(EventId::KeyDown, nullptr, 65);
    EXPECT_EQ(TakeKeyHits(Key::A), 2);
}

TEST_F(PolledInput, MouseButtonsPositionAndWheel) {
    EmitNewEvent(EventId::MouseDown, nullptr, 2, Modifier::NoModifier, 5, 6);
    EmitNewEvent(EventId::MouseMove, nullptr, 2, Modifier::NoModifier, 40, 50);
    EmitNewEvent(EventId::MouseWheel, nullptr, 1);
    EmitNewEvent(EventId::MouseWheel, nullptr, 1);
    EmitNewEvent(EventId::MouseWheel, nullptr, -3);
    EXPECT_TRUE(IsMouseDown(MouseButton::Right));
    EXPECT_EQ(TakeMouseHits(MouseButton::Right), 1);
    EXPECT_EQ(TakeMouseHits(MouseButton::Left), 0);
    EXPECT_EQ(MouseXPos(), 40);
    EXPECT_EQ(MouseYPos(), 50);
    EXPECT_EQ(MouseWheelPos(), -1);
    EmitNewEvent(EventId::MouseUp, nullptr, 2);
    EXPECT_FALSE(IsMouseDown(MouseButton::Right));
    ClearMouse();
    EXPECT_EQ(MouseWheelPos(), 0);
    EXPECT_EQ(MouseXPos(), 40); // the position stays
}

TEST_F(PolledInput, SuspendClearsEverythingAndResumeToo) {
    EmitNewEvent(EventId::KeyDown, nullptr, 32);
    EmitNewEvent(EventId::MouseDown, nullptr, 1);
    EmitNewEvent(EventId::KeyChar, nullptr, 'q');
    EmitNewEvent(EventId::AppSuspend);
    EXPECT_TRUE(IsAppSuspended());
    EXPECT_FALSE(IsKeyDown(Key::Space));
    EXPECT_EQ(TakeKeyHits(Key::Space), 0);
    EXPECT_FALSE(IsMouseDown(MouseButton::Left));
    EXPECT_EQ(TakeChar(), 0);
    EmitNewEvent(EventId::KeyDown, nullptr, 32);
    EmitNewEvent(EventId::AppResume);
    EXPECT_FALSE(IsAppSuspended());
    EXPECT_FALSE(IsKeyDown(Key::Space));
}

TEST_F(PolledInput, CharactersQueueUpToTheirLimit) {
    for (int i = 1; i <= 300; ++i)
        EmitNewEvent(EventId::KeyChar, nullptr, i);
    for (int i = 1; i <= 256; ++i)
        ASSERT_EQ(TakeChar(), i);
    EXPECT_EQ(TakeChar(), 0);
    EmitNewEvent(EventId::KeyChar, nullptr, 'x');
    EXPECT_EQ(TakeChar(), 'x');
}

TEST_F(PolledInput, TerminateRequestIsTakenOnce) {
    EXPECT_FALSE(TakeTerminateRequest());
    EmitNewEvent(EventId::AppTerminate);
    EXPECT_TRUE(TakeTerminateRequest());
    EXPECT_FALSE(TakeTerminateRequest());
}

TEST_F(PolledInput, OutOfTableCodesAreIgnoredOrRefused) {
    EmitNewEvent(EventId::KeyDown, nullptr, 300);
    EmitNewEvent(EventId::KeyDown, nullptr, -1);
    EmitNewEvent(EventId::MouseDown, nullptr, 9);
    EXPECT_THROW(IsKeyDown(static_cast<Key>(256)), RuntimeError);
    EXPECT_THROW(TakeMouseHits(static_cast<MouseButton>(4)), RuntimeError);
    EXPECT_FALSE(IsKeyDown(static_cast<Key>(255)));
}

TEST(PolledInputSource, OnlyTheChosenSourceCounts) {
    auto chosen = StringObject(S("chosen"));
    EnablePolledInput(chosen);
    EmitNewEvent(EventId::KeyDown, StringObject(S("other")), 70);
    EmitNewEvent(EventId::KeyDown, chosen, 71);
    EXPECT_FALSE(IsKeyDown(Key::F));
    EXPECT_TRUE(IsKeyDown(Key::G));
    DisablePolledInput();
    EXPECT_FALSE(IsKeyDown(Key::G));
    EmitNewEvent(EventId::KeyDown, chosen, 72);
    EXPECT_FALSE(IsKeyDown(Key::H)); // no longer listening
}

TEST(PolledInputOrder, PolledInputSeesEventsBeforeTheQueueAndAfterUrgentHooks) {
    static std::vector<int> seen;
    seen.clear();
    auto spy = [](int, const Ref<Object>& data, const Ref<Object>&) -> Ref<Object> {
        seen.push_back(IsKeyDown(Key::Z));
        return data;
    };
    EnablePolledInput();
    AddHook(EmitEventHook(), spy, nullptr, 1);
    AddHook(EmitEventHook(), spy, nullptr, -1);
    EmitNewEvent(EventId::KeyDown, nullptr, 90);
    EXPECT_EQ(seen, (std::vector<int>{0, 1}));
    DisablePolledInput();
}
