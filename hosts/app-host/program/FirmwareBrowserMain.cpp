// firmware-browser: the app in a terminal. See AppHost.h.

#include <app_host/AppHost.h>

int main(int argc, char** argv) { return AppHost::run(argc, argv); }
