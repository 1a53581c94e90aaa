/* Whether this machine runs 32-bit x86 code inside a 64-bit process, which is
 * what Wine's WoW64 mode needs. Some kernels refuse it (ia32 emulation off):
 * their 32-bit user code segment faults when it is entered. So rather than
 * guess from the CPU or the kernel, enter it: far-return into selector 0x23,
 * run an instruction that means something else in 64-bit mode, and come back
 * through selector 0x33.
 *
 * Exit code 0 when the 32-bit code ran; 1 with one line on stderr saying what
 * was seen when it did not. Native Linux x86-64, built by tools/wine-wow64. */
#define _GNU_SOURCE
#include <setjmp.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

static sigjmp_buf fault;

static void on_fault(int sig) { siglongjmp(fault, sig); }

static uint8_t *put(uint8_t *at, const void *bytes, size_t size) {
  memcpy(at, bytes, size);
  return at + size;
}

int main(void) {
  /* In 32-bit mode only the low halves of RIP and RSP exist, so the code and
   * its stack must lie below 4 GB. */
  uint8_t *low = mmap(NULL, 8192, PROT_READ | PROT_WRITE | PROT_EXEC,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
  if (low == MAP_FAILED) {
    perror("runs32: no executable page below 4 GB");
    return 1;
  }
  uint32_t stack = (uint32_t)(uintptr_t)(low + 8192);
  uint32_t code32 = (uint32_t)(uintptr_t)(low + 64);
  uint32_t back64 = (uint32_t)(uintptr_t)(low + 128);

  /* 64-bit: save RSP in RBX, take the low stack, lretq to 0x23:code32. */
  uint8_t *at = low;
  at = put(at, "\x53\x48\x89\xe3\xbc", 5); /* push rbx; mov rbx,rsp; mov esp, */
  at = put(at, &stack, 4);
  at = put(at, "\x6a\x23\x68", 3); /* push 0x23; push */
  at = put(at, &code32, 4);
  put(at, "\x48\xcb", 2); /* lretq */

  /* 32-bit: EAX = 1, then 0x48, which is DEC EAX here but only a REX prefix
   * in 64-bit mode; lret to 0x33:back64. EAX is 0 only if this ran as 32-bit. */
  at = put(low + 64, "\xb8\x01\x00\x00\x00\x48\x6a\x33\x68", 9);
  at = put(at, &back64, 4);
  put(at, "\xcb", 1);

  /* 64-bit again: restore RSP and RBX, return EAX. */
  put(low + 128, "\x48\x89\xdc\x5b\xc3", 5);

  signal(SIGSEGV, on_fault);
  signal(SIGBUS, on_fault);
  signal(SIGILL, on_fault);
  int sig = sigsetjmp(fault, 1);
  if (sig != 0) {
    fprintf(stderr, "entering the 32-bit code segment (selector 0x23) raised %s\n", strsignal(sig));
    return 1;
  }
  int eax = ((int (*)(void))(void *)low)();
  if (eax != 0) {
    fprintf(stderr, "the 32-bit code segment ran the code as 64-bit (EAX %d)\n", eax);
    return 1;
  }
  return 0;
}
