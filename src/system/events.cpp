#include "system_parts.hpp"

#include <array>

namespace zandrel {

namespace {

int emitEventHook = -1;

const char* EventName(EventId id) {
    switch (id) {
    case EventId::AppSuspend:
        return "AppSuspend";
    case EventId::AppResume:
        return "AppResume";
    case EventId::AppTerminate:
        return "AppTerminate";
    case EventId::AppOpenFile:
        return "AppOpenFile";
    case EventId::KeyDown:
        return "KeyDown";
    case EventId::KeyUp:
        return "KeyUp";
    case EventId::KeyChar:
        return "KeyChar";
    case EventId::KeyRepeat:
        return "KeyRepeat";
    case EventId::MouseDown:
        return "MouseDown";
    case EventId::MouseUp:
        return "MouseUp";
    case EventId::MouseMove:
        return "MouseMove";
    case EventId::MouseWheel:
        return "MouseWheel";
    case EventId::MouseEnter:
        return "MouseEnter";
    case EventId::MouseLeave:
        return "MouseLeave";
    case EventId::TimerTick:
        return "TimerTick";
    case EventId::GadgetAction:
        return "GadgetAction";
    case EventId::GadgetPaint:
        return "GadgetPaint";
    case EventId::GadgetSelect:
        return "GadgetSelect";
    case EventId::GadgetMenu:
        return "GadgetMenu";
    case EventId::GadgetOpen:
        return "GadgetOpen";
    case EventId::GadgetClose:
        return "GadgetClose";
    case EventId::GadgetDone:
        return "GadgetDone";
    case EventId::WindowMove:
        return "WindowMove";
    case EventId::WindowSize:
        return "WindowSize";
    case EventId::WindowClose:
        return "WindowClose";
    case EventId::WindowActivate:
        return "WindowActivate";
    case EventId::WindowAccept:
        return "WindowAccept";
    case EventId::MenuAction:
        return "MenuAction";
    default:
        return nullptr;
    }
}

bool MergesInQueue(EventId id) {
    return id == EventId::TimerTick || id == EventId::GadgetAction || id == EventId::WindowMove ||
           id == EventId::WindowSize;
}

struct EventQueue {
    std::array<Ref<TEvent>, EventQueueSize> ring;
    uint32_t put = 0;
    uint32_t take = 0;
    Ref<TEvent> current;
    Ref<TEvent> blank;

    bool Empty() const { return put == take; }
    Ref<TEvent>& Slot(uint32_t counter) { return ring[counter % EventQueueSize]; }

    EventId TakeNext() {
        current = std::move(Slot(take));
        ++take;
        return current->id;
    }
};

EventQueue queue;

Ref<Object> EventQueueHook(int, const Ref<Object>& data, const Ref<Object>&) {
    auto event = As<TEvent>(data);
    if (!event) return nullptr;
    PostEvent(event, MergesInQueue(event->id));
    return event;
}

} // namespace

int EmitEventHook() {
    return emitEventHook;
}

void StartEventQueue() {
    emitEventHook = AllocHookId();
    queue.blank = New<TEvent>();
    queue.current = queue.blank;
    AddHook(emitEventHook, EventQueueHook, nullptr, -10000);
}

String TEvent::ToString() const {
    String text;
    if (auto* name = EventName(id))
        text = S(name);
    else
        text = S("Unknown Event, id=") + FromInt(ToNumber(id));
    text += S(": data=") + FromInt(data) + S(", mods=") + FromInt(ToNumber(mods)) + S(", x=") +
            FromInt(x) + S(", y=") + FromInt(y) + S(", extra=\"") + ObjectText(extra) + S("\"");
    return text;
}

Key TEvent::AsKey() const {
    bool keyEvent = id == EventId::KeyDown || id == EventId::KeyUp || id == EventId::KeyRepeat;
    return keyEvent ? static_cast<Key>(data) : Key::NoKey;
}

MouseButton TEvent::AsButton() const {
    if (id == EventId::MouseDown || id == EventId::MouseUp) return static_cast<MouseButton>(data);
    if (id != EventId::MouseMove) return MouseButton::NoButton;
    // A move carries the held button as a bit: 1 left, 2 right, 4 middle.
    switch (data) {
    case 1:
        return MouseButton::Left;
    case 2:
        return MouseButton::Right;
    case 4:
        return MouseButton::Middle;
    default:
        return MouseButton::NoButton;
    }
}

char16_t TEvent::AsChar() const {
    return id == EventId::KeyChar ? static_cast<char16_t>(data) : u'\0';
}

void TEvent::Emit() {
    RunHooks(emitEventHook, shared_from_this());
}

Ref<TEvent> TEvent::CreateEvent(EventId id, Ref<Object> source, int data, Modifier mods, int x,
                                int y, Ref<Object> extra) {
    auto event = New<TEvent>();
    event->id = id;
    event->source = std::move(source);
    event->data = data;
    event->mods = mods;
    event->x = x;
    event->y = y;
    event->extra = std::move(extra);
    return event;
}

void EmitNewEvent(EventId id, Ref<Object> source, int data, Modifier mods, int x, int y,
                  Ref<Object> extra) {
    TEvent::CreateEvent(id, std::move(source), data, mods, x, y, std::move(extra))->Emit();
}

void PostEvent(const Ref<TEvent>& event, bool merge) {
    if (!event) return;
    if (merge) {
        for (uint32_t i = queue.take; i != queue.put; ++i) {
            auto& pending = queue.Slot(i);
            if (pending->id == event->id && pending->source == event->source) {
                pending->data = event->data;
                pending->mods = event->mods;
                pending->x = event->x;
                pending->y = event->y;
                pending->extra = event->extra;
                return;
            }
        }
    }
    if (queue.put - queue.take >= EventQueueSize) return;
    queue.Slot(queue.put) = event;
    ++queue.put;
}

EventId PollEvent() {
    if (queue.Empty()) PollSystemEvents();
    if (queue.Empty()) {
        queue.current = queue.blank;
        return EventId::NoEvent;
    }
    return queue.TakeNext();
}

EventId WaitEvent() {
    while (queue.Empty())
        WaitSystemEvents();
    return queue.TakeNext();
}

Ref<TEvent> PeekEvent() {
    if (queue.Empty()) PollSystemEvents();
    if (queue.Empty()) return nullptr;
    return queue.Slot(queue.take);
}

const Ref<TEvent>& CurrentEvent() {
    return queue.current;
}
EventId CurrentEventId() {
    return queue.current->id;
}
int CurrentEventData() {
    return queue.current->data;
}
Key CurrentEventKey() {
    return queue.current->AsKey();
}
MouseButton CurrentEventButton() {
    return queue.current->AsButton();
}
char16_t CurrentEventChar() {
    return queue.current->AsChar();
}
Modifier CurrentEventMods() {
    return queue.current->mods;
}
int CurrentEventX() {
    return queue.current->x;
}
int CurrentEventY() {
    return queue.current->y;
}
Ref<Object> CurrentEventExtra() {
    return queue.current->extra;
}
Ref<Object> CurrentEventSource() {
    return queue.current->source;
}
String CurrentEventText() {
    return ObjectText(queue.current->extra);
}
int CurrentEventSourceHandle() {
    return ObjectHandle(queue.current->source);
}

} // namespace zandrel
