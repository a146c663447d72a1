#include "system_parts.hpp"

#include <array>

namespace zandrel {

namespace {

constexpr int KeyCount = 256;
constexpr int CharQueueSize = 256;
constexpr int ButtonCount = 4;

struct PolledInput {
    std::array<bool, KeyCount> keyStates{};
    std::array<int, KeyCount> keyHits{};
    std::array<int, CharQueueSize> chars{};
    uint32_t charPut = 0;
    uint32_t charTake = 0;
    std::array<bool, ButtonCount> mouseStates{};
    std::array<int, ButtonCount> mouseHits{};
    int mouseX = 0, mouseY = 0, mouseZ = 0;
    bool suspended = false;
    bool terminateRequest = false;
    Ref<Object> sourceFilter;
    bool enabled = false;
};

PolledInput input;

// Indexes come from the caller; one outside the table is refused instead of
// reading or writing past it.
size_t KeyIndex(Key key) {
    if (ToNumber(key) < 0 || ToNumber(key) >= KeyCount) throw RuntimeError("Key code out of range");
    return static_cast<size_t>(key);
}

size_t ButtonIndex(MouseButton button) {
    if (ToNumber(button) < 0 || ToNumber(button) >= ButtonCount)
        throw RuntimeError("Mouse button out of range");
    return static_cast<size_t>(button);
}

void Press(bool& state, int& hits) {
    if (!state) {
        state = true;
        ++hits;
    }
}

void ClearKeyTables() {
    input.charPut = input.charTake = 0;
    input.keyStates.fill(false);
    input.keyHits.fill(0);
}

void ClearMouseTables() {
    input.mouseStates.fill(false);
    input.mouseHits.fill(0);
    input.mouseZ = 0;
}

void Record(const TEvent& event) {
    auto inKeyTable = [](int code) { return code >= 0 && code < KeyCount; };
    auto inButtonTable = [](int button) { return button >= 0 && button < ButtonCount; };
    switch (event.id) {
    case EventId::AppSuspend:
    case EventId::AppResume:
        ClearKeyTables();
        ClearMouseTables();
        input.suspended = event.id == EventId::AppSuspend;
        break;
    case EventId::AppTerminate:
        input.terminateRequest = true;
        break;
    case EventId::KeyDown:
        if (inKeyTable(event.data)) Press(input.keyStates[event.data], input.keyHits[event.data]);
        break;
    case EventId::KeyUp:
        if (inKeyTable(event.data)) input.keyStates[event.data] = false;
        break;
    case EventId::KeyChar:
        if (input.charPut - input.charTake < CharQueueSize) {
            input.chars[input.charPut % CharQueueSize] = event.data;
            ++input.charPut;
        }
        break;
    case EventId::MouseDown:
        if (inButtonTable(event.data))
            Press(input.mouseStates[event.data], input.mouseHits[event.data]);
        break;
    case EventId::MouseUp:
        if (inButtonTable(event.data)) input.mouseStates[event.data] = false;
        break;
    case EventId::MouseMove:
        input.mouseX = event.x;
        input.mouseY = event.y;
        break;
    case EventId::MouseWheel:
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

template <class T> T Take(T& value) {
    T taken = value;
    value = T{};
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

bool IsAppSuspended() {
    PollSystemEvents();
    return input.suspended;
}

bool TakeTerminateRequest() {
    PollSystemEvents();
    return Take(input.terminateRequest);
}

int TakeKeyHits(Key key) {
    PollSystemEvents();
    return Take(input.keyHits[KeyIndex(key)]);
}

bool IsKeyDown(Key key) {
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

int TakeMouseHits(MouseButton button) {
    PollSystemEvents();
    return Take(input.mouseHits[ButtonIndex(button)]);
}

bool IsMouseDown(MouseButton button) {
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

Key WaitForKey() {
    ClearKeys();
    for (;;) {
        WaitSystemEvents();
        for (int code = 1; code < KeyCount; ++code)
            if (TakeKeyHits(static_cast<Key>(code))) return static_cast<Key>(code);
    }
}

int WaitForChar() {
    ClearKeys();
    for (;;) {
        WaitSystemEvents();
        if (int c = TakeChar()) return c;
    }
}

MouseButton WaitForMouse() {
    ClearMouse();
    for (;;) {
        WaitSystemEvents();
        for (int code = 1; code < ButtonCount; ++code)
            if (TakeMouseHits(static_cast<MouseButton>(code)))
                return static_cast<MouseButton>(code);
    }
}

} // namespace zandrel
