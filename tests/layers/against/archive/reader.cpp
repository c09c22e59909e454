// The installer's reader reaching into the packaging side.
#include "packaging/archive_writer.h"
