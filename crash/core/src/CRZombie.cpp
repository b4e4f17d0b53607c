#include <crash_core/CRZombie.h>

extern "C" const char* crzombie_className(const void*) { return nullptr; }
