// MinGW builds only. libstdc++'s default terminate handler prints the type of
// an uncaught exception, demangled, to standard error: a GUI program has no
// console to show it, and the demangler with the printf machinery behind it
// makes up nearly half of the executable. Ending the process at once is all
// the handler does here.
#include <cstdlib>

namespace __gnu_cxx {

// The name is the library's own: defining it is what replaces the handler.
void __verbose_terminate_handler() { std::abort(); }  // NOLINT(bugprone-reserved-identifier)

}  // namespace __gnu_cxx
