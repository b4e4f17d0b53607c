#pragma once
// Starts loading the library URL loads run on, on a thread of its own, so that a program's
// first request does not wait for it (it is otherwise loaded by the first URL session that needs
// it). For a program's start; optional, any thread, any number of times.
void URLTransportPreload();
