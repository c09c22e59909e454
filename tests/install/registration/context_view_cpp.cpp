// The same view compiled as C++: the header's member functions.
#include "tests/install/registration/context_view.c"
