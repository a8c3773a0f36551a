// The launcher's own disc-image picker, for a desktop without a file dialog
// and for a player holding a gamepad: a modal listing folders and disc images
// (.iso, .bin, .cue) with their sizes, the places to start from on its side.
//
// Entry points: openDiscPicker(App&) shows it (App::chooseDiscImage calls it);
// drawDiscPicker(App&) draws it each frame from drawUi. A chosen image goes to
// App::startDiscCheck, as the system dialog's answer does. Every row is a
// focusable item, so keyboard and gamepad navigation drive it; Backspace goes
// up a folder and Escape closes it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plat/listing.h"

struct App;

struct DiscPicker {
  bool open = false;           // shown from the next drawn frame until closed
  std::string folder;          // the folder listed
  std::vector<plat::FolderEntry> entries;  // its subfolders and disc images, in order
  std::string error;           // the system's reason when the folder could not be read
  std::vector<plat::Place> places;
  std::string selected;        // name of the row last clicked or focused; ".." is the parent row
  std::string focusName;       // the row that takes the focus on the next frame
  bool focusPending = false;
};

void openDiscPicker(App& app);
void closeDiscPicker(App& app);
// Lists `folder` into the picker; on failure the error shows and the parent
// row still leads out. `focusName` names the row to focus, empty for the first.
void discPickerEnter(DiscPicker& picker, const std::string& folder, const std::string& focusName = {});
// Closes the picker and starts the disc check on `path`, when one may start.
void discPickerChoose(App& app, const std::string& path);
void drawDiscPicker(App& app);

// Whether a file name ends in .iso, .bin or .cue, in any case.
bool isDiscImageName(const std::string& name);
// "4.2 GB", "700 MB", "512 bytes" / "4,2 Go", "700 Mo", "512 octets".
std::string sizeText(uint64_t bytes, bool french);
// The folder the picker starts in: the last disc's, else home, else the first place.
std::string discPickerStartFolder(const App& app);
