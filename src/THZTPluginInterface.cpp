// The host entry-point table and its binding.
#include "THZTPluginInterface.h"

#include <dlfcn.h>
#include <link.h>

#include <cstddef>

// The table of host names below, one source for declarations, definitions and lookups.
#include "THZTEntryPoints.inc"

ztGetVersionOfThalorixZT_fn ztGetVersionOfThalorixZT = nullptr;
ztShowLogTab_fn ztShowLogTab = nullptr;
ztLogText_fn ztLogText = nullptr;
ztMessageBox_fn ztMessageBox = nullptr;
ztGetOpenFileName_fn ztGetOpenFileName = nullptr;
ztGetStringParameter_fn ztGetStringParameter = nullptr;
ztSetStringParameter_fn ztSetStringParameter = nullptr;
ztSetIntParameter_fn ztSetIntParameter = nullptr;

#define KW_DEFINE_NOTHING(name)
#define KW_DEFINE_OTHER(name) KELVARINWIZARD_API ZTHostFunction name = nullptr;
KELVARINWIZARD_ENTRY_POINTS(KW_DEFINE_NOTHING, KW_DEFINE_OTHER)
#undef KW_DEFINE_OTHER
#undef KW_DEFINE_NOTHING

namespace {

// One row of the table: the host name and how to store an address into its variable, whatever
// the variable's function-pointer type.
struct EntryPoint {
  const char *name;
  void (*store)(void *address);
};

template <class Function, Function *variable>
void store_address(void *address) {
  *variable = reinterpret_cast<Function>(address);
}

#define KW_ROW(name) {#name, &store_address<decltype(name), &name>},
const EntryPoint entry_points[] = {KELVARINWIZARD_ENTRY_POINTS(KW_ROW, KW_ROW)};
#undef KW_ROW

static_assert(sizeof entry_points / sizeof entry_points[0] == 184, "the host has 184 functions");

// The load address of this library, found through one of its own variables. Because the
// library is linked with -Bsymbolic, &ztLogText here is always our own variable.
const void *own_base() {
  Dl_info info;
  if (dladdr(reinterpret_cast<const void *>(&ztLogText), &info) == 0) return nullptr;
  return info.dli_fbase;
}

// True when address lies in an executable segment of a loaded object.
bool in_code(const void *address) {
  struct Search {
    ElfW(Addr) address;
    bool found;
  } search = {reinterpret_cast<ElfW(Addr)>(address), false};
  dl_iterate_phdr(
      [](struct dl_phdr_info *object, std::size_t, void *data) -> int {
        Search *s = static_cast<Search *>(data);
        for (ElfW(Half) i = 0; i < object->dlpi_phnum; i++) {
          const ElfW(Phdr) &segment = object->dlpi_phdr[i];
          if (segment.p_type != PT_LOAD) continue;
          const ElfW(Addr) start = object->dlpi_addr + segment.p_vaddr;
          if (s->address >= start && s->address - start < segment.p_memsz) {
            s->found = (segment.p_flags & PF_X) != 0;
            return 1;
          }
        }
        return 0;
      },
      &search);
  return search.found;
}

// The address under this name in the process scope, if it is a function of the host; null
// otherwise. Under a flat namespace (this library loaded with global scope) a name the host
// lacks resolves to our own variable of that name, which would then point at itself; the
// symbol-type check also turns away another plug-in's variables and any other data object.
void *host_function(void *scope, const char *name) {
  void *address = dlsym(scope, name);
  if (address == nullptr) return nullptr;
  Dl_info info;
  void *entry = nullptr;
  if (dladdr1(address, &info, &entry, RTLD_DL_SYMENT) == 0) return nullptr;
  if (info.dli_fbase == own_base()) return nullptr;
  if (entry == nullptr || info.dli_saddr != address) {
    // No exported symbol starts here. For a function exported through a resolver
    // (STT_GNU_IFUNC) the lookup returns the resolved function, which usually has no exported
    // symbol of its own: accept it when it is code. Data never gets here, since a lookup of a
    // data object returns the start of its own symbol.
    return in_code(address) ? address : nullptr;
  }
  const ElfW(Sym) *symbol = static_cast<const ElfW(Sym) *>(entry);
  // The symbol type is the low four bits of st_info, in 32- and 64-bit objects alike.
  const unsigned type = symbol->st_info & 0xfu;
  if (type != STT_FUNC && type != STT_GNU_IFUNC) return nullptr;
  return address;
}

}  // namespace

bool InitZTAccess() {
  // The null-path handle, not RTLD_DEFAULT: RTLD_DEFAULT would also search this library's own
  // scope and find our variables even when the host loaded us with local scope.
  static void *scope = nullptr;
  if (scope == nullptr) scope = dlopen(nullptr, RTLD_LAZY);
  if (scope == nullptr) return false;

  void *version = host_function(scope, entry_points[0].name);
  if (version == nullptr) return false;
  entry_points[0].store(version);
  for (std::size_t i = 1; i < sizeof entry_points / sizeof entry_points[0]; i++)
    entry_points[i].store(host_function(scope, entry_points[i].name));
  return true;
}

bool checkVersionGreaterEqualVersion(int major, int minor, int sub, int reqMajor, int reqMinor,
                                     int reqSub) {
  if (major != reqMajor) return major > reqMajor;
  if (minor != reqMinor) return minor > reqMinor;
  return sub >= reqSub;
}

#undef KELVARINWIZARD_ENTRY_POINTS
