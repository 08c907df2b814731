// iunpack verify: will this installer install, and is it ours? Its stub
// against the stubs this iunpack carries (or a given one), padded with zero
// bytes as pack pads it; its prompt; every entry walked and tested as
// `test` does, setup.exe among them; and what follows the archive: nothing,
// or the certificate data of a signature added after pack.
#pragma once

// The command's paragraph of the help.
extern const char VERIFY_USAGE[];

// argv holds the arguments after "verify". Returns the exit status: 0 when
// the stub is ours, every entry would install, setup.exe is among them and
// nothing but a signature follows the archive; 1 otherwise; 2 bad arguments.
int verify_command(int argc, char** argv);
