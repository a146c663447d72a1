#include "font_parts.hpp"

namespace zandrel {

namespace {

struct LibraryState {
    Ref<FreeTypeLibrary> library;
    bool released = false;
};

// Never destroyed: fonts held by static objects may still let go of their
// share of the library while the process ends.
LibraryState& State() {
    static auto* state = new LibraryState;
    return *state;
}

} // namespace

FreeTypeLibrary::~FreeTypeLibrary() {
    FT_Done_FreeType(handle_);
}

Ref<FreeTypeLibrary> SharedFreeTypeLibrary() {
    auto& state = State();
    if (state.library || state.released) return state.library;
    FT_Library handle = nullptr;
    if (FT_Init_FreeType(&handle) != 0) return nullptr;
    state.library = New<FreeTypeLibrary>(handle);
    AddExitHandler([] {
        State().library.reset();
        State().released = true;
    });
    return state.library;
}

} // namespace zandrel
