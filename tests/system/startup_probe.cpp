// Started by the tests from another folder: prints what it learnt at start-up
// and the contents of a file it opens by a relative name; asks for a sound
// channel when its first argument is "sound".
#include <zandrel/zandrel.hpp>

#include <cstdio>

using namespace zandrel;

int main(int argc, char** argv) {
    return RunProgram(argc, argv, []() -> int {
        StartZandrel();
        WriteStdout(S("start=") + StartFolder() + S("\n"));
        WriteStdout(S("path=") + ApplicationPath() + S("\n"));
        WriteStdout(S("folder=") + ApplicationFolder() + S("\n"));
        WriteStdout(S("title=") + ApplicationTitle() + S("\n"));
        for (auto& argument : CommandArguments())
            WriteStdout(S("arg=") + argument + S("\n"));
        WriteStdout(S("data=") + LoadByteString(S("beside.txt")) + S("\n"));
        WriteStdout(S("stdin=") + ReadStdin() + S("\n"));
        if (CommandArguments().size() > 1 && CommandArguments()[1] == u"sound")
            WriteStdout(S("channel=") + (AllocChannel() ? S("yes") : S("no")) + S("\n"));
        ExitProgram();
    });
}
