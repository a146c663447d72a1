#include <zandrel/system.hpp>

#include <unordered_map>

namespace zandrel {

namespace {

String applicationTitle = S("Zandrel Application");

struct HandleTable {
    std::unordered_map<const Object*, std::pair<int, std::weak_ptr<Object>>> byObject;
    int lastHandle = 0;
};

HandleTable& Handles() {
    static HandleTable table;
    return table;
}

} // namespace

const String& StartFolder() {
    return InitialFolder();
}
const String& ApplicationPath() {
    return ExecutablePath();
}
const String& ApplicationFolder() {
    return ExecutableFolder();
}
const String& ApplicationTitle() {
    return applicationTitle;
}
void SetApplicationTitle(const String& title) {
    applicationTitle = title;
}
const std::vector<String>& CommandArguments() {
    return ProgramArguments();
}

Ref<TStringObject> StringObject(String value) {
    return New<TStringObject>(std::move(value));
}

String ObjectText(const Ref<Object>& object) {
    auto text = As<TStringObject>(object);
    return text ? text->value : String();
}

// The table holds no reference: an entry whose object has gone is replaced
// when its address is used again.
int ObjectHandle(const Ref<Object>& object) {
    if (!object) return 0;
    auto& table = Handles();
    auto& entry = table.byObject[object.get()];
    if (entry.first == 0 || entry.second.expired()) entry = {++table.lastHandle, object};
    return entry.first;
}

} // namespace zandrel
