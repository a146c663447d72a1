// A page's sound goes through the browser, which writes nothing to standard
// error about a missing device.
#include "wave_out.hpp"

namespace zandrel::mix {

void QuietSoundLibraryErrors() {}

} // namespace zandrel::mix
