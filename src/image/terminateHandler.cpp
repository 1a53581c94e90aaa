// MinGW builds only. libstdc++'s default terminate handler prints the type of
// an uncaught exception, demangled, to standard error, and the demangler with
// the printf machinery behind it makes up nearly half of the executable. The
// launcher puts its own handler in place before anything else runs, so the
// default is never called: this stand-in only keeps it out of the link.
#include <cstdlib>

namespace __gnu_cxx {

// The name is the library's own: defining it is what replaces the handler.
void __verbose_terminate_handler() { std::abort(); }  // NOLINT(bugprone-reserved-identifier)

}  // namespace __gnu_cxx
