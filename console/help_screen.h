// The help screen: one word read, that command's text printed.
#pragma once

constexpr int kHelpEntries = 19;

void showHelp();
