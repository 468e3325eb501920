// Port text conversion: any text typed as the port. A port number, when one
// comes out, is 1 to 35, and it is the integer the text converts to.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/port_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto integer = app::TextToInt32(text);
    const auto port = app::ParsePortNumber(text);
    if (port && (*port < 1 || *port > 35)) std::abort();
    if (port && (!integer || *integer != *port)) std::abort();
    if (!port && integer && *integer >= 1 && *integer <= 35) std::abort();
    return 0;
}
