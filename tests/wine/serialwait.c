/* Asks COM5 for a receive event the way Qt Serial Port does (NtDeviceIoControlFile with
 * IOCTL_SERIAL_WAIT_ON_MASK, no event, a completion routine run as an APC), and says whether the
 * routine ran. Qt Serial Port starts reading only from that routine: where it never runs, a
 * Windows program on that port sends but never receives. The Wine checks build it with MinGW.
 * Prints "completion routine ran" or "completion routine never ran"; exit status 0 or 1. */
#include <windows.h>
#include <winternl.h>

#include <stdio.h>

#define WAIT_ON_MASK CTL_CODE(FILE_DEVICE_SERIAL_PORT, 18, METHOD_BUFFERED, FILE_ANY_ACCESS)

typedef NTSTATUS(NTAPI *NtIoControl)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK,
                                         ULONG, PVOID, ULONG, PVOID, ULONG);

static int completions;

static void NTAPI completed(PVOID context, PIO_STATUS_BLOCK status, ULONG reserved)
{
    (void)context;
    (void)status;
    (void)reserved;
    ++completions;
}

int main(void)
{
    HANDLE port = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, NULL);
    if (port == INVALID_HANDLE_VALUE) {
        printf("cannot open COM5: error %lu\n", GetLastError());
        return 2;
    }
    COMMTIMEOUTS timeouts = {0};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(port, &timeouts);
    SetCommMask(port, EV_RXCHAR);
    NtIoControl control = (NtIoControl)(void (*)(void))GetProcAddress(
        GetModuleHandleA("ntdll.dll"), "NtDeviceIoControlFile");
    IO_STATUS_BLOCK status;
    DWORD mask = 0;
    const NTSTATUS result = control(port, NULL, completed, NULL, &status, WAIT_ON_MASK, NULL, 0,
                                    &mask, sizeof mask);
    /* A completion routine runs while the thread waits alertably. */
    for (int i = 0; i < 20 && !completions; ++i)
        SleepEx(100, TRUE);
    printf("completion routine %s (the call returned 0x%lx, event mask 0x%lx)\n",
           completions ? "ran" : "never ran", (unsigned long)result, mask);
    CloseHandle(port);
    return completions ? 0 : 1;
}
