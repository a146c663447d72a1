#include "system_native.hpp"
#include "system_parts.hpp"

#include <zandrel/stream.hpp>

namespace zandrel {

namespace {

std::vector<String> Split(const String& text, char16_t separator) {
    std::vector<String> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == String::npos ? String::npos : end - start));
        if (end == String::npos) return parts;
        start = end + 1;
    }
}

std::string Patterns(const FileFilter& filter, const char* separator) {
    std::string patterns;
    for (auto& extension : filter.extensions) {
        if (!patterns.empty()) patterns += separator;
        patterns += "*." + ToUtf8(extension);
    }
    return patterns;
}

// Titles and filter names are only shown, so a lone surrogate in them may
// become U+FFFD; paths are names and go through ToOsName.
std::vector<std::string> ZenityFileCommand(const std::string& zenity, const String& title,
                                           const std::vector<FileFilter>& filters, bool save,
                                           const std::string& initialPath) {
    std::vector<std::string> command = {zenity, "--file-selection", "--title=" + ToUtf8(title)};
    if (save) {
        command.push_back("--save");
        command.push_back("--confirm-overwrite");
    }
    if (!initialPath.empty()) command.push_back("--filename=" + initialPath);
    for (auto& filter : filters)
        command.push_back("--file-filter=" + ToUtf8(filter.name) + " | " + Patterns(filter, " "));
    return command;
}

std::vector<std::string> KdialogFileCommand(const std::string& kdialog, const String& title,
                                            const std::vector<FileFilter>& filters, bool save,
                                            const std::string& initialPath) {
    std::string filterText;
    for (auto& filter : filters) {
        if (!filterText.empty()) filterText += "\n";
        filterText += Patterns(filter, " ") + "|" + ToUtf8(filter.name);
    }
    std::string start = initialPath.empty() ? std::string(".") : initialPath;
    std::vector<std::string> command = {kdialog, "--title", ToUtf8(title),
                                        save ? "--getsavefilename" : "--getopenfilename", start};
    if (!filterText.empty()) command.push_back(filterText);
    return command;
}

String FullFolderPath(const String& path) {
    return path.empty() ? CurrentFolder() : ResolvePath(path);
}

} // namespace

// "name:ext,ext;name:ext", or "ext,ext" for one entry named "Files".
std::vector<FileFilter> ParseFileFilter(const String& filter) {
    std::vector<FileFilter> filters;
    if (filter.empty()) return filters;
    for (auto& entry : Split(filter, u';')) {
        FileFilter parsed;
        size_t colon = entry.find(u':');
        parsed.name = colon == String::npos ? S("Files") : entry.substr(0, colon);
        String list = colon == String::npos ? entry : entry.substr(colon + 1);
        parsed.extensions = Split(list, u',');
        filters.push_back(std::move(parsed));
    }
    return filters;
}

std::vector<std::string> FileRequesterCommand(const String& title,
                                              const std::vector<FileFilter>& filters, bool save,
                                              const String& initialPath) {
    auto start = ToOsName(initialPath);
    auto tool = native::FindDialogTool();
    if (!start || !tool) return {};
    if (tool->kind == native::DialogTool::Zenity)
        return ZenityFileCommand(tool->path, title, filters, save, *start);
    return KdialogFileCommand(tool->path, title, filters, save, *start);
}

std::vector<std::string> FolderRequesterCommand(const String& title, const String& initialPath) {
    auto start = ToOsName(FullFolderPath(initialPath));
    auto tool = native::FindDialogTool();
    if (!start || !tool) return {};
    const std::string& folder = *start;
    if (tool->kind == native::DialogTool::Zenity)
        return {tool->path, "--file-selection", "--directory", "--title=" + ToUtf8(title),
                "--filename=" + folder + "/"};
    return {tool->path, "--title", ToUtf8(title), "--getexistingdirectory", folder};
}

String RunRequester(const std::vector<std::string>& command) {
    if (command.empty()) return String();
    std::string chosen = native::RunForOutput(command);
    while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r'))
        chosen.pop_back();
    return FromUtf8(chosen);
}

String LocationUrl(const String& url) {
    String scheme = ToLowerAscii(url.substr(0, 5));
    if (scheme == u"http:" || scheme == u"file:") return url;
    size_t hash = url.find(u'#');
    String rest = url.substr(0, hash);
    String anchor = hash == String::npos ? String() : url.substr(hash);
    if (PathKind(rest) != FileKind::NoFile) return S("file:") + ResolvePath(rest) + anchor;
    return S("http:") + rest + anchor;
}

} // namespace zandrel
