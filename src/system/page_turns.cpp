#include "page_turns.hpp"

#include "system_native.hpp"

#include <vector>

namespace zandrel {

namespace {

struct TurnTask {
    int id;
    std::function<void()> run;
};

std::vector<TurnTask> turnTasks;
int nextTaskId = 1;

} // namespace

void PassFrameTurn() {
    native::GiveTurnToPage(true);
    RunTurnTasks();
}

void PassPumpTurn() {
    native::GiveTurnToPage(false);
    RunTurnTasks();
}

// A task may remove itself (or another) while the list runs: the copy keeps
// the walk valid.
void RunTurnTasks() {
    if (turnTasks.empty()) return;
    auto tasks = turnTasks;
    for (auto& task : tasks)
        task.run();
}

bool HasTurnTasks() {
    return !turnTasks.empty();
}

int AddTurnTask(std::function<void()> task) {
    turnTasks.push_back({nextTaskId, std::move(task)});
    return nextTaskId++;
}

void RemoveTurnTask(int id) {
    std::erase_if(turnTasks, [id](const TurnTask& task) { return task.id == id; });
}

} // namespace zandrel
