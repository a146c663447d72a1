#include "page_turns.hpp"
#include "system_native.hpp"
#include "system_parts.hpp"
#include "termination.hpp"

namespace zandrel {

namespace {

// The desktop behind every framework window: SDL for windows and input, the
// desktop's own tools for requesters and locations.
class TDesktopSystemDriver : public TSystemDriver {
public:
    TDesktopSystemDriver() {
        native::StartEvents();
        AddExitHandler(native::StopEvents);
        native::StartTerminationSignals();
        AddExitHandler(native::StopTerminationSignals);
        SetCursorVisibleFlag(true);
    }

    void Poll() override;
    void Wait() override;
    void MoveMouse(int x, int y) override { WarpMouse(x, y); }
    void SetMouseVisible(bool visible) override;
    void ShowNotice(const String& text, bool serious) override;
    bool AskOkCancel(const String& text, bool serious) override;
    Answer AskYesNoCancel(const String& text, bool serious) override;
    String RequestFilePath(const String& title, const String& filter, bool save,
                           const String& initialPath) override;
    String RequestFolderPath(const String& title, const String& initialPath) override;
    void OpenLocation(const String& url) override;
};

Ref<TSystemDriver> currentDriver;
bool pumping = false;

bool IsModifierKey(Key key) {
    return (key >= Key::LeftShift && key <= Key::RightAlt) || key == Key::LeftSystem ||
           key == Key::RightSystem;
}

bool IsKeyMessage(const TWindowMessage& message) {
    return message.kind == TWindowMessage::KeyDown || message.kind == TWindowMessage::KeyUp;
}

int AskBox(native::MessageBoxKind kind, const String& text, bool serious) {
    return native::ShowMessageBox(kind, ToUtf8(ApplicationTitle()), ToUtf8(text), serious);
}

// The pump's re-entry guard: a pump started while one runs does nothing.
template <class Pump> void Guarded(Pump pump) {
    if (pumping || !currentDriver) return;
    struct Flag {
        Flag() { pumping = true; }
        ~Flag() { pumping = false; }
    } running;
    pump(*currentDriver);
}

} // namespace

void TSystemDriver::Poll() {
    ThrowAbstract();
}
void TSystemDriver::Wait() {
    ThrowAbstract();
}
void TSystemDriver::MoveMouse(int, int) {
    ThrowAbstract();
}
void TSystemDriver::SetMouseVisible(bool) {
    ThrowAbstract();
}
void TSystemDriver::ShowNotice(const String&, bool) {
    ThrowAbstract();
}
bool TSystemDriver::AskOkCancel(const String&, bool) {
    ThrowAbstract();
}
Answer TSystemDriver::AskYesNoCancel(const String&, bool) {
    ThrowAbstract();
}
String TSystemDriver::RequestFilePath(const String&, const String&, bool, const String&) {
    ThrowAbstract();
}
String TSystemDriver::RequestFolderPath(const String&, const String&) {
    ThrowAbstract();
}
void TSystemDriver::OpenLocation(const String&) {
    ThrowAbstract();
}

// A termination signal comes first, as the close button's request would.
void TDesktopSystemDriver::Poll() {
    PassPumpTurn();
    if (native::TakeTerminationSignal()) EmitNewEvent(EventId::AppTerminate);
    native::PumpedMessage message;
    while (native::NextMessage(message)) {
        if (message.type == native::PumpedMessage::TimerTick) {
            DeliverTimerTick(message.timer);
            continue;
        }
        if (IsKeyMessage(message.window) && IsModifierKey(message.window.key))
            SetModifierFlags(message.window.mods);
        DispatchWindowMessage(message.window);
    }
}

void TDesktopSystemDriver::Wait() {
    native::WaitForMessage();
    Poll();
}

void TDesktopSystemDriver::SetMouseVisible(bool visible) {
    SetCursorVisibleFlag(visible);
    UpdateCursorVisibility();
}

void TDesktopSystemDriver::ShowNotice(const String& text, bool serious) {
    AskBox(native::MessageBoxKind::Notice, text, serious);
}

bool TDesktopSystemDriver::AskOkCancel(const String& text, bool serious) {
    return AskBox(native::MessageBoxKind::OkCancel, text, serious) == 1;
}

Answer TDesktopSystemDriver::AskYesNoCancel(const String& text, bool serious) {
    int answer = AskBox(native::MessageBoxKind::YesNoCancel, text, serious);
    return answer == 1 ? Answer::Yes : answer == 0 ? Answer::No : Answer::Cancel;
}

String TDesktopSystemDriver::RequestFilePath(const String& title, const String& filter, bool save,
                                             const String& initialPath) {
    return RunRequester(FileRequesterCommand(title, ParseFileFilter(filter), save, initialPath));
}

String TDesktopSystemDriver::RequestFolderPath(const String& title, const String& initialPath) {
    return RunRequester(FolderRequesterCommand(title, initialPath));
}

void TDesktopSystemDriver::OpenLocation(const String& url) {
    if (auto location = ToOsName(LocationUrl(url))) native::Launch({"xdg-open", *location});
}

void StartSystemDriver() {
    currentDriver = New<TDesktopSystemDriver>();
}

const Ref<TSystemDriver>& SystemDriver() {
    return currentDriver;
}

void EndOnIgnoredTerminationSignal() {
    native::EndOnIgnoredSignal();
}

void PollSystemEvents() {
    Guarded([](TSystemDriver& driver) { driver.Poll(); });
}

void WaitSystemEvents() {
    Guarded([](TSystemDriver& driver) { driver.Wait(); });
}

void MoveMouse(int x, int y) {
    currentDriver->MoveMouse(x, y);
}
void ShowMouse() {
    currentDriver->SetMouseVisible(true);
}
void HideMouse() {
    currentDriver->SetMouseVisible(false);
}
void ShowNotice(const String& text, bool serious) {
    currentDriver->ShowNotice(text, serious);
}
bool AskOkCancel(const String& text, bool serious) {
    return currentDriver->AskOkCancel(text, serious);
}
Answer AskYesNoCancel(const String& text, bool serious) {
    return currentDriver->AskYesNoCancel(text, serious);
}
String RequestFilePath(const String& title, const String& filter, bool save,
                       const String& initialPath) {
    return currentDriver->RequestFilePath(title, filter, save, initialPath);
}
String RequestFolderPath(const String& title, const String& initialPath) {
    return currentDriver->RequestFolderPath(title, initialPath);
}
void OpenLocation(const String& url) {
    currentDriver->OpenLocation(url);
}

} // namespace zandrel
