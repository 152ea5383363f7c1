// The game's place in the file system.
#pragma once

// Makes the folder of the running executable the working directory, so the
// game finds Content/ and its files beside it wherever it was started from.
// Does nothing when the folder cannot be found.
void ChangeToExecutableFolder();
