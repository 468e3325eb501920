#pragma once
// Where update.ini lives, how it is read into update_info, and the window
// titles made from it. Shared by the window and the command-line front end.

#include <string>
#include <string_view>
#include <vector>

#include "engine/update_info.h"
#include "platform/executable_path.h"

namespace platform {
class ProfileFile;
}

namespace app {

inline constexpr std::string_view kConfigurationFileName = "update.ini";
// The folder below the user's configuration folder that holds update.ini for
// a program installed system-wide.
inline constexpr std::string_view kUserConfigurationFolder = "instrument-updater";
inline constexpr std::string_view kUpdateSection = "UPDATE";

inline constexpr std::string_view kDefaultVersion = "Unknown";
inline constexpr std::string_view kDefaultInstrument = "Unknown";
inline constexpr std::string_view kDefaultParentTag = "<ORV72>";
inline constexpr std::string_view kDefaultUpdateFile = "";
inline constexpr std::string_view kDefaultKernelFile = "";

// The build date shown in the window caption: a fixed text, not today's date.
inline constexpr std::string_view kCaptionDate = "Mar 22 2010";

// Returns the path of update.ini in the folder of `executablePath`, adding a
// separator only when the folder does not already end in one.
std::string ConfigurationPathFor(std::string_view executablePath);

// The places update.ini is looked for, in order: beside the program, then in
// `userConfigDirectory` (skipped when empty).
std::vector<std::string> ConfigurationCandidates(std::string_view executablePath,
                                                 std::string_view userConfigDirectory);

// Returns the first of the candidates that exists; when none does, the one
// beside the program (so that a message names the place the operator expects).
std::string FirstExistingConfiguration(const std::vector<std::string>& candidates);

// Returns the configuration the programs read by default: update.ini beside
// the running program, else the user's own
// (~/.config/instrument-updater/update.ini, %APPDATA%\instrument-updater\update.ini).
std::string DefaultConfigurationPath();

// Reads section "UPDATE" of the file at `iniPath` into an update_info. A
// missing file, section or key gives that key's default; values are used as
// the profile reader returns them.
update_info ReadUpdateInfo(const std::string& iniPath);
// The same from a profile already read, so that a file that can be read only
// once (a pipe) gives both the record and the port map.
update_info ReadUpdateInfo(const platform::ProfileFile& profile);

// Returns `imagePath` as the windows use it: a relative path is taken from
// `folder` (the folder of the update.ini that names it), as when the program
// runs from its own folder; an empty or absolute path stays as it is. With
// '\' as `separator` (Windows) a path from the root ("\images\k.bin") gets the
// folder's drive and a path with a drive ("D:k.bin") stays as it is.
std::string ImagePathFrom(std::string_view folder, std::string_view imagePath,
                          char separator = platform::kPathSeparator);

// The windows' configuration: ReadUpdateInfo(iniPath) with both image paths
// taken from the folder of `iniPath` (ImagePathFrom). The command line keeps
// relative image paths relative to the current folder.
update_info ReadWindowConfiguration(const std::string& iniPath);

// Returns instrument + " Update": the application's title.
std::string ApplicationTitle(const update_info& info);

// Returns instrument + " Update(Mar 22 2010)": the window caption.
std::string WindowCaption(const update_info& info);

// Returns instrument + " Instrument Software Update (" + version + ")": the
// window's title label.
std::string TitleLabel(const update_info& info);

}  // namespace app
