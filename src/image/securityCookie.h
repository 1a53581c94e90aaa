#pragma once
// The value that the image's SecurityCookie, the guard of its stack
// protection, holds in the file: the one that Windows' loader recognises and
// replaces with a random one. Read by the assembler (loadConfig.S) and by C++.
#if defined(__x86_64__) || defined(_WIN64)
#define LAUNCHER_DEFAULT_SECURITY_COOKIE 0x00002B992DDFA232
#else
#define LAUNCHER_DEFAULT_SECURITY_COOKIE 0xBB40E64E
#endif
