// Loaded only into programs run under qemu-user (through QEMU_SET_ENV), never into the package.
// Debian 12's qemu 7.2 refuses clone(CLONE_PIDFD), which Qt uses to start processes once a
// waitid(P_PIDFD) probe says the kernel has it; every QProcess start then fails. Refusing
// the probe and the clone here makes Qt fork the ordinary way.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sched.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif
#ifndef CLONE_PIDFD
#define CLONE_PIDFD 0x00001000
#endif

// Host programs that an emulated one starts (dbus-daemon, sh) must not try to load this arm64
// library; emulated children get it again from QEMU_SET_ENV.
__attribute__((constructor)) static void forgetPreload(void)
{
    unsetenv("LD_PRELOAD");
}

long syscall(long number, ...)
{
    va_list list;
    va_start(list, number);
    long args[6];
    for (int i = 0; i < 6; ++i)
        args[i] = va_arg(list, long);
    va_end(list);

    if ((number == SYS_waitid && args[0] == P_PIDFD) ||
        (number == SYS_clone && (args[0] & CLONE_PIDFD))) {
        errno = EINVAL;
        return -1;
    }
    static long (*next)(long, ...);
    if (!next)
        next = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
    return next(number, args[0], args[1], args[2], args[3], args[4], args[5]);
}
