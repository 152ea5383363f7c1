// Where the game reads its Content and keeps its own files.
//
// Two layouts. A portable game folder (what scripts/play builds) holds the
// executable and Content/ side by side; when the game may write there, its
// settings, scores, window mode and log stay beside it, as they always have.
// An installed game has its executable in <prefix>/games and Content in
// <prefix>/share/vantor; it keeps its files in the player's data folder
// ($XDG_DATA_HOME/vantor/ or ~/.local/share/vantor/; an XDG_DATA_HOME that
// is empty or relative is ignored), made on the first start. A portable folder the game may not write to also uses the data
// folder. When no place can be written to, the game still plays from the
// best folder it can read, and tells the player scores cannot be saved.
#pragma once

#include <string>

namespace vtr {

struct GameFolders {
  std::string content;    // folder holding Content/, ending in '/'; empty: the names stay as they are
  std::string data;       // folder of Settings.vtr, Scores.vtr, Window.vtr and VTR.log, ending in '/'
  bool writable = false;  // the game can write in the data folder
  bool portable = false;  // the data folder is the executable's own
};

// The folder of the running executable, ending in '/'; empty when unknown.
std::string ExecutableFolder();

// Chooses the folders for an executable living in exeFolder (ending in '/').
// The player's data folder is made only when it is the one chosen.
GameFolders ChooseGameFolders(const std::string& exeFolder);

// Makes folder (ending in '/') the root that "Content/..." names are read
// from; an empty folder leaves the names relative to the working directory.
void SetContentRoot(const std::string& folder);

// The path to open for a resource name: a relative "Content/..." name under
// the content root, any other name unchanged.
std::string ContentPath(const char* name);

}  // namespace vtr
