#include "system/system_native.hpp"
#include "test_support.hpp"

#include <SDL.h>
#include <gtest/gtest.h>
#include <zandrel/system.hpp>

#include <map>
#include <set>
#include <string>
#include <vector>

using namespace zandrel;

namespace {

std::vector<std::string> calls;

Ref<Object> Record(int, const Ref<Object>& data, const Ref<Object>& context) {
    calls.push_back(ToBytes(ObjectText(context)));
    return data;
}

Ref<Object> Replace(int, const Ref<Object>&, const Ref<Object>& context) {
    return context;
}

Ref<Object> ReturnNothing(int, const Ref<Object>&, const Ref<Object>&) {
    calls.push_back("nothing");
    return nullptr;
}

} // namespace

TEST(Hooks, RunInPriorityOrderThenInOrderAdded) {
    calls.clear();
    int id = AllocHookId();
    AddHook(id, Record, StringObject(S("first")), 0);
    AddHook(id, Record, StringObject(S("second")), 0);
    AddHook(id, Record, StringObject(S("urgent")), 5);
    AddHook(id, Record, StringObject(S("late")), -3);
    RunHooks(id, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"urgent", "first", "second", "late"}));
}

TEST(Hooks, DataPassesFromHookToHookAndEveryHookRuns) {
    calls.clear();
    int id = AllocHookId();
    EXPECT_EQ(ObjectText(RunHooks(id, StringObject(S("untouched")))), u"untouched");
    AddHook(id, ReturnNothing, nullptr, 9);
    AddHook(id, Replace, StringObject(S("replaced")), 1);
    AddHook(id, Record, StringObject(S("after")), 0);
    EXPECT_EQ(ObjectText(RunHooks(id, nullptr)), u"replaced");
    EXPECT_EQ(calls, (std::vector<std::string>{"nothing", "after"}));
}

TEST(Hooks, RemoveTakesTheFirstMatchOnly) {
    calls.clear();
    int id = AllocHookId();
    auto context = StringObject(S("twice"));
    AddHook(id, Record, context, 0);
    AddHook(id, Record, context, 0);
    AddHook(id, Record, StringObject(S("other")), 0);
    RemoveHook(id, Record, context);
    RemoveHook(id, Replace, context); // no such hook: nothing happens
    RunHooks(id, nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"twice", "other"}));
}

TEST(Hooks, IdsRunOut) {
    // The event queue and the flip hook hold ids 0 and 1.
    EXPECT_EQ(EmitEventHook(), 0);
    int last = 0;
    for (int i = 2; i < MaxHookIds; ++i)
        last = AllocHookId();
    EXPECT_EQ(last, 255);
    try {
        AllocHookId();
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Message(), u"Too many hook ids");
    }
    EXPECT_THROW(RunHooks(256, nullptr), RuntimeError);
}

TEST(Events, TextForm) {
    auto key = TEvent::CreateEvent(EventId::KeyDown, nullptr, 65, Modifier::Shift, 0, 0, nullptr);
    EXPECT_EQ(key->ToString(), u"KeyDown: data=65, mods=1, x=0, y=0, extra=\"\"");
    auto move = TEvent::CreateEvent(EventId::MouseMove, nullptr, -2, Modifier::NoModifier, 10, -20,
                                    StringObject(S("hi")));
    EXPECT_EQ(move->ToString(), u"MouseMove: data=-2, mods=0, x=10, y=-20, extra=\"hi\"");
    EXPECT_EQ(TEvent::CreateEvent(static_cast<EventId>(999))->ToString(),
              u"Unknown Event, id=999: data=0, mods=0, x=0, y=0, extra=\"\"");
    EXPECT_EQ(TEvent::CreateEvent(EventId::MenuAction)->ToString().substr(0, 11), u"MenuAction:");
}

// Each reading answers only for the events that carry it.
TEST(Events, DataReadsAsTheKeyButtonOrCharacterOfItsEvent) {
    struct Case {
        EventId id;
        int data;
        Key key;
        MouseButton button;
        char16_t character;
    };
    const Case cases[] = {
        {EventId::KeyDown, 65, Key::A, MouseButton::NoButton, 0},
        {EventId::KeyUp, 165, Key::RightAlt, MouseButton::NoButton, 0},
        {EventId::KeyRepeat, 67, Key::C, MouseButton::NoButton, 0},
        {EventId::KeyChar, 'k', Key::NoKey, MouseButton::NoButton, u'k'},
        {EventId::MouseDown, 2, Key::NoKey, MouseButton::Right, 0},
        {EventId::MouseUp, 3, Key::NoKey, MouseButton::Middle, 0},
        {EventId::MouseMove, 4, Key::NoKey, MouseButton::Middle, 0}, // held buttons are bits
        {EventId::MouseMove, 1, Key::NoKey, MouseButton::Left, 0},
        {EventId::MouseMove, 0, Key::NoKey, MouseButton::NoButton, 0},
        {EventId::MouseWheel, 1, Key::NoKey, MouseButton::NoButton, 0},
        {EventId::TimerTick, 65, Key::NoKey, MouseButton::NoButton, 0},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << ToNumber(c.id) << " data " << c.data);
        EmitNewEvent(c.id, nullptr, c.data);
        ASSERT_EQ(PollEvent(), c.id);
        EXPECT_EQ(CurrentEvent()->AsKey(), c.key);
        EXPECT_EQ(CurrentEvent()->AsButton(), c.button);
        EXPECT_EQ(CurrentEvent()->AsChar(), c.character);
        EXPECT_EQ(CurrentEventKey(), c.key);
        EXPECT_EQ(CurrentEventButton(), c.button);
        EXPECT_EQ(CurrentEventChar(), c.character);
        EXPECT_EQ(CurrentEventData(), c.data); // the stored number stays as it was
    }
}

TEST(EventQueue, EmptyQueueGivesTheBlankEvent) {
    EmitNewEvent(EventId::KeyDown, nullptr, 65, Modifier::Shift, 2, 3, StringObject(S("x")));
    EXPECT_EQ(PollEvent(), EventId::KeyDown);
    EXPECT_EQ(CurrentEventData(), 65);
    EXPECT_EQ(CurrentEventText(), u"x");
    EXPECT_EQ(PollEvent(), EventId::NoEvent);
    EXPECT_EQ(PeekEvent(), nullptr);
    EXPECT_EQ(CurrentEventId(), EventId::NoEvent);
    EXPECT_EQ(CurrentEventData(), 0);
    EXPECT_EQ(CurrentEventMods(), Modifier::NoModifier);
    EXPECT_EQ(CurrentEventX(), 0);
    EXPECT_EQ(CurrentEventY(), 0);
    EXPECT_EQ(CurrentEventExtra(), nullptr);
    EXPECT_EQ(CurrentEventSource(), nullptr);
    EXPECT_EQ(CurrentEventText(), u"");
    EXPECT_EQ(CurrentEventSourceHandle(), 0);
}

TEST(EventQueue, TimerTicksOfOneSourceMergeOthersDoNot) {
    auto timerA = StringObject(S("a")), timerB = StringObject(S("b"));
    for (int tick = 1; tick <= 3; ++tick)
        EmitNewEvent(EventId::TimerTick, timerA, tick);
    EmitNewEvent(EventId::TimerTick, timerB, 7);
    for (int i = 0; i < 3; ++i)
        EmitNewEvent(EventId::KeyDown, nullptr, 65);
    auto extra = StringObject(S("extra"));
    EmitNewEvent(EventId::TimerTick, timerA, 4, Modifier::Shift, 5, 6, extra);

    EXPECT_EQ(PeekEvent()->data, 4);
    EXPECT_EQ(PollEvent(), EventId::TimerTick);
    EXPECT_EQ(CurrentEventSource(), timerA);
    EXPECT_EQ(CurrentEventData(), 4);
    // The merged event is the newest one whole, not its count alone.
    EXPECT_EQ(CurrentEventX(), 5);
    EXPECT_EQ(CurrentEventY(), 6);
    EXPECT_EQ(CurrentEventMods(), Modifier::Shift);
    EXPECT_EQ(CurrentEventExtra(), extra);
    EXPECT_EQ(PollEvent(), EventId::TimerTick);
    EXPECT_EQ(CurrentEventData(), 7);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PollEvent(), EventId::KeyDown);
    EXPECT_EQ(PollEvent(), EventId::NoEvent);
}

TEST(EventQueue, AFullQueueDropsTheNewest) {
    for (int i = 0; i < EventQueueSize + 10; ++i)
        EmitNewEvent(EventId::KeyChar, nullptr, i);
    for (int i = 0; i < EventQueueSize; ++i) {
        ASSERT_EQ(PollEvent(), EventId::KeyChar);
        ASSERT_EQ(CurrentEventData(), i);
    }
    EXPECT_EQ(PollEvent(), EventId::NoEvent);
    // The ring goes on working after it wrapped.
    EmitNewEvent(EventId::KeyUp, nullptr, 1);
    EXPECT_EQ(PollEvent(), EventId::KeyUp);
}

TEST(EventQueue, SourceHandlesStayTheSameForOneObject) {
    auto source = StringObject(S("window"));
    EmitNewEvent(EventId::AppResume, source);
    EmitNewEvent(EventId::AppResume, source);
    EmitNewEvent(EventId::AppResume, StringObject(S("other")));
    PollEvent();
    int handle = CurrentEventSourceHandle();
    PollEvent();
    EXPECT_NE(handle, 0);
    EXPECT_EQ(CurrentEventSourceHandle(), handle);
    PollEvent();
    EXPECT_NE(CurrentEventSourceHandle(), handle);
}

TEST(EventQueue, NonEventsAreNotQueued) {
    EXPECT_EQ(RunHooks(EmitEventHook(), StringObject(S("not an event"))), nullptr);
    EXPECT_EQ(PollEvent(), EventId::NoEvent);
}

// Every code the key table gives carries a name of the Key enum.
TEST(Keys, EveryTableCodeIsNamed) {
    using enum Key;
    const std::set<Key> named = {NoKey,
                                 Backspace,
                                 Tab,
                                 Return,
                                 Pause,
                                 CapsLock,
                                 Escape,
                                 Space,
                                 PageUp,
                                 PageDown,
                                 End,
                                 Home,
                                 Left,
                                 Up,
                                 Right,
                                 Down,
                                 PrintScreen,
                                 Insert,
                                 Delete,
                                 Digit0,
                                 Digit1,
                                 Digit2,
                                 Digit3,
                                 Digit4,
                                 Digit5,
                                 Digit6,
                                 Digit7,
                                 Digit8,
                                 Digit9,
                                 A,
                                 B,
                                 C,
                                 D,
                                 E,
                                 F,
                                 G,
                                 H,
                                 I,
                                 J,
                                 K,
                                 L,
                                 M,
                                 N,
                                 O,
                                 P,
                                 Q,
                                 R,
                                 S,
                                 T,
                                 U,
                                 V,
                                 W,
                                 X,
                                 Y,
                                 Z,
                                 LeftSystem,
                                 RightSystem,
                                 Menu,
                                 Numpad0,
                                 Numpad1,
                                 Numpad2,
                                 Numpad3,
                                 Numpad4,
                                 Numpad5,
                                 Numpad6,
                                 Numpad7,
                                 Numpad8,
                                 Numpad9,
                                 NumpadMultiply,
                                 NumpadAdd,
                                 NumpadSubtract,
                                 NumpadDecimal,
                                 NumpadDivide,
                                 F1,
                                 F2,
                                 F3,
                                 F4,
                                 F5,
                                 F6,
                                 F7,
                                 F8,
                                 F9,
                                 F10,
                                 F11,
                                 F12,
                                 F13,
                                 F14,
                                 F15,
                                 F16,
                                 F17,
                                 F18,
                                 F19,
                                 F20,
                                 F21,
                                 F22,
                                 F23,
                                 F24,
                                 NumLock,
                                 ScrollLock,
                                 LeftShift,
                                 RightShift,
                                 LeftControl,
                                 RightControl,
                                 LeftAlt,
                                 RightAlt,
                                 Semicolon,
                                 Equals,
                                 Comma,
                                 Minus,
                                 Period,
                                 Slash,
                                 Grave,
                                 LeftBracket,
                                 Backslash,
                                 RightBracket,
                                 Apostrophe,
                                 NonUsBackslash};
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
        EXPECT_TRUE(named.count(native::VirtualKeyOf(scancode))) << "scancode " << scancode;
    const std::pair<int, Key> pinned[] = {
        {SDL_SCANCODE_ESCAPE, Escape}, {SDL_SCANCODE_RETURN, Return}, {SDL_SCANCODE_LEFT, Left},
        {SDL_SCANCODE_DOWN, Down},     {SDL_SCANCODE_A, A},           {SDL_SCANCODE_0, Digit0},
        {SDL_SCANCODE_F1, F1},         {SDL_SCANCODE_RALT, RightAlt}};
    for (auto [scancode, key] : pinned)
        EXPECT_EQ(native::VirtualKeyOf(scancode), key) << "scancode " << scancode;
    // Each named key has one native key, so a code given to the wrong key
    // shows as one key with two and another with none; both Enter keys give
    // Return, and the key beside Return on non-US boards gives Backslash.
    std::map<Key, int> sources;
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode)
        ++sources[native::VirtualKeyOf(scancode)];
    for (Key key : named) {
        if (key == NoKey) continue;
        int expected = key == Return || key == Backslash ? 2 : 1;
        EXPECT_EQ(sources[key], expected) << "key " << static_cast<int>(key);
    }
}
