// Listing the directories below the current one.
#pragma once

// Prints the names without an extension in the current directory, two blanks before each.
void listSubdirectories();
