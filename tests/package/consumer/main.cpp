// Writes a file through the installed library and reads it back.
#include <zandrel/zandrel.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    zandrel::StartZandrel();
    auto out = zandrel::OpenWriteStream(argv[1]);
    if (!out) return 3;
    out->WriteLine(u"installed");
    out->Close();
    auto in = zandrel::OpenReadStream(argv[1]);
    if (!in || in->ReadLine() != u"installed") return 4;
    std::puts("consumer ok");
    return 0;
}
