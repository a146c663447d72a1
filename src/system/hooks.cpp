#include <zandrel/system.hpp>

#include <array>

namespace zandrel {

namespace {

// A node stays valid while RunHooks holds it, so a callback may add or remove
// hooks of the chain that is running.
struct THook {
    Ref<THook> next;
    int priority;
    HookFunction function;
    Ref<Object> context;
};

std::array<Ref<THook>, MaxHookIds> hookHeads;
int lastHookId = -1;

Ref<THook>& HeadOf(int id) {
    if (id < 0 || id >= MaxHookIds) throw RuntimeError("Hook id out of range");
    return hookHeads[static_cast<size_t>(id)];
}

} // namespace

int AllocHookId() {
    if (lastHookId + 1 >= MaxHookIds) throw RuntimeError("Too many hook ids");
    return ++lastHookId;
}

void AddHook(int id, HookFunction function, Ref<Object> context, int priority) {
    auto hook = New<THook>(THook{nullptr, priority, function, std::move(context)});
    Ref<THook>* link = &HeadOf(id);
    while (*link && (*link)->priority >= priority)
        link = &(*link)->next;
    hook->next = *link;
    *link = hook;
}

Ref<Object> RunHooks(int id, Ref<Object> data) {
    for (Ref<THook> hook = HeadOf(id); hook; hook = hook->next)
        data = hook->function(id, data, hook->context);
    return data;
}

void RemoveHook(int id, HookFunction function, const Ref<Object>& context) {
    for (Ref<THook>* link = &HeadOf(id); *link; link = &(*link)->next) {
        if ((*link)->function == function && (*link)->context == context) {
            *link = (*link)->next;
            return;
        }
    }
}

} // namespace zandrel
