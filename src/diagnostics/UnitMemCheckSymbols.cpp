// Names for code addresses: the loader's module list (dladdr) for the module
// and its load bias, the module's symbol table and DWARF (libdw) for routine,
// file and line, and the loader's dynamic symbols when libdw has nothing.
#include "UnitMemCheck.h"
#include "DiagnosticsLog.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <elfutils/libdw.h>
#include <elfutils/libdwfl.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace kp {

namespace {

// libdw sessions are not thread-safe, and the session is built once, on the
// first lookup, for every thread.
std::mutex g_lookupLock;
Dwfl *g_session = nullptr;
bool g_sessionTried = false;

// Only the debug information inside the module's own file is used: looking
// for separate debug files could reach out to a debuginfod server.
int OwnFileOnly(Dwfl_Module *, void **, const char *, Dwarf_Addr, const char *, const char *, GElf_Word, char **)
{
  return -1;
}

Dwfl *SessionLocked()
{
  if (g_sessionTried) return g_session;
  g_sessionTried = true;
  static const Dwfl_Callbacks kCallbacks = {dwfl_linux_proc_find_elf, OwnFileOnly, nullptr, nullptr};
  Dwfl *session = dwfl_begin(&kCallbacks);
  if (session && (dwfl_linux_proc_report(session, getpid()) != 0 || dwfl_report_end(session, nullptr, nullptr) != 0)) {
    dwfl_end(session);
    session = nullptr;
  }
  if (!session) {
    // Stack lines then name modules and offsets only.
    qCWarning(lcKpDiagnostics) << "no debug information for call stacks:" << dwfl_errmsg(-1);
    return nullptr;
  }
  g_session = session;
  return g_session;
}

QString Demangled(const char *name)
{
  if (!name || !*name) return {};
  int status = -1;
  char *plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  QString text = QString::fromUtf8(status == 0 && plain ? plain : name);
  std::free(plain);
  return text;
}

QString ExecutablePath()
{
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? QString::fromLocal8Bit(path, static_cast<int>(n)) : QString();
}

bool FindModule(uintptr_t address, TCodeLocation &where, const char *&dynamicName)
{
  Dl_info info{};
  link_map *module = nullptr;
  if (dladdr1(reinterpret_cast<const void *>(address), &info, reinterpret_cast<void **>(&module), RTLD_DL_LINKMAP) ==
          0 ||
      !module)
    return false;
  where.InModule = true;
  where.Offset = address - module->l_addr;
  // The loader leaves the main program's name empty or as typed on the
  // command line; the kernel knows its real path.
  const bool mainProgram = !module->l_name || module->l_name[0] == '\0';
  where.ModulePath = mainProgram ? ExecutablePath() : QString::fromLocal8Bit(module->l_name);
  dynamicName = info.dli_sname;
  return true;
}

// Modules without an address index (clang writes no .debug_aranges by
// default) are searched unit by unit.
Dwarf_Line *LineByUnitScan(Dwfl_Module *module, uintptr_t address)
{
  Dwarf_Addr bias = 0;
  Dwarf *dwarf = dwfl_module_getdwarf(module, &bias);
  if (!dwarf) return nullptr;
  const Dwarf_Addr pc = address - bias;
  Dwarf_CU *unit = nullptr;
  Dwarf_Die unitDie;
  while (dwarf_get_units(dwarf, unit, &unit, nullptr, nullptr, &unitDie, nullptr) == 0)
    if (dwarf_haspc(&unitDie, pc) > 0) return dwarf_getsrc_die(&unitDie, pc);
  return nullptr;
}

void AddSourceLine(const char *file, int lineNo, TCodeLocation &where)
{
  if (!file) return;
  where.SourceFile = QString::fromUtf8(file).section(u'/', -1);
  where.Line = lineNo;
}

void AddDebugInfoLocked(uintptr_t address, TCodeLocation &where)
{
  Dwfl *session = SessionLocked();
  Dwfl_Module *module = session ? dwfl_addrmodule(session, address) : nullptr;
  if (!module) return;
  GElf_Off offset = 0;
  GElf_Sym symbol{};
  if (const char *name = dwfl_module_addrinfo(module, address, &offset, &symbol, nullptr, nullptr, nullptr))
    where.Routine = Demangled(name);
  int lineNo = 0;
  if (Dwfl_Line *line = dwfl_module_getsrc(module, address)) {
    const char *file = dwfl_lineinfo(line, nullptr, &lineNo, nullptr, nullptr, nullptr);
    AddSourceLine(file, lineNo, where);
    return;
  }
  Dwarf_Line *unitLine = LineByUnitScan(module, address);
  if (unitLine && dwarf_lineno(unitLine, &lineNo) == 0) {
    const char *file = dwarf_linesrc(unitLine, nullptr, nullptr);
    AddSourceLine(file, lineNo, where);
  }
}

} // namespace

TCodeLocation LocateAddress(uintptr_t address)
{
  TCodeLocation where;
  const char *dynamicName = nullptr;
  if (!FindModule(address, where, dynamicName)) return where;
  {
    std::lock_guard guard(g_lookupLock);
    AddDebugInfoLocked(address, where);
  }
  // Modules loaded after the session was built are known to the loader only.
  if (where.Routine.isEmpty()) where.Routine = Demangled(dynamicName);
  return where;
}

} // namespace kp
