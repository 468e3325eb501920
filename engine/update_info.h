#pragma once
// The configuration the window reads once from update.ini and the worker reads
// through a pointer, without a lock: it never changes after start-up.

#include <string>

struct update_info {
    std::string version;      // the software version being installed
    std::string instrument;   // the instrument family name
    std::string parent_tag;   // root tag wrapped around every command, used as stored
    std::string update_file;  // path of the update image
    std::string kernel_file;  // path of the boot kernel image
};
