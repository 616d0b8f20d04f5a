#include "app/player.h"

int main() { return runPlayer(); }
