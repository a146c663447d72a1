#include "system_parts.hpp"

#include <array>

namespace zandrel {

namespace {

int emitEventHook = -1;

const char* EventName(int id) {
    switch (id) {
    case EventAppSuspend:
        return "AppSuspend";
    case EventAppResume:
        return "AppResume";
    case EventAppTerminate:
        return "AppTerminate";
    case EventAppOpenFile:
        return "AppOpenFile";
    case EventKeyDown:
        return "KeyDown";
    case EventKeyUp:
        return "KeyUp";
    case EventKeyChar:
        return "KeyChar";
    case EventKeyRepeat:
        return "KeyRepeat";
    case EventMouseDown:
        return "MouseDown";
    case EventMouseUp:
        return "MouseUp";
    case EventMouseMove:
        return "MouseMove";
    case EventMouseWheel:
        return "MouseWheel";
    case EventMouseEnter:
        return "MouseEnter";
    case EventMouseLeave:
        return "MouseLeave";
    case EventTimerTick:
        return "TimerTick";
    case EventGadgetAction:
        return "GadgetAction";
    case EventGadgetPaint:
        return "GadgetPaint";
    case EventGadgetSelect:
        return "GadgetSelect";
    case EventGadgetMenu:
        return "GadgetMenu";
    case EventGadgetOpen:
        return "GadgetOpen";
    case EventGadgetClose:
        return "GadgetClose";
    case EventGadgetDone:
        return "GadgetDone";
    case EventWindowMove:
        return "WindowMove";
    case EventWindowSize:
        return "WindowSize";
    case EventWindowClose:
        return "WindowClose";
    case EventWindowActivate:
        return "WindowActivate";
    case EventWindowAccept:
        return "WindowAccept";
    case EventMenuAction:
        return "MenuAction";
    default:
        return nullptr;
    }
}

bool MergesInQueue(int id) {
    return id == EventTimerTick || id == EventGadgetAction || id == EventWindowMove ||
           id == EventWindowSize;
}

struct EventQueue {
    std::array<Ref<TEvent>, EventQueueSize> ring;
    uint32_t put = 0;
    uint32_t take = 0;
    Ref<TEvent> current;
    Ref<TEvent> blank;

    bool Empty() const { return put == take; }
    Ref<TEvent>& Slot(uint32_t counter) { return ring[counter % EventQueueSize]; }

    int TakeNext() {
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
        text = S("Unknown Event, id=") + FromInt(id);
    text += S(": data=") + FromInt(data) + S(", mods=") + FromInt(mods) + S(", x=") + FromInt(x) +
            S(", y=") + FromInt(y) + S(", extra=\"") + ObjectText(extra) + S("\"");
    return text;
}

void TEvent::Emit() {
    RunHooks(emitEventHook, shared_from_this());
}

Ref<TEvent> TEvent::CreateEvent(int id, Ref<Object> source, int data, int mods, int x, int y,
                                Ref<Object> extra) {
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

void EmitNewEvent(int id, Ref<Object> source, int data, int mods, int x, int y, Ref<Object> extra) {
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

int PollEvent() {
    if (queue.Empty()) PollSystemEvents();
    if (queue.Empty()) {
        queue.current = queue.blank;
        return 0;
    }
    return queue.TakeNext();
}

int WaitEvent() {
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
int CurrentEventId() {
    return queue.current->id;
}
int CurrentEventData() {
    return queue.current->data;
}
int CurrentEventMods() {
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
