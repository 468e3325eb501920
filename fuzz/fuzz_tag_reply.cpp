// Reply lines of the tag dialogue: any reply. A version found is upper case
// and holds no "</"; a reply without "<VER>" in any letter case has none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/tag_replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    engine::IsAcknowledgement(reply);
    const auto version = engine::VersionInReply(reply);
    std::string upper = reply;
    engine::ToUpperAscii(upper);
    if (version.has_value() != (upper.find("<VER>") != std::string::npos)) std::abort();
    if (version) {
        if (version->find("</") != std::string::npos || version->size() > reply.size()) std::abort();
        for (const char c : *version) {
            if (c >= 'a' && c <= 'z') std::abort();
        }
    }
    return 0;
}
