// Started by the tests: starts two children that each start another, prints
// their process groups and exits with both still listed.
#include <zandrel/process.hpp>

#include <cstdio>
#include <unistd.h>

using namespace zandrel;

int main() {
    StartProcessModule();
    for (int i = 0; i < 2; ++i) {
        auto child = CreateChildProcess(S("echo $$; sleep 100 & sleep 100"));
        if (!child) return 2;
        String group;
        for (int tries = 0; tries < 500 && group.empty(); ++tries) {
            group = child->Pipe()->ReadLine();
            usleep(10000);
        }
        std::printf("%s\n", ToUtf8(group).c_str());
    }
    std::fflush(stdout);
    return 0;
}
