// The front end's screens between games: the welcome screen shown once at start and the
// cartridge manager shown before every game. Called by the play cycle.
#pragma once

// The welcome screen; returns when the user continues.
void show_welcome();

// Lists the cartridges of the card's ROM folder and lets the user choose one: returns with
// cartridge_path (and, when the BIOS was found, bios_path) rewritten, or ends the process when
// the user leaves the program.
void cartridge_manager();
