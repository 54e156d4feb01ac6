/* ptyserial: lets a Windows program under Wine 8.0 receive from a COM port that is a
 * pseudo-terminal, the way it receives from a USB-serial adapter on Windows.
 *
 * A preload library for the Wine process only (never for the panel's own Linux build):
 *   gcc -O2 -shared -fPIC -o ptyserial.so ptyserial.c -ldl -lpthread
 *   LD_PRELOAD=/path/to/ptyserial.so wine program.exe
 *
 * Why: Qt Serial Port on Windows waits for input with NtDeviceIoControlFile
 * (IOCTL_SERIAL_WAIT_ON_MASK) on an overlapped handle, passing no event and a completion routine
 * to run as an APC, and starts ReadFileEx only from that routine. Wine 8.0 does this wait in
 * dlls/ntdll/unix/serial.c, in the program's process, and:
 *   - never queues the completion routine: io_control() takes the routine and its context but
 *     uses neither, on any path (done at once, done later by its thread, failed);
 *   - when no event is given, serial_DeviceIoControl() makes one of its own and blocks the
 *     calling thread in a non-alertable NtWaitForSingleObject until the wait ends, so an
 *     "overlapped" wait without an event holds the program's main thread, and its event loop,
 *     until a byte arrives;
 *   - ends the wait by a helper thread that polls every millisecond for TIOCMGET, TIOCGICOUNT
 *     and TIOCINQ, and gives up with an event mask of 0 as soon as TIOCMGET fails, which it
 *     always does on a pseudo-terminal (ENOTTY).
 * On a pseudo-terminal the wait therefore comes back at once, reports nothing and never calls
 * the routine: the program sends but never reads. Answering TIOCMGET alone makes the helper
 * thread keep polling (a wineserver request every millisecond), and the main thread then stays
 * blocked inside the call until input comes; a program that first has to send something to get
 * an answer (its writes start from its event loop) never sends it, and even input would end the
 * wait without the routine, so the program would never start reading.
 *
 * What this library does, for handles whose Unix file is a pseudo-terminal slave only (real
 * serial devices keep Wine's own code):
 *   - IOCTL_SERIAL_WAIT_ON_MASK is answered as a Windows serial driver does: at once when a
 *     byte is waiting (EV_RXCHAR), else STATUS_PENDING with the caller's thread free; one service
 *     thread waits in poll() (no polling loop, no CPU while idle) and, when bytes arrive, stores
 *     the event mask and the I/O status, signals the event if one was given and queues the
 *     completion routine to the calling thread as Windows does. A hang-up of the other end fails
 *     the wait with STATUS_INVALID_DEVICE_STATE (ERROR_BAD_COMMAND, as an unplugged adapter).
 *     A second wait while one is pending, or a mask of 0, fails with STATUS_INVALID_PARAMETER.
 *     Only EV_RXCHAR can happen on a pseudo-terminal (no modem lines, breaks, line errors).
 *     Handles opened for synchronous I/O wait in the calling thread. No I/O completion ports.
 *   - SetCommMask ends a pending wait with an event mask of 0; CancelIo, CancelIoEx and
 *     CloseHandle end it with STATUS_CANCELLED (ERROR_OPERATION_ABORTED) and still run its
 *     routine, which Qt needs to free the wait's OVERLAPPED.
 *   - TIOCMGET, TIOCMSET, TIOCMBIS and TIOCMBIC on a pseudo-terminal answer as a port with a
 *     ready device attached (CTS, DSR and DCD on; DTR and RTS as last set), so that Wine's
 *     GetCommModemStatus and EscapeCommFunction succeed.
 * The wait is replaced in Wine's table of system calls (found in ntdll.so's memory right after
 * the Wine loader opens ntdll.so); nothing on disk changes. If the table cannot be found, the
 * library says so on stderr and leaves Wine as it is. PTYSERIAL_TRACE=1 traces each wait.
 * Checked with Debian 12's Wine 8.0 (x86_64). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <link.h>
#include <poll.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

/* Wine's system calls use the Windows calling convention on x86_64. */
#define NTAPI __attribute__((ms_abi))

typedef int32_t NTSTATUS;
typedef void *HANDLE;
typedef struct
{
    union {
        NTSTATUS Status;
        void *Pointer;
    };
    uintptr_t Information;
} IO_STATUS_BLOCK;

#define STATUS_SUCCESS ((NTSTATUS) 0)
#define STATUS_PENDING ((NTSTATUS) 0x103)
#define STATUS_INVALID_PARAMETER ((NTSTATUS) 0xC000000D)
#define STATUS_CANCELLED ((NTSTATUS) 0xC0000120)
#define STATUS_INVALID_DEVICE_STATE ((NTSTATUS) 0xC0000184)
#define STATUS_NOT_FOUND ((NTSTATUS) 0xC0000225)

#define SERIAL_IOCTL(function) ((0x1bu << 16) | ((function) << 2))
#define IOCTL_SERIAL_GET_WAIT_MASK SERIAL_IOCTL(16)
#define IOCTL_SERIAL_SET_WAIT_MASK SERIAL_IOCTL(17)
#define IOCTL_SERIAL_WAIT_ON_MASK SERIAL_IOCTL(18)
#define EV_RXCHAR 0x0001u

#define CURRENT_PROCESS ((HANDLE) ~(uintptr_t) 0)
#define CURRENT_THREAD ((HANDLE) ~(uintptr_t) 1)
#define FILE_READ_DATA 0x0001u
#define FILE_SYNCHRONOUS_IO_ALERT 0x10u
#define FILE_SYNCHRONOUS_IO_NONALERT 0x20u
#define DUPLICATE_SAME_ACCESS 0x2u
#define THREAD_ALL_ACCESS 0x1fffffu
#define EVENT_ALL_ACCESS 0x1f0003u
#define SYNCHRONIZATION_EVENT 1

typedef NTSTATUS(NTAPI *IoControlFn)(
    HANDLE, HANDLE, void *, void *, IO_STATUS_BLOCK *, uint32_t, void *, uint32_t, void *, uint32_t);
typedef NTSTATUS(NTAPI *CancelFn)(HANDLE, IO_STATUS_BLOCK *);
typedef NTSTATUS(NTAPI *CancelExFn)(HANDLE, IO_STATUS_BLOCK *, IO_STATUS_BLOCK *);
typedef NTSTATUS(NTAPI *CloseFn)(HANDLE);
typedef NTSTATUS(NTAPI *QueueApcFn)(HANDLE, void *, uintptr_t, uintptr_t, uintptr_t);
typedef NTSTATUS(NTAPI *EventFn)(HANDLE, int32_t *);
typedef NTSTATUS(NTAPI *CreateEventFn)(HANDLE *, uint32_t, void *, int, unsigned char);
typedef NTSTATUS(NTAPI *WaitFn)(HANDLE, unsigned char, void *);
typedef NTSTATUS(NTAPI *DuplicateFn)(HANDLE, HANDLE, HANDLE, HANDLE *, uint32_t, uint32_t, uint32_t);
typedef NTSTATUS(NTAPI *CreateThreadFn)(
    HANDLE *, uint32_t, void *, HANDLE, void *, void *, uint32_t, uintptr_t, size_t, size_t, void *);
typedef NTSTATUS(NTAPI *HandleToFdFn)(HANDLE, unsigned int, int *, unsigned int *);

static IoControlFn realIoControl;
static CancelFn realCancel;
static CancelExFn realCancelEx;
static CloseFn realClose;
static QueueApcFn queueApc;
static EventFn setEvent, resetEvent;
static CreateEventFn createEvent;
static WaitFn waitForObject;
static DuplicateFn duplicateObject;
static CreateThreadFn createThread;
static HandleToFdFn handleToFd;

static int tracing;

static void trace(const char *format, ...)
{
    if (!tracing)
        return;
    va_list args;
    va_start(args, format);
    fprintf(stderr, "ptyserial: ");
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
}

static int isPtySlave(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136
           && major(st.st_rdev) <= 143;
}

/* --- Modem lines ---------------------------------------------------------------------------- */

static int (*realIoctl)(int, unsigned long, void *);
static pthread_mutex_t linesLock = PTHREAD_MUTEX_INITIALIZER;
static struct
{
    dev_t device;
    int lines;
} lineStates[32];

/* DTR and RTS as last set on this pseudo-terminal (on when never set, as after opening a port). */
static int *linesOf(dev_t device)
{
    for (size_t i = 0; i < sizeof lineStates / sizeof *lineStates; ++i) {
        if (lineStates[i].device == device)
            return &lineStates[i].lines;
        if (!lineStates[i].device) {
            lineStates[i].device = device;
            lineStates[i].lines = TIOCM_DTR | TIOCM_RTS;
            return &lineStates[i].lines;
        }
    }
    return NULL;
}

static int modemLines(int fd, unsigned long request, int *argument)
{
    struct stat st;
    if (!argument || fstat(fd, &st) != 0)
        return -1;
    pthread_mutex_lock(&linesLock);
    int *lines = linesOf(st.st_rdev);
    if (lines) {
        const int settable = TIOCM_DTR | TIOCM_RTS;
        if (request == TIOCMGET)
            *argument = *lines | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        else if (request == TIOCMSET)
            *lines = *argument & settable;
        else if (request == TIOCMBIS)
            *lines |= *argument & settable;
        else
            *lines &= ~(*argument & settable);
    }
    pthread_mutex_unlock(&linesLock);
    return lines ? 0 : -1;
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *argument = va_arg(args, void *);
    va_end(args);
    if (!realIoctl)
        realIoctl = (int (*)(int, unsigned long, void *)) dlsym(RTLD_NEXT, "ioctl");
    const int result = realIoctl(fd, request, argument);
    if (result == -1 && errno == ENOTTY
        && (request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC)
        && isPtySlave(fd)) {
        const int saved = errno;
        if (modemLines(fd, request, argument) == 0)
            return 0;
        errno = saved;
    }
    return result;
}

/* --- Waits for an event ------------------------------------------------------------------- */

struct Wait
{
    struct Wait *next;
    HANDLE file;
    HANDLE thread; /* the caller's thread, for its completion routine */
    pid_t callerTid;
    HANDLE event, done;
    void *apc, *apcContext;
    IO_STATUS_BLOCK *io;
    uint32_t *eventMask;
    uint32_t mask;
    int fd;
    int active;
};

static pthread_mutex_t waitsLock = PTHREAD_MUTEX_INITIALIZER;
static struct Wait *waits, *finished; /* pending; ended, to be freed by the service thread */
static int pendingCount;              /* read without the lock by the close hook */
static int wakeFd = -1;
static int serviceStarted;

static void wakeService(void)
{
    const uint64_t one = 1;
    if (write(wakeFd, &one, sizeof one) < 0)
        trace("cannot wake the service thread: %s", strerror(errno));
}

/* What has happened on the line: EV_RXCHAR, 0, or -1 for a hang-up with nothing left to read. */
static int lineEvents(int fd, uint32_t mask)
{
    struct pollfd line = {fd, POLLIN, 0};
    if (poll(&line, 1, 0) < 0)
        return 0;
    int queued = 0;
    const int readable = realIoctl(fd, FIONREAD, &queued) == 0;
    if (readable && queued > 0 && (mask & EV_RXCHAR))
        return (int) EV_RXCHAR;
    /* A hang-up stays: reporting it ends the wait, so that poll() does not spin on it. */
    if ((line.revents & (POLLHUP | POLLERR | POLLNVAL)) || !readable)
        return -1;
    return 0;
}

/* Ends a wait that is no longer in the list: result, event, completion routine. */
static void complete(struct Wait *wait, NTSTATUS status, uint32_t events)
{
    trace("wait on %p ends: status 0x%x, events 0x%x", wait->file, (unsigned) status, events);
    if (status == STATUS_SUCCESS)
        *wait->eventMask = events;
    wait->io->Information = status == STATUS_SUCCESS ? sizeof(uint32_t) : 0;
    __atomic_store_n(&wait->io->Status, status, __ATOMIC_RELEASE);
    if (wait->event)
        setEvent(wait->event, NULL);
    if (wait->done)
        setEvent(wait->done, NULL);
    if (wait->apc)
        queueApc(wait->thread, wait->apc, (uintptr_t) wait->apcContext, (uintptr_t) wait->io, 0);
    if (wait->thread)
        realClose(wait->thread);
}

/* Moves a pending wait to the finished list; waitsLock held. */
static void retire(struct Wait *wait)
{
    for (struct Wait **link = &waits; *link; link = &(*link)->next) {
        if (*link == wait) {
            *link = wait->next;
            break;
        }
    }
    wait->active = 0;
    wait->next = finished;
    finished = wait;
    __atomic_sub_fetch(&pendingCount, 1, __ATOMIC_RELEASE);
}

/* The one thread that waits in poll() for every pending wait, as a Wine thread so that it may
 * signal events and queue completion routines. Called by Wine as a Windows thread routine. */
static __attribute__((ms_abi, force_align_arg_pointer)) uint32_t serviceThread(void *unused)
{
    (void) unused;
    enum { most = 64 };
    for (;;) {
        struct pollfd fds[most + 1];
        struct Wait *polled[most];
        int count = 0;
        pthread_mutex_lock(&waitsLock);
        while (finished) {
            struct Wait *wait = finished;
            finished = wait->next;
            close(wait->fd);
            free(wait);
        }
        fds[0] = (struct pollfd){wakeFd, POLLIN, 0};
        for (struct Wait *wait = waits; wait && count < most; wait = wait->next) {
            fds[count + 1] = (struct pollfd){wait->fd, (wait->mask & EV_RXCHAR) ? POLLIN : 0, 0};
            polled[count++] = wait;
        }
        pthread_mutex_unlock(&waitsLock);
        if (poll(fds, count + 1, -1) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            uint64_t value;
            if (read(wakeFd, &value, sizeof value) < 0)
                trace("wake-up read: %s", strerror(errno));
        }
        for (int i = 0; i < count; ++i) {
            if (!fds[i + 1].revents)
                continue;
            struct Wait *wait = polled[i];
            pthread_mutex_lock(&waitsLock);
            const int events = wait->active ? lineEvents(wait->fd, wait->mask) : 0;
            if (events)
                retire(wait);
            pthread_mutex_unlock(&waitsLock);
            if (events > 0)
                complete(wait, STATUS_SUCCESS, (uint32_t) events);
            else if (events < 0)
                complete(wait, STATUS_INVALID_DEVICE_STATE, 0);
        }
    }
    return 0;
}

static int startService(void)
{
    static pthread_mutex_t startLock = PTHREAD_MUTEX_INITIALIZER;
    pthread_mutex_lock(&startLock);
    if (!serviceStarted && (wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) >= 0) {
        HANDLE thread;
        if (createThread(&thread,
                         THREAD_ALL_ACCESS,
                         NULL,
                         CURRENT_PROCESS,
                         (void *) serviceThread,
                         NULL,
                         0,
                         0,
                         0,
                         0,
                         NULL)
            == STATUS_SUCCESS) {
            realClose(thread);
            serviceStarted = 1;
        } else {
            close(wakeFd);
            wakeFd = -1;
        }
    }
    const int started = serviceStarted;
    pthread_mutex_unlock(&startLock);
    return started;
}

/* Ends the pending waits on `file` (those of the calling thread only, or the one with `io`). */
static int endWaits(HANDLE file, int callerOnly, IO_STATUS_BLOCK *io, NTSTATUS status)
{
    if (!__atomic_load_n(&pendingCount, __ATOMIC_ACQUIRE))
        return 0;
    struct Wait *ended[64];
    int count = 0;
    const pid_t self = gettid();
    pthread_mutex_lock(&waitsLock);
    for (struct Wait *wait = waits, *next; wait && count < 64; wait = next) {
        next = wait->next;
        if (wait->file == file && (!callerOnly || wait->callerTid == self)
            && (!io || wait->io == io)) {
            retire(wait);
            ended[count++] = wait;
        }
    }
    pthread_mutex_unlock(&waitsLock);
    for (int i = 0; i < count; ++i)
        complete(ended[i], status, 0);
    if (count)
        wakeService();
    return count;
}

/* IOCTL_SERIAL_WAIT_ON_MASK on a pseudo-terminal; returns 0 to leave the call to Wine. */
static int waitOnMask(HANDLE file,
                      HANDLE event,
                      void *apc,
                      void *apcContext,
                      IO_STATUS_BLOCK *io,
                      void *out,
                      uint32_t outSize,
                      NTSTATUS *result)
{
    int fd;
    unsigned int options = 0;
    if (handleToFd(file, FILE_READ_DATA, &fd, &options) != STATUS_SUCCESS)
        return 0;
    if (!isPtySlave(fd)) {
        close(fd);
        return 0;
    }
    uint32_t mask = 0;
    IO_STATUS_BLOCK query;
    NTSTATUS status = STATUS_INVALID_PARAMETER;
    if (out && outSize == sizeof(uint32_t))
        status = realIoControl(file,
                               NULL,
                               NULL,
                               NULL,
                               &query,
                               IOCTL_SERIAL_GET_WAIT_MASK,
                               NULL,
                               0,
                               &mask,
                               sizeof mask);
    if (status == STATUS_SUCCESS && !mask)
        status = STATUS_INVALID_PARAMETER;
    pthread_mutex_lock(&waitsLock);
    for (struct Wait *wait = waits; wait && status == STATUS_SUCCESS; wait = wait->next)
        if (wait->file == file)
            status = STATUS_INVALID_PARAMETER; /* one wait at a time, as on Windows */
    pthread_mutex_unlock(&waitsLock);
    if (status != STATUS_SUCCESS) {
        close(fd);
        *result = status;
        return 1;
    }
    if (event)
        resetEvent(event, NULL);

    const int events = lineEvents(fd, mask);
    if (events) {
        close(fd);
        if (events < 0) {
            *result = STATUS_INVALID_DEVICE_STATE;
            return 1;
        }
        trace("wait on %p: events 0x%x at once", file, (unsigned) events);
        *(uint32_t *) out = (uint32_t) events;
        io->Information = sizeof(uint32_t);
        io->Status = STATUS_SUCCESS;
        if (event)
            setEvent(event, NULL);
        if (apc)
            queueApc(CURRENT_THREAD, apc, (uintptr_t) apcContext, (uintptr_t) io, 0);
        *result = STATUS_SUCCESS;
        return 1;
    }

    struct Wait *wait = calloc(1, sizeof *wait);
    if (!wait || !startService()) {
        free(wait);
        close(fd);
        return 0;
    }
    wait->file = file;
    wait->callerTid = gettid();
    wait->event = event;
    wait->apc = apc;
    wait->apcContext = apcContext;
    wait->io = io;
    wait->eventMask = out;
    wait->mask = mask;
    wait->fd = fd;
    wait->active = 1;
    if (apc)
        duplicateObject(CURRENT_PROCESS,
                        CURRENT_THREAD,
                        CURRENT_PROCESS,
                        &wait->thread,
                        0,
                        0,
                        DUPLICATE_SAME_ACCESS);
    const int synchronous = (options & (FILE_SYNCHRONOUS_IO_ALERT | FILE_SYNCHRONOUS_IO_NONALERT))
                            != 0;
    if (synchronous)
        createEvent(&wait->done, EVENT_ALL_ACCESS, NULL, SYNCHRONIZATION_EVENT, 0);
    const HANDLE done = wait->done;
    io->Information = 0;
    io->Status = STATUS_PENDING;
    trace("wait on %p pending (mask 0x%x)", file, mask);
    pthread_mutex_lock(&waitsLock);
    wait->next = waits;
    waits = wait;
    __atomic_add_fetch(&pendingCount, 1, __ATOMIC_RELEASE);
    pthread_mutex_unlock(&waitsLock);
    wakeService();
    if (synchronous && done) {
        waitForObject(done, 0, NULL);
        realClose(done);
        *result = io->Status;
        return 1;
    }
    *result = STATUS_PENDING;
    return 1;
}

/* --- The replaced system calls ------------------------------------------------------------ */

static NTSTATUS NTAPI ioControlFile(HANDLE file,
                                    HANDLE event,
                                    void *apc,
                                    void *apcContext,
                                    IO_STATUS_BLOCK *io,
                                    uint32_t code,
                                    void *in,
                                    uint32_t inSize,
                                    void *out,
                                    uint32_t outSize)
{
    NTSTATUS status;
    if (code == IOCTL_SERIAL_WAIT_ON_MASK
        && waitOnMask(file, event, apc, apcContext, io, out, outSize, &status))
        return status;
    status = realIoControl(file, event, apc, apcContext, io, code, in, inSize, out, outSize);
    if (code == IOCTL_SERIAL_SET_WAIT_MASK && status == STATUS_SUCCESS)
        endWaits(file, 0, NULL, STATUS_SUCCESS); /* the wait ends with a mask of 0 */
    return status;
}

static NTSTATUS NTAPI cancelIoFile(HANDLE file, IO_STATUS_BLOCK *status)
{
    const int ended = endWaits(file, 1, NULL, STATUS_CANCELLED);
    const NTSTATUS result = realCancel(file, status);
    return ended ? STATUS_SUCCESS : result;
}

static NTSTATUS NTAPI cancelIoFileEx(HANDLE file, IO_STATUS_BLOCK *io, IO_STATUS_BLOCK *status)
{
    const int ended = endWaits(file, 0, io, STATUS_CANCELLED);
    const NTSTATUS result = realCancelEx(file, io, status);
    if (ended && result == STATUS_NOT_FOUND) {
        status->Information = 0;
        status->Status = STATUS_SUCCESS;
        return STATUS_SUCCESS;
    }
    return result;
}

static NTSTATUS NTAPI closeHandle(HANDLE handle)
{
    endWaits(handle, 0, NULL, STATUS_CANCELLED);
    return realClose(handle);
}

/* --- Finding Wine's table of system calls ------------------------------------------------- */

struct Segments
{
    uintptr_t base;
    uintptr_t start[8], end[8];
    int count;
    uintptr_t relroStart, relroEnd;
};

static int collectSegments(struct dl_phdr_info *info, size_t size, void *data)
{
    (void) size;
    struct Segments *segments = data;
    if (info->dlpi_addr != segments->base)
        return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) *header = &info->dlpi_phdr[i];
        const uintptr_t start = info->dlpi_addr + header->p_vaddr;
        if (header->p_type == PT_LOAD && (header->p_flags & PF_W) && segments->count < 8) {
            segments->start[segments->count] = start;
            segments->end[segments->count++] = start + header->p_memsz;
        } else if (header->p_type == PT_GNU_RELRO) {
            segments->relroStart = start;
            segments->relroEnd = start + header->p_memsz;
        }
    }
    return 1;
}

/* The table lists the system calls in order: NtAcceptConnectPort, NtAccessCheck, ... up to
 * wine_unix_to_nt_file_name. Returns its first and last entry, or NULL. */
static void **findTable(
    const struct Segments *segments, void *first, void *second, void *last, void ***end)
{
    for (int s = 0; s < segments->count; ++s) {
        for (void **entry = (void **) ((segments->start[s] + 7) & ~(uintptr_t) 7);
             (uintptr_t) (entry + 1) < segments->end[s];
             ++entry) {
            if (entry[0] != first || entry[1] != second)
                continue;
            for (void **at = entry; (uintptr_t) at < segments->end[s] && at - entry < 4096; ++at) {
                if (*at == last) {
                    *end = at;
                    return entry;
                }
            }
        }
    }
    return NULL;
}

static int patch(const struct Segments *segments, void **begin, void **end, void *from, void *to)
{
    void **found = NULL;
    for (void **entry = begin; entry <= end; ++entry) {
        if (*entry == from) {
            if (found)
                return 0; /* twice: not the table we know */
            found = entry;
        }
    }
    if (!found)
        return 0;
    const long page = sysconf(_SC_PAGESIZE);
    const uintptr_t pageStart = (uintptr_t) found & ~(uintptr_t) (page - 1);
    const int readOnly = (uintptr_t) found >= segments->relroStart
                         && (uintptr_t) found < segments->relroEnd;
    if (readOnly && mprotect((void *) pageStart, (size_t) page, PROT_READ | PROT_WRITE) != 0)
        return 0;
    __atomic_store_n(found, to, __ATOMIC_SEQ_CST);
    if (readOnly)
        mprotect((void *) pageStart, (size_t) page, PROT_READ);
    return 1;
}

static void install(void *ntdll)
{
    struct link_map *map = NULL;
    if (dlinfo(ntdll, RTLD_DI_LINKMAP, &map) != 0 || !map)
        return;
#define RESOLVE(variable, name) (variable = (__typeof__(variable)) dlsym(ntdll, name))
    RESOLVE(realIoControl, "NtDeviceIoControlFile");
    RESOLVE(realCancel, "NtCancelIoFile");
    RESOLVE(realCancelEx, "NtCancelIoFileEx");
    RESOLVE(realClose, "NtClose");
    RESOLVE(queueApc, "NtQueueApcThread");
    RESOLVE(setEvent, "NtSetEvent");
    RESOLVE(resetEvent, "NtResetEvent");
    RESOLVE(createEvent, "NtCreateEvent");
    RESOLVE(waitForObject, "NtWaitForSingleObject");
    RESOLVE(duplicateObject, "NtDuplicateObject");
    RESOLVE(createThread, "NtCreateThreadEx");
    RESOLVE(handleToFd, "wine_server_handle_to_fd");
#undef RESOLVE
    void *first = dlsym(ntdll, "NtAcceptConnectPort"), *second = dlsym(ntdll, "NtAccessCheck");
    void *last = dlsym(ntdll, "wine_unix_to_nt_file_name");
    struct Segments segments = {.base = map->l_addr};
    dl_iterate_phdr(collectSegments, &segments);
    void **end = NULL;
    void **table = first && second && last ? findTable(&segments, first, second, last, &end) : NULL;
    const int resolved = realIoControl && realCancel && realCancelEx && realClose && queueApc
                         && setEvent && resetEvent && createEvent && waitForObject
                         && duplicateObject && createThread && handleToFd;
    if (!table || !resolved) {
        fprintf(stderr,
                "ptyserial: Wine's system call table not found in %s; the serial wait "
                "stays Wine's own\n",
                map->l_name);
        return;
    }
    /* The wait first: without it the others only matter for the waits this library keeps. */
    if (!patch(&segments, table, end, (void *) realIoControl, (void *) ioControlFile)) {
        fprintf(stderr, "ptyserial: cannot replace NtDeviceIoControlFile in %s\n", map->l_name);
        return;
    }
    if (!patch(&segments, table, end, (void *) realCancel, (void *) cancelIoFile)
        || !patch(&segments, table, end, (void *) realCancelEx, (void *) cancelIoFileEx)
        || !patch(&segments, table, end, (void *) realClose, (void *) closeHandle))
        fprintf(stderr,
                "ptyserial: cannot replace the cancel and close calls in %s: a pending "
                "wait then ends only with input\n",
                map->l_name);
    trace("installed in %s (table of %ld calls)", map->l_name, (long) (end - table + 1));
}

/* The Wine loader opens ntdll.so with dlopen(): the moment to replace the calls. */
void *dlopen(const char *file, int mode)
{
    static void *(*realDlopen)(const char *, int);
    if (!realDlopen)
        realDlopen = (void *(*) (const char *, int) ) dlsym(RTLD_NEXT, "dlopen");
    void *handle = realDlopen(file, mode);
    const size_t length = file ? strlen(file) : 0;
    if (handle && length >= 9 && strcmp(file + length - 9, "/ntdll.so") == 0 && !realIoControl) {
        tracing = getenv("PTYSERIAL_TRACE") && *getenv("PTYSERIAL_TRACE") == '1';
        if (!realIoctl)
            realIoctl = (int (*)(int, unsigned long, void *)) dlsym(RTLD_NEXT, "ioctl");
        install(handle);
    }
    return handle;
}
