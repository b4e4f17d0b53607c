#pragma once
// Filling a machine context's registers from a gregset (<sys/ucontext.h> order).

#include <crash_core/CRMachineContext.h>

#include <sys/ucontext.h>

void crcpu_copyRegisters(CRMachineContext* context, const greg_t* gregs);
