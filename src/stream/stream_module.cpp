#include "openers.hpp"

namespace zandrel {

// The openers live for the whole run; the list is asked newest first.
void StartStreamModule() {
    static bool started = false;
    RunOnce(started, [] {
        StartBankDataType();
        new TDataStreamOpener;
        new TBankStreamOpener;
        new TIncbinOpener;
        new TEndianStreamOpener;
        new TTextStreamOpener;
        StartStandardText();
    });
}

} // namespace zandrel
