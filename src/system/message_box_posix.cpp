// Message boxes on a desktop where SDL cannot show one: the desktop's dialog
// tool asks instead, and without one the terminal is told, so that a
// question never ends in a silent failure.
#include "system_native.hpp"

#include <cstdlib>

namespace zandrel::native {

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value) return true;
    return false;
}

// zenity's --question knows two buttons and an extra one; Escape gives the
// cancel button's answer, which must be Cancel, so No is the extra one.
std::vector<std::string> ZenityCommand(const std::string& zenity, MessageBoxKind kind,
                                       const std::string& title, const std::string& text,
                                       bool serious) {
    std::vector<std::string> command = {zenity};
    switch (kind) {
    case MessageBoxKind::Notice:
        command.push_back(serious ? "--warning" : "--info");
        break;
    case MessageBoxKind::OkCancel:
        command.insert(command.end(), {"--question", "--ok-label=OK", "--cancel-label=Cancel"});
        break;
    case MessageBoxKind::YesNoCancel:
        command.insert(command.end(), {"--question", "--ok-label=Yes", "--cancel-label=Cancel",
                                       "--extra-button=No"});
        break;
    }
    command.insert(command.end(), {"--no-markup", "--title=" + title, "--text=" + text});
    return command;
}

std::vector<std::string> KdialogCommand(const std::string& kdialog, MessageBoxKind kind,
                                        const std::string& title, const std::string& text,
                                        bool serious) {
    std::vector<std::string> command = {kdialog, "--title", title};
    switch (kind) {
    case MessageBoxKind::Notice:
        command.push_back(serious ? "--sorry" : "--msgbox");
        break;
    case MessageBoxKind::OkCancel:
        command.insert(command.end(), {"--yes-label", "OK", "--no-label", "Cancel",
                                       serious ? "--warningyesno" : "--yesno"});
        break;
    case MessageBoxKind::YesNoCancel:
        command.push_back(serious ? "--warningyesnocancel" : "--yesnocancel");
        break;
    }
    command.push_back(text);
    return command;
}

// The answer a tool's exit code and output give; no value for a tool that
// failed rather than answered.
std::optional<int> ToolAnswer(DialogTool::Kind tool, MessageBoxKind kind, int code,
                              const std::string& output) {
    bool yesNoCancel = kind == MessageBoxKind::YesNoCancel;
    if (code == 0) return 1;
    if (tool == DialogTool::Zenity && code == 1) {
        if (yesNoCancel && output.rfind("No", 0) == 0) return 0;
        return -1;
    }
    if (tool == DialogTool::Kdialog && code == 1) return yesNoCancel ? 0 : -1;
    if (tool == DialogTool::Kdialog && code == 2 && yesNoCancel) return -1;
    return std::nullopt;
}

std::optional<int> AskDialogTool(MessageBoxKind kind, const std::string& title,
                                 const std::string& text, bool serious) {
    if (!HasDisplay()) return std::nullopt;
    auto tool = FindDialogTool();
    if (!tool) return std::nullopt;
    auto command = tool->kind == DialogTool::Zenity
                       ? ZenityCommand(tool->path, kind, title, text, serious)
                       : KdialogCommand(tool->path, kind, title, text, serious);
    std::string output;
    int code = RunTool(command, output);
    return ToolAnswer(tool->kind, kind, code, output);
}

} // namespace

int ShowMessageBox(MessageBoxKind kind, const std::string& title, const std::string& text,
                   bool serious) {
    int chosen = -1;
    if (ShowSdlMessageBox(kind, title, text, serious, chosen)) return chosen;
    if (auto answer = AskDialogTool(kind, title, text, serious)) return *answer;
    return TellTerminal(kind, title, text);
}

} // namespace zandrel::native
