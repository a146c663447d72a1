// Counts its own runs in its data folder: each run prints the count it found
// there and saves one more. In a page the folder is kept in the browser, so
// loads of the page in one browser profile count up.
#include <zandrel/zandrel.hpp>

#include <cstdio>

using namespace zandrel;

int main(int argc, char** argv) {
    return RunProgram(argc, argv, [] {
        StartZandrel();
        String folder = UserDataFolder("zandrel-kept-test");
        if (folder.empty()) ExitWithError(u"no data folder");
        String file = folder + u"/runs.txt";
        int runs = PathKind(file) == FileKind::Regular ? ToInt(LoadByteString(file)) : 0;
        std::printf("runs before this one: %d\n", runs);
        SaveByteString(FromInt(runs + 1), file);
        return 0;
    });
}
