#pragma once
// The program's entry: fixes the settings file's path, reads the log
// settings, and asks for the role in the start dialog, whose OK opens the main
// window. Closing the dialog otherwise opens nothing.
namespace crewmap::startup {

void StartUp();

}  // namespace crewmap::startup
