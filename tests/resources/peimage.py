"""A Windows executable as the image checks read it: its headers, load
configuration, imports, TLS callbacks, code and contents, through LLVM's
llvm-readobj and llvm-objdump, and the linker's map beside it (EXE with .map
for .exe), which names the runtime's functions that a stripped image does not.
check-hardening and guard-trace share it.
"""
import functools
import re
import shutil
import subprocess
from pathlib import Path

READOBJ = shutil.which("llvm-readobj-19") or shutil.which("llvm-readobj")
OBJDUMP = shutil.which("llvm-objdump-19") or shutil.which("llvm-objdump")

# IMAGE_DLLCHARACTERISTICS_* of the optional header.
HIGH_ENTROPY_VA = 0x0020
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
NO_SEH = 0x0400
GUARD_CF = 0x4000
TERMINAL_SERVER_AWARE = 0x8000
# IMAGE_GUARD_* of the load configuration's GuardFlags.
CF_INSTRUMENTED = 0x100
CF_FUNCTION_TABLE_PRESENT = 0x400
CF_LONGJUMP_TABLE_PRESENT = 0x10000
EH_CONTINUATION_TABLE_PRESENT = 0x400000
# IMAGE_DEBUG_TYPE_EX_DLLCHARACTERISTICS entries, and their CET_COMPAT bit.
EX_DLLCHARACTERISTICS = 20
CET_COMPAT = 0x1
MACHINES = {"x64": 0x8664, "x86": 0x14C}
# What msvcrt.dll's functions of these names do with a table of the image:
# call every entry, through the guard where msvcrt.dll was built with it.
TABLE_WALKERS = ("_initterm", "_initterm_e")
# What registers a function of the image that Windows then calls through the
# guard, for which the build links a stand-in of ours (src/image): the argument
# is not in the image to check, so the image must never reach the system's own.
STAND_IN_REGISTRATIONS = ("AddVectoredExceptionHandler",)
# The runtime's tables of functions: initialisers (XI: C, XC: C++),
# pre-terminators and terminators (XP, XT).
RUNTIME_TABLE = re.compile(r"\.CRT\$X[ICPT]")
SETJMP_IMPORTS = {"setjmp", "_setjmp", "_setjmp3", "_setjmpex", "longjmp", "_longjmp"}


def run(*command):
    return subprocess.run(command, capture_output=True, text=True, check=True).stdout


def hex_after(text, key):
    """The first value written as KEY: 0x..., KEY: NAME (0x...) or KEY [ (0x...)."""
    match = re.search(rf"^\s*{key}(?:: (?:\w+ \()?| \[ \()(0x[0-9A-Fa-f]+|\d+)", text, re.M)
    return int(match.group(1), 0) if match else None


class LinkerMap:
    """The input sections and symbols of LLVM's map, by address (RVA)."""

    def __init__(self, path):
        self.sections = []  # (rva, size, "object:(section)")
        self.symbols = {}  # rva -> first name
        if not path.is_file():
            return
        for line in path.read_text(encoding="utf-8", errors="replace").splitlines()[1:]:
            fields = line.split()
            if len(fields) < 4 or not re.fullmatch(r"[0-9a-f]+", fields[0]):
                continue
            rva, size = int(fields[0], 16), int(fields[1], 16)
            name = " ".join(fields[3:])
            if ":(" in name:
                self.sections.append((rva, size, name))
            elif len(fields) == 4 and not name.startswith(".") and rva not in self.symbols:
                self.symbols[rva] = name

    def symbol_rva(self, name):
        return next((rva for rva, symbol in self.symbols.items() if symbol == name), None)

    def describe(self, rva):
        """The function's name where the map has one, else its object and offset."""
        inside = [(start, name) for start, size, name in self.sections if start <= rva < start + max(size, 1)]
        place = ""
        if inside:
            start, name = inside[-1]
            place = f"{Path(name.split(':(')[0]).name}:({name.split(':(')[1]}+0x{rva - start:x}"
        symbol = self.symbols.get(rva)
        if symbol:
            return f"{symbol} ({place})" if place else symbol
        return place or "a place that the linker's map does not name"


class Image:
    def __init__(self, arch, path):
        self.arch = arch
        self.path = Path(path)
        self.width = 8 if arch == "x64" else 4
        headers = run(READOBJ, "--file-headers", "--sections", "--coff-load-config", "--coff-debug-directory",
                      "--coff-imports", str(self.path))
        self.machine = hex_after(headers, "Machine")
        optional = headers[headers.index("ImageOptionalHeader {"):]
        self.image_base = hex_after(optional, "ImageBase")
        self.entry_point = hex_after(optional, "AddressOfEntryPoint")
        self.size_of_image = hex_after(optional, "SizeOfImage")
        self.dll_characteristics = hex_after(optional, "Characteristics")
        self.relocations = hex_after(optional, "BaseRelocationTableSize") or 0
        # Executable sections, as (rva, size).
        self.code_sections = []
        for section in re.findall(r"Section \{(.*?)\n  \}", headers, re.S):
            if "IMAGE_SCN_MEM_EXECUTE" in section:
                self.code_sections.append((hex_after(section, "VirtualAddress"), hex_after(section, "VirtualSize")))
        self.load_config = {}
        if "\nLoadConfig [" in headers:
            block = headers[headers.index("\nLoadConfig [") :]
            block = block[: block.index("\n]")]
            for key in ("Size", "SecurityCookie", "SEHandlerTable", "SEHandlerCount", "GuardCFCheckFunction",
                        "GuardCFCheckDispatch", "GuardCFFunctionTable", "GuardCFFunctionCount", "GuardFlags",
                        "GuardLongJumpTargetCount"):
                self.load_config[key] = hex_after(block, key)
        self.ex_characteristics = 0
        for entry in re.findall(r"DebugEntry \{(.*?)\n  \}", headers, re.S):
            if hex_after(entry, "Type") == EX_DLLCHARACTERISTICS:
                self.ex_characteristics |= hex_after(entry, "ExtendedCharacteristics") or 0
        # Each import's slot in the import address table, by name.
        self.import_slots = {}
        for block in re.findall(r"Import \{(.*?)\n\}", headers, re.S):
            table = hex_after(block, "ImportAddressTableRVA")
            for index, name in enumerate(re.findall(r"^\s*Symbol: (\S+)", block, re.M)):
                self.import_slots.setdefault(name, table + index * self.width)
        self.imports = set(self.import_slots)
        self.valid_targets = set()
        if "GuardFidTable [" in headers:
            table = headers[headers.index("GuardFidTable [") :]
            table = table[: table.index("]")]
            self.valid_targets = {int(address, 16) for address in re.findall(r"0x[0-9A-Fa-f]+", table)}
        tls = run(READOBJ, "--coff-tls-directory", str(self.path))
        self.tls_callbacks = hex_after(tls, "AddressOfCallBacks") or 0
        self.code = run(OBJDUMP, "-d", "--no-show-raw-insn", str(self.path))
        self.contents = None
        self.map = LinkerMap(self.path.with_suffix(".map"))

    def read(self, address, size):
        """SIZE bytes of the image at virtual address ADDRESS, from llvm-objdump's dump."""
        if self.contents is None:
            self.contents = {}
            dump = run(OBJDUMP, "-s", str(self.path))
            for line in re.finditer(r"^ ([0-9a-f]+) ((?:[0-9a-f]{2,8} ){1,4})", dump, re.M):
                start = int(line.group(1), 16)
                for offset, byte in enumerate(bytes.fromhex(line.group(2).replace(" ", ""))):
                    self.contents[start + offset] = byte
        return bytes(self.contents.get(address + offset, 0) for offset in range(size))

    def pointer_at(self, address):
        return int.from_bytes(self.read(address, self.width), "little")

    def tls_callback_addresses(self):
        """The TLS callbacks that the loader calls, up to the null that ends the list."""
        addresses = []
        entry = self.tls_callbacks
        while entry:
            address = self.pointer_at(entry)
            if not address:
                break
            addresses.append(address)
            entry += self.width
        return addresses

    def flag(self, bit):
        return bool(self.dll_characteristics & bit)

    def instructions(self, address, count):
        """The first COUNT instructions at ADDRESS, as llvm-objdump writes them, blanks made single."""
        start = re.search(rf"^\s*{address:x}:", self.code, re.M)
        if not start:
            return []
        lines = self.code[start.start():].splitlines()[:count]
        return [" ".join(line.split(":", 1)[1].split()) for line in lines]

    def calls_to(self, rva):
        target = f"{self.image_base + rva:x}"
        return len(re.findall(rf"\bcall[lq]?\s+0x0*{target}\b", self.code))

    def references(self, address):
        """The instructions that name ADDRESS, as (address of the instruction, text)."""
        return [(int(line.group(1), 16), line.group(0))
                for line in re.finditer(rf"^\s*([0-9a-f]+):.*(?:\b|\*|# )0x0*{address:x}\b.*$", self.code, re.M)]

    def in_data(self, address):
        """Whether ADDRESS is stored as a pointer outside the code."""
        self.read(0, 0)
        value = address.to_bytes(self.width, "little")
        return any(start % self.width == 0 and self.contents[start] == value[0] and not self.in_code(start)
                   and self.read(start, self.width) == value for start in self.contents)

    def import_users(self, name):
        """The addresses that reach the import: instructions that call or load through its slot
        (x64 RIP-relative, x86 absolute), and those that use its thunk, or the thunk itself where
        a pointer to it is stored outside the code."""
        rva = self.import_slots.get(name)
        if rva is None:
            return []
        users = []
        for at, text in self.references(self.image_base + rva):
            if not re.search(r"\bjmp[lq]?\s", text):
                users.append(at)
                continue
            users += [other for other, _ in self.references(at) if other != at]
            if self.in_data(at):
                users.append(at)
        return users

    def uses_import(self, name):
        return bool(self.import_users(name))

    def symbol_rva(self, name):
        """The address of a C name in the linker's map, or None."""
        return self.map.symbol_rva(("_" if self.arch == "x86" else "") + name)

    def in_code(self, address):
        rva = address - self.image_base
        return any(start <= rva < start + size for start, size in self.code_sections)

    def is_valid_target(self, address):
        return address in self.valid_targets

    def describe(self, address):
        return f"0x{address:x}, {self.map.describe(address - self.image_base)}"

    def runtime_table_entries(self):
        """(table, address of the function) for every non-null entry of the runtime's tables."""
        entries = []
        for start, size, name in self.map.sections:
            section = name.split(":(")[1].rstrip(")")
            if RUNTIME_TABLE.match(section):
                for offset in range(0, size - size % self.width, self.width):
                    address = self.pointer_at(self.image_base + start + offset)
                    if address:
                        entries.append((section, address))
        return entries

    @functools.cached_property
    def guard_gaps(self):
        """What Windows calls in the image, read from the image, that the guard's table leaves out.

        Each gap is a line naming the function. The entry point and the TLS
        callbacks that the loader calls; the entries of the runtime's tables
        where msvcrt.dll walks them (only where the image calls _initterm:
        otherwise the image walks them itself); every place that reaches the
        system's registration of a vectored handler past our stand-in, whose
        handlers are in the table (read without running the image, since 32-bit
        code cannot run everywhere that the image is checked); a longjmp table that the flags
        announce and that is empty while the image imports longjmp; and an EH
        continuation table, which would have to list GCC's landing pads.
        """
        gaps = []
        entry = self.image_base + self.entry_point
        if not self.is_valid_target(entry):
            gaps.append(f"the entry point {self.describe(entry)}")
        for callback in self.tls_callback_addresses():
            if not self.is_valid_target(callback):
                gaps.append(f"the TLS callback {self.describe(callback)}")
        walkers = [name for name in TABLE_WALKERS if self.uses_import(name)]
        for table, address in self.runtime_table_entries():
            if self.is_valid_target(address):
                continue
            if not table.startswith((".CRT$XI", ".CRT$XC")):
                gaps.append(f"{table} entry {self.describe(address)}, of a table of terminators")
            elif walkers:
                gaps.append(f"{table} entry {self.describe(address)}, which msvcrt.dll's {walkers[0]} calls")
        for name in STAND_IN_REGISTRATIONS:
            for at in self.import_users(name):
                gaps.append(f"the system's {name}, reached past the stand-in from {self.describe(at)}: "
                            "Windows calls the function that it registers, which the table need not list")
        flags = self.load_config.get("GuardFlags") or 0
        jumps = sorted(SETJMP_IMPORTS & self.imports)
        if flags & CF_LONGJUMP_TABLE_PRESENT and not self.load_config.get("GuardLongJumpTargetCount") and jumps:
            gaps.append(f"an empty longjmp table, announced in GuardFlags, while the image imports {', '.join(jumps)}")
        if flags & EH_CONTINUATION_TABLE_PRESENT and self.ex_characteristics & CET_COMPAT:
            gaps.append("an EH continuation table, which GCC's landing pads are not in")
        return gaps
