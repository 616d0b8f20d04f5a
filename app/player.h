// The whole run: start-up, then the playback loop. Returns the process's exit status when the loop
// runs past the last slot; every other way out ends the process with status 1.
#pragma once

int runPlayer();
