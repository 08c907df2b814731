// iunpack pack: builds an installer from a stub, a prompt and INPUTs
// (files, folders and archives), after checking that the stub would accept
// every entry and find setup.exe.
#pragma once

// The command's paragraph of the help.
extern const char PACK_USAGE[];

// argv holds the arguments after "pack". Returns the exit status: 0 packed,
// 1 refused or failed (nothing written), 2 bad arguments.
int pack_command(int argc, char** argv);
