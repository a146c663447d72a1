#include <gtest/gtest.h>
#include <zandrel/graphics.hpp>

#include "graphics/gl_context.hpp"

#include <SDL.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace zandrel;

// A framework window at 32,32 driven from outside the program by xdotool,
// the way a person at the keyboard and mouse would.
class RealInput : public testing::Test {
protected:
    void SetUp() override {
        graphics = GLGraphics(640, 480);
        ASSERT_TRUE(graphics);
        Xdotool("mousemove 332 272"); // inside, away from the points the tests use
        Collect(300);
    }
    void TearDown() override { EndGraphics(); }

    static void Xdotool(const std::string& arguments) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }

    // Every event the queue hands out within `ms`.
    static std::vector<Ref<TEvent>> Collect(int ms) {
        std::vector<Ref<TEvent>> events;
        int deadline = Millisecs() + ms;
        while (deadline - Millisecs() > 0) {
            if (PollEvent() != EventId::NoEvent)
                events.push_back(CurrentEvent());
            else
                DelayMillis(5);
        }
        return events;
    }

    static std::vector<Ref<TEvent>> OfId(const std::vector<Ref<TEvent>>& events, EventId id) {
        std::vector<Ref<TEvent>> matching;
        for (auto& event : events)
            if (event->id == id) matching.push_back(event);
        return matching;
    }

    Ref<TGraphics> graphics;
};

TEST_F(RealInput, KeyPressAndReleaseCarryVirtualKeyCodes) {
    Xdotool("key a");
    auto events = Collect(300);
    auto downs = OfId(events, EventId::KeyDown), ups = OfId(events, EventId::KeyUp);
    ASSERT_EQ(downs.size(), 1u);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(downs[0]->AsKey(), Key::A);
    EXPECT_EQ(ups[0]->data, 65);
    EXPECT_FALSE(downs[0]->source);

    // xdotool holds left Control around a modifier keysym of its own accord;
    // only the right Control key's own events are looked at.
    Xdotool("key Control_R");
    events = Collect(300);
    auto rightControl = [&](EventId id) {
        std::vector<Ref<TEvent>> found;
        for (auto& event : OfId(events, id))
            if (event->AsKey() == Key::RightControl) found.push_back(event);
        return found;
    };
    ASSERT_EQ(rightControl(EventId::KeyDown).size(), 1u);
    ASSERT_EQ(rightControl(EventId::KeyUp).size(), 1u);
    EXPECT_EQ(rightControl(EventId::KeyDown)[0]->mods, Modifier::Control);
    EXPECT_EQ(rightControl(EventId::KeyUp)[0]->mods, Modifier::NoModifier);
    EXPECT_EQ(ModifierFlags(), Modifier::NoModifier);
}

TEST_F(RealInput, LeftShiftHeldModifiesTheLetter) {
    Xdotool("keydown Shift_L key b keyup Shift_L");
    auto events = Collect(300);
    auto downs = OfId(events, EventId::KeyDown);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0]->AsKey(), Key::LeftShift);
    EXPECT_EQ(downs[1]->AsKey(), Key::B);
    EXPECT_EQ(downs[1]->mods, Modifier::Shift);
    auto chars = OfId(events, EventId::KeyChar);
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0]->data, 'B');
}

TEST_F(RealInput, RightAltHeldGivesKeyDownsThatCarryAlt) {
    // Right Alt by its key code: its keysym would press Left Alt as well.
    Xdotool("keydown 108 key d keyup 108");
    auto downs = OfId(Collect(300), EventId::KeyDown);
    ASSERT_EQ(downs.size(), 2u);
    EXPECT_EQ(downs[0]->AsKey(), Key::RightAlt);
    EXPECT_EQ(downs[1]->AsKey(), Key::D);
    for (auto& down : downs)
        EXPECT_EQ(down->mods & Modifier::Alt, Modifier::Alt) << down->data;
}

TEST_F(RealInput, HeldKeyRepeatsAndCountsOneHit) {
    Xdotool("keydown c");
    auto held = Collect(1200);
    EXPECT_TRUE(IsKeyDown(Key::C));
    Xdotool("keyup c");
    auto released = Collect(300);
    ASSERT_GE(held.size(), 2u);
    EXPECT_EQ(held.front()->id, EventId::KeyDown);
    EXPECT_GE(OfId(held, EventId::KeyRepeat).size(), 1u);
    EXPECT_EQ(OfId(held, EventId::KeyDown).size(), 1u);
    for (auto& repeat : OfId(held, EventId::KeyRepeat))
        EXPECT_EQ(repeat->data, 67);
    ASSERT_EQ(OfId(released, EventId::KeyUp).size(), 1u);
    EXPECT_EQ(TakeKeyHits(Key::C), 1);
    EXPECT_EQ(TakeKeyHits(Key::C), 0);
    EXPECT_FALSE(IsKeyDown(Key::C));
}

TEST_F(RealInput, TypingGivesCharacters) {
    Xdotool("type 'Hi!'");
    Xdotool("key Return");
    auto chars = OfId(Collect(400), EventId::KeyChar);
    std::vector<int> codes;
    for (auto& c : chars)
        codes.push_back(c->data);
    EXPECT_EQ(codes, (std::vector<int>{'H', 'i', '!', 13}));
}

// The waits clear what came before them, so the input comes while they wait.
TEST_F(RealInput, WaitsReturnInputThatArrivesWhileWaiting) {
    std::thread typist([] {
        DelayMillis(300);
        Xdotool("type z");
        DelayMillis(300);
        Xdotool("key F1");
        DelayMillis(300);
        Xdotool("click 2");
    });
    EXPECT_EQ(WaitForChar(), 'z');
    EXPECT_EQ(WaitForKey(), Key::F1);
    EXPECT_EQ(WaitForMouse(), MouseButton::Middle);
    typist.join();
}

TEST_F(RealInput, ClickGivesButtonEventsWithPosition) {
    Xdotool("mousemove 132 132 click 1");
    auto events = Collect(300);
    auto downs = OfId(events, EventId::MouseDown), ups = OfId(events, EventId::MouseUp);
    ASSERT_EQ(downs.size(), 1u);
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(downs[0]->AsButton(), MouseButton::Left);
    EXPECT_EQ(downs[0]->x, 100);
    EXPECT_EQ(downs[0]->y, 100);
    EXPECT_EQ(ups[0]->data, 1);
    EXPECT_EQ(TakeMouseHits(MouseButton::Left), 1);
    EXPECT_FALSE(IsMouseDown(MouseButton::Left));

    Xdotool("click 3");
    downs = OfId(Collect(300), EventId::MouseDown);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0]->AsButton(), MouseButton::Right);
}

TEST_F(RealInput, MovesCarryPositionAndHeldButton) {
    Xdotool("mousemove 232 182");
    auto moves = OfId(Collect(300), EventId::MouseMove);
    ASSERT_GE(moves.size(), 1u);
    EXPECT_EQ(moves.back()->x, 200);
    EXPECT_EQ(moves.back()->y, 150);
    EXPECT_EQ(moves.back()->data, 0);
    EXPECT_EQ(MouseXPos(), 200);
    EXPECT_EQ(MouseYPos(), 150);

    Xdotool("mousedown 3 mousemove 242 192 mouseup 3");
    moves = OfId(Collect(300), EventId::MouseMove);
    ASSERT_GE(moves.size(), 1u);
    EXPECT_EQ(moves.back()->data, 2);
}

TEST_F(RealInput, WheelNotchesAreOneEach) {
    Xdotool("click 4");
    auto wheels = OfId(Collect(300), EventId::MouseWheel);
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(wheels[0]->data, 1);
    Xdotool("click 5 click 5");
    wheels = OfId(Collect(300), EventId::MouseWheel);
    ASSERT_EQ(wheels.size(), 2u);
    EXPECT_EQ(wheels[0]->data, -1);
    EXPECT_EQ(MouseWheelPos(), -1);
}

TEST_F(RealInput, LeavingAndEnteringAreReportedOnce) {
    Xdotool("mousemove 900 700");
    auto leaving = Collect(300);
    ASSERT_EQ(OfId(leaving, EventId::MouseLeave).size(), 1u);
    EXPECT_EQ(OfId(leaving, EventId::MouseEnter).size(), 0u);
    Xdotool("mousemove 950 720");
    EXPECT_EQ(OfId(Collect(200), EventId::MouseLeave).size(), 0u);

    Xdotool("mousemove 82 92");
    auto entering = Collect(300);
    auto enters = OfId(entering, EventId::MouseEnter);
    ASSERT_EQ(enters.size(), 1u);
    EXPECT_EQ(enters[0]->x, 50);
    EXPECT_EQ(enters[0]->y, 60);
    EXPECT_EQ(enters[0]->mods, Modifier::NoModifier);
    EXPECT_EQ(OfId(entering, EventId::MouseLeave).size(), 0u);
}

// SDL's own close request, as a window manager's close button sends it.
TEST_F(RealInput, CloseRequestBecomesTerminateRequest) {
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    close.window.windowID = native::FirstGLContext()->windowId;
    SDL_PushEvent(&close);
    EXPECT_TRUE(TakeTerminateRequest());
    EXPECT_FALSE(TakeTerminateRequest());
    EXPECT_EQ(PollEvent(), EventId::AppTerminate);
}

// Message boxes answered from outside, as a person would.
class MessageBoxes : public testing::Test {
protected:
    // Without a window manager xdotool cannot find the box by name, so its id
    // comes from the window tree.
    static std::thread Answer(const std::string& key) {
        return std::thread([key] {
            std::system(("for i in $(seq 50); do box=$(xwininfo -root -tree | sed -n"
                         " 's/^ *\\(0x[0-9a-f]*\\) \"Zandrel Application\".*/\\1/p');"
                         " [ -n \"$box\" ] && break; sleep 0.1; done;"
                         " xdotool windowfocus --sync $box key " +
                         key)
                            .c_str());
        });
    }
};

TEST_F(MessageBoxes, ReturnAndEscapeChooseTheDefaultButtons) {
    auto answer = Answer("Return");
    EXPECT_EQ(AskYesNoCancel(S("Save the changes?")), zandrel::Answer::Yes);
    answer.join();
    answer = Answer("Escape");
    EXPECT_EQ(AskYesNoCancel(S("Save the changes?"), true), zandrel::Answer::Cancel);
    answer.join();
    answer = Answer("Return");
    EXPECT_TRUE(AskOkCancel(S("Go on?")));
    answer.join();
    answer = Answer("Escape");
    EXPECT_FALSE(AskOkCancel(S("Go on?")));
    answer.join();
    answer = Answer("Return");
    ShowNotice(S("Done."));
    answer.join();
}
