// The show: no options, no configuration, no input; it plays to the end.
#include "show.hpp"

int main(int argc, char** argv) {
    return zandrel::RunProgram(argc, argv, [] { return zandrel::show::RunShow(); });
}
