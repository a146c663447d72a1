// One poll through the module against the bare SDL calls it stands on, on
// SDL's virtual controller.
#include <benchmark/benchmark.h>
#include <zandrel/joystick.hpp>

#include <SDL.h>

using namespace zandrel;

namespace {

SDL_Joystick* pad = nullptr;
int port = 0;

bool AttachPad() {
    int before = CountJoysticks();
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.naxes = 4;
    desc.nbuttons = 12;
    desc.nhats = 1;
    desc.name = "Zandrel Bench Pad";
    int device = SDL_JoystickAttachVirtualEx(&desc);
    if (device < 0 || CountJoysticks() != before + 1) return false;
    pad = SDL_JoystickFromInstanceID(SDL_JoystickGetDeviceInstanceID(device));
    while (port < before && JoystickName(port) != u"Zandrel Bench Pad")
        ++port;
    SDL_JoystickSetVirtualAxis(pad, 0, 12345);
    return pad != nullptr;
}

void BareSdlUpdateAndAxis(benchmark::State& state) {
    for (auto _ : state) {
        SDL_JoystickUpdate();
        benchmark::DoNotOptimize(SDL_JoystickGetAxis(pad, 0));
    }
}

void JoyAxisXPoll(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(JoyAxisX(port));
}

} // namespace

BENCHMARK(BareSdlUpdateAndAxis);
BENCHMARK(JoyAxisXPoll);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!AttachPad()) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
