// The points where a program that shares its thread with the page it runs in
// (the browser) gives that thread back: each Flip, each slice of a Delay and
// the event pump. Work that a desktop does on threads of its own, the mixer's
// fill step above all, runs at the same points there. On a desktop nothing
// is handed over and no such work is registered. Main thread only.
#pragma once

#include <functional>

namespace zandrel {

// Flip's turn, once the frame is presented: in a page, the page shows it.
void PassFrameTurn();
// The pump's turn: in a page, the page gets it when it has waited long, so
// that a program that polls without flipping stays responsive.
void PassPumpTurn();
// Runs every registered turn task once.
void RunTurnTasks();
bool HasTurnTasks();

// Registers work to run at every turn; the id removes it again.
int AddTurnTask(std::function<void()> task);
void RemoveTurnTask(int id);

} // namespace zandrel
