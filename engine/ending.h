// The close shared by every ending: the end banner, then the key wait.
#pragma once

#include "console/console.h"

// Prints the end banner as a text of its own and waits for one byte of input.
void close_conversation(console& con);
