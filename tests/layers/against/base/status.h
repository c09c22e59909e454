// The base reaching up to the program's record.
#include "installer/install_record.h"
