// Windows' sound services report a missing device through their return
// values only: there is nothing writing to standard error to switch off.
#include "wave_out.hpp"

namespace zandrel::mix {

void QuietSoundLibraryErrors() {}

} // namespace zandrel::mix
