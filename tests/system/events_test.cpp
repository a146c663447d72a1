#include <gtest/gtest.h>
#include <zandrel/system.hpp>

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
    EmitNewEvent(EventId::TimerTick, timerA, 4, Modifier::NoModifier, 5, 6);

    EXPECT_EQ(PeekEvent()->data, 4);
    EXPECT_EQ(PollEvent(), EventId::TimerTick);
    EXPECT_EQ(CurrentEventSource(), timerA);
    EXPECT_EQ(CurrentEventData(), 4);
    EXPECT_EQ(CurrentEventX(), 5);
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
