// Message boxes through MessageBoxW, owned by the active window; where
// Windows cannot show one (no desktop), the message goes to standard error
// and the answer is the default button's, as elsewhere.
#include "runtime/wide_names.hpp"
#include "system_native.hpp"

#include <windows.h>

namespace zandrel::native {

namespace {

UINT BoxStyle(MessageBoxKind kind, bool serious) {
    UINT icon = serious ? MB_ICONWARNING : MB_ICONINFORMATION;
    switch (kind) {
    case MessageBoxKind::OkCancel:
        return MB_OKCANCEL | (serious ? MB_ICONWARNING : MB_ICONQUESTION);
    case MessageBoxKind::YesNoCancel:
        return MB_YESNOCANCEL | (serious ? MB_ICONWARNING : MB_ICONQUESTION);
    case MessageBoxKind::Notice:
        break;
    }
    return MB_OK | icon;
}

int Answer(int button) {
    switch (button) {
    case IDOK:
    case IDYES:
        return 1;
    case IDNO:
        return 0;
    default:
        return -1;
    }
}

} // namespace

int ShowMessageBox(MessageBoxKind kind, const std::string& title, const std::string& text,
                   bool serious) {
    auto wideTitle = WideName(title), wideText = WideName(text);
    int button = 0;
    if (wideTitle && wideText)
        button = MessageBoxW(GetActiveWindow(), wideText->c_str(), wideTitle->c_str(),
                             BoxStyle(kind, serious) | MB_SETFOREGROUND);
    return button == 0 ? TellTerminal(kind, title, text) : Answer(button);
}

} // namespace zandrel::native
