/* The engine's configuration: the one Debian's duktape-dev ships, without
 * tail calls. A tail call reuses its caller's frame, so endless recursion in
 * tail position (`function k() { return k(); }`) would never reach the call
 * stack limit and would run until killed; without them it ends with "Out of
 * stack space" as under cscript. */
#include "duk_config_shipped.h"
#undef DUK_USE_TAILCALL
