// The drawing colour at single precision, beside SetColor's 0-255 steps.
#include "vex2d_parts.hpp"

#include <cmath>

namespace zandrel {

namespace {

float Fraction(float value) {
    return value > 1 ? 1 : (value >= 0 ? value : 0); // not-a-number becomes 0
}

int Step(float fraction) {
    return static_cast<int>(std::lround(fraction * 255));
}

} // namespace

void TVex2DDriver::SetFineColor(float red, float green, float blue) {
    SetColor(Step(Fraction(red)), Step(Fraction(green)), Step(Fraction(blue)));
}

void SetFineColor(float red, float green, float blue) {
    auto& s = CurrentVex2D();
    std::array<float, 3> fine = {Fraction(red), Fraction(green), Fraction(blue)};
    s.red = Step(fine[0]);
    s.green = Step(fine[1]);
    s.blue = Step(fine[2]);
    s.fineColour = fine;
    s.driver->SetFineColor(fine[0], fine[1], fine[2]);
}

} // namespace zandrel
