#include "platform/standard_streams.h"

namespace platform {

// Serial ports and files are opened as system handles here, never as C
// descriptors, so a closed standard stream cannot lend its number to one.
bool EnsureStandardStreamsOpen() { return true; }

}  // namespace platform
