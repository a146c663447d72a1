#include <zandrel/system.hpp>

#include <cmath>

namespace zandrel {

namespace {
constexpr double radiansPerDegree = 0.017453292519943295;
constexpr double degreesPerRadian = 57.29577951308232;
} // namespace

double SinDeg(double degrees) {
    return std::sin(degrees * radiansPerDegree);
}
double CosDeg(double degrees) {
    return std::cos(degrees * radiansPerDegree);
}
double TanDeg(double degrees) {
    return std::tan(degrees * radiansPerDegree);
}
double ASinDeg(double x) {
    return std::asin(x) * degreesPerRadian;
}
double ACosDeg(double x) {
    return std::acos(x) * degreesPerRadian;
}
double ATanDeg(double x) {
    return std::atan(x) * degreesPerRadian;
}
double ATan2Deg(double y, double x) {
    return std::atan2(y, x) * degreesPerRadian;
}
double SquareRoot(double x) {
    return std::sqrt(x);
}
double Sinh(double x) {
    return std::sinh(x);
}
double Cosh(double x) {
    return std::cosh(x);
}
double Tanh(double x) {
    return std::tanh(x);
}
double Exp(double x) {
    return std::exp(x);
}
double Log(double x) {
    return std::log(x);
}
double Log10(double x) {
    return std::log10(x);
}
double Floor(double x) {
    return std::floor(x);
}
double Ceil(double x) {
    return std::ceil(x);
}
bool IsNan(double x) {
    return std::isnan(x);
}
bool IsInf(double x) {
    return std::isinf(x);
}

} // namespace zandrel
