// Application services: random numbers and degree maths.
#pragma once

#include <zandrel/runtime.hpp>

namespace zandrel {

void StartSystemModule();

// ---------------------------------------------------------------------------
// Random numbers: one global Park-Miller generator, starting from 0x1234 and
// never seeded by the framework, so an unseeded program draws the same
// sequence on every run. Not thread-safe.

float RndFloat();                       // [0, 1), one step
double RndDouble();                     // [0, 1), two steps
double RandomRange(double a, double b); // between the bounds in either order, upper excluded
int RandomInt(int a, int b);            // between the bounds in either order, both included
void SeedRandom(int seed);
int RandomSeed();

// ---------------------------------------------------------------------------
// Maths in degrees, and the standard library's functions.

double SinDeg(double degrees);
double CosDeg(double degrees);
double TanDeg(double degrees);
double ASinDeg(double x);
double ACosDeg(double x);
double ATanDeg(double x);
double ATan2Deg(double y, double x);
double SquareRoot(double x);
double Sinh(double x);
double Cosh(double x);
double Tanh(double x);
double Exp(double x);
double Log(double x);
double Log10(double x);
double Floor(double x);
double Ceil(double x);
int IsNan(double x);
int IsInf(double x);

} // namespace zandrel
