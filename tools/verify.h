// iunpack verify: whether an installer begins with a stub this iunpack
// carries (or a given one), padded with zero bytes to 49152 as pack pads
// it; prints the stub's SHA-256 and the archive's entries.
#pragma once

// argv holds the arguments after "verify". Returns the exit status: 0 the
// stub matches and the entries could be listed, 1 otherwise, 2 bad arguments.
int verify_command(int argc, char** argv);
