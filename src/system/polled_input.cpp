#include "system_parts.hpp"

#include <array>

namespace zandrel {

namespace {

constexpr int KeyCount = 256;
constexpr int CharQueueSize = 256;
constexpr int ButtonCount = 4;

struct PolledInput {
    std::array<int, KeyCount> keyStates{};
    std::array<int, KeyCount> keyHits{};
    std::array<int, CharQueueSize> chars{};
    uint32_t charPut = 0;
    uint32_t charTake = 0;
    std::array<int, ButtonCount> mouseStates{};
    std::array<int, ButtonCount> mouseHits{};
    int mouseX = 0, mouseY = 0, mouseZ = 0;
    int suspended = 0;
    int terminateRequest = 0;
    Ref<Object> sourceFilter;
    bool enabled = false;
};

PolledInput input;

// Indexes come from the caller; one outside the table is refused instead of
// reading or writing past it.
size_t KeyIndex(int key) {
    if (key < 0 || key >= KeyCount) throw RuntimeError("Key code out of range");
    return static_cast<size_t>(key);
}

size_t ButtonIndex(int button) {
    if (button < 0 || button >= ButtonCount) throw RuntimeError("Mouse button out of range");
    return static_cast<size_t>(button);
}

void Press(int& state, int& hits) {
    if (state == 0) {
        state = 1;
        ++hits;
    }
}

void ClearKeyTables() {
    input.charPut = input.charTake = 0;
    input.keyStates.fill(0);
    input.keyHits.fill(0);
}

void ClearMouseTables() {
    input.mouseStates.fill(0);
    input.mouseHits.fill(0);
    input.mouseZ = 0;
}

void Record(const TEvent& event) {
    auto inKeyTable = [](int code) { return code >= 0 && code < KeyCount; };
    auto inButtonTable = [](int button) { return button >= 0 && button < ButtonCount; };
    switch (event.id) {
    case EventAppSuspend:
    case EventAppResume:
        ClearKeyTables();
        ClearMouseTables();
        input.suspended = event.id == EventAppSuspend ? 1 : 0;
        break;
    case EventAppTerminate:
        input.terminateRequest = 1;
        break;
    case EventKeyDown:
        if (inKeyTable(event.data)) Press(input.keyStates[event.data], input.keyHits[event.data]);
        break;
    case EventKeyUp:
        if (inKeyTable(event.data)) input.keyStates[event.data] = 0;
        break;
    case EventKeyChar:
        if (input.charPut - input.charTake < CharQueueSize) {
            input.chars[input.charPut % CharQueueSize] = event.data;
            ++input.charPut;
        }
        break;
    case EventMouseDown:
        if (inButtonTable(event.data))
            Press(input.mouseStates[event.data], input.mouseHits[event.data]);
        break;
    case EventMouseUp:
        if (inButtonTable(event.data)) input.mouseStates[event.data] = 0;
        break;
    case EventMouseMove:
        input.mouseX = event.x;
        input.mouseY = event.y;
        break;
    case EventMouseWheel:
        input.mouseZ += event.data;
        break;
    default:
        break;
    }
}

Ref<Object> PolledInputHook(int, const Ref<Object>& data, const Ref<Object>&) {
    auto event = As<TEvent>(data);
    if (event && (!input.sourceFilter || input.sourceFilter == event->source)) Record(*event);
    return data;
}

int Take(int& value) {
    int taken = value;
    value = 0;
    return taken;
}

} // namespace

void EnablePolledInput(Ref<Object> source) {
    if (input.enabled) return;
    input.sourceFilter = std::move(source);
    ClearKeys();
    ClearMouse();
    AddHook(EmitEventHook(), PolledInputHook, nullptr, 0);
    input.enabled = true;
}

void DisablePolledInput() {
    if (!input.enabled) return;
    RemoveHook(EmitEventHook(), PolledInputHook, nullptr);
    ClearKeys();
    ClearMouse();
    input.sourceFilter = nullptr;
    input.enabled = false;
}

int IsAppSuspended() {
    PollSystemEvents();
    return input.suspended;
}

int TakeTerminateRequest() {
    PollSystemEvents();
    return Take(input.terminateRequest);
}

int TakeKeyHits(int key) {
    PollSystemEvents();
    return Take(input.keyHits[KeyIndex(key)]);
}

int IsKeyDown(int key) {
    PollSystemEvents();
    return input.keyStates[KeyIndex(key)];
}

int TakeChar() {
    PollSystemEvents();
    if (input.charPut == input.charTake) return 0;
    return input.chars[input.charTake++ % CharQueueSize];
}

int MouseXPos() {
    PollSystemEvents();
    return input.mouseX;
}

int MouseYPos() {
    PollSystemEvents();
    return input.mouseY;
}

int MouseWheelPos() {
    PollSystemEvents();
    return input.mouseZ;
}

int TakeMouseHits(int button) {
    PollSystemEvents();
    return Take(input.mouseHits[ButtonIndex(button)]);
}

int IsMouseDown(int button) {
    PollSystemEvents();
    return input.mouseStates[ButtonIndex(button)];
}

void ClearKeys() {
    PollSystemEvents();
    ClearKeyTables();
}

void ClearMouse() {
    PollSystemEvents();
    ClearMouseTables();
}

int WaitForKey() {
    ClearKeys();
    for (;;) {
        WaitSystemEvents();
        for (int key = 1; key < KeyCount; ++key)
            if (TakeKeyHits(key)) return key;
    }
}

int WaitForChar() {
    ClearKeys();
    for (;;) {
        WaitSystemEvents();
        if (int c = TakeChar()) return c;
    }
}

int WaitForMouse() {
    ClearMouse();
    for (;;) {
        WaitSystemEvents();
        for (int button = 1; button < ButtonCount; ++button)
            if (TakeMouseHits(button)) return button;
    }
}

} // namespace zandrel
