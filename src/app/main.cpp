// The show: no options, no configuration, no input; it plays to the end.
#include <zandrel/app.hpp>
#include <zandrel/zandrel.hpp>

int main(int argc, char** argv) {
    return zandrel::RunProgram(argc, argv, [] {
        zandrel::StartZandrel();
        return zandrel::RunShow();
    });
}
