// Changing and listing directories from the console.
#pragma once

// Asks for a directory and makes it the current one: non-zero on success, 0 on failure. The word
// "exit" (or the end of input) at its prompt ends the process with status 1.
int changeDirectory();
// Prints the names without an extension in the current directory, two blanks before each.
void listSubdirectories();
