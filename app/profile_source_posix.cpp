#include "app/profile_source.h"

#include "platform/profile.h"

namespace app {

bool UsableAsProfile(const std::string& path) {
    return platform::ExamineProfilePath(path) != platform::ProfilePathKind::kNotAFile;
}

}  // namespace app
